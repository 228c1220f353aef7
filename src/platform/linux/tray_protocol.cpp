#include "platform/linux/tray_protocol.h"

#include <algorithm>
#include <utility>

TrayProtocol ChooseProtocol(const TraySession& session) {
    if (!session.watcher.empty() && (!session.x11 || session.hostReported))
        return TrayProtocol::Item;
    return session.x11 ? TrayProtocol::Xembed : TrayProtocol::None;
}

bool TrayShowsIcon(const TraySession& session, bool xembedTrayRuns) {
    const TrayProtocol protocol = ChooseProtocol(session);
    return protocol == TrayProtocol::Item || (protocol == TrayProtocol::Xembed && xembedTrayRuns);
}

std::optional<NoTrayNotice::Clock::time_point> NoTrayNotice::Displayed(Clock::time_point now) {
    if (std::exchange(m_displayed, true)) return std::nullopt;
    return now + kTrayStart;
}

std::chrono::milliseconds RegistrationBackoff::NextPause(Clock::time_point now) {
    if (m_registeredAt && now - *m_registeredAt >= kLongestPause) m_pause = kFirstPause;
    m_registeredAt.reset();
    return std::exchange(m_pause, std::min(m_pause * 2, kLongestPause));
}
