#include "tray/own_words.h"

bool OwnWords::Wanted(const std::optional<OutageReason>& reason, bool stopAsked, int failures) {
    // A service's last lines reach the log after its manager has seen it end, by a moment: read
    // once the outage has lasted a few polls, still well before it is reported.
    constexpr int kSettledFailures = 3;
    if (m_asked || !reason || failures < kSettledFailures) return false;
    using Kind = OutageReason::Kind;
    switch (reason->kind) {
        case Kind::Exited:
        case Kind::Killed:
        case Kind::Aborted:
        case Kind::Failed:
        case Kind::Restarting:
            break;
        case Kind::Stopped:
            if (stopAsked) return false;  // the user knows why
            break;
        default:
            return false;  // it has not ended, or was never there
    }
    return m_asked = true;
}

bool OwnWords::ManagerSaid(const std::optional<ServiceFacts>& facts) {
    const std::optional<wxString> before = Line();
    m_statusText = facts ? facts->statusText : wxString();
    return Line() != before;
}

bool OwnWords::Heard(const LastWords& words) {
    if (!m_asked) return false;  // too late: the service answered meanwhile
    m_log = words;
    return words.found != LastWords::Found::Nothing;
}

void OwnWords::Over() {
    m_asked = false;
    m_log.reset();
    m_statusText.clear();
}

std::optional<wxString> OwnWords::Line() const {
    if (m_log && m_log->found == LastWords::Found::Line) return m_log->line;
    if (!m_statusText.empty()) return m_statusText;
    return std::nullopt;
}

std::optional<wxString> OwnWords::Advice() const {
    if (m_log && m_log->found == LastWords::Found::Unreadable) return m_log->line;
    return std::nullopt;
}
