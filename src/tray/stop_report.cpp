#include "tray/stop_report.h"

#include <limits>
#include <utility>

namespace {
// Failed refreshes in a row before a stop is shown and told: 18 to 20 s of silence at the 2 s
// period, so a service that is only restarting or briefly busy is not reported.
constexpr std::int32_t kStopFailures = 10;
}  // namespace

void StopReport::Refreshed(bool valid, Time now) {
    if (valid) {
        m_failures = m_excused = 0;
        m_reason.reset();  // what the manager said of an outage that is over
        // Kept for the "running again" notice that is still to come.
        if (!NoticeShown()) m_downSince.reset();
        return;
    }
    // Saturates rather than wrapping after years of a stopped service.
    if (m_failures < std::numeric_limits<std::int32_t>::max()) ++m_failures;
    if (!m_downSince) m_downSince = now;
}

StopReport::Told StopReport::Polled(bool valid, Time now, Quiet quiet, bool commandPending) {
    Told told;
    if (valid) {
        told.displayChanged = std::exchange(m_shown, Shown::Running) != Shown::Running;
        // Seen again after the asked-for stop: the next outage is nobody's wish. Not while the
        // command runs, though: a service still answers until it has stopped.
        if (!commandPending) m_stopAsked = false;
        if (NoticeShown())
            told.backAfter = now - std::exchange(m_downSince, std::nullopt).value_or(now);
        m_notice = Notice::None;
        return told;
    }
    // A slow manager is not asked again meanwhile.
    told.askWhy = !std::exchange(m_asking, true);
    if (quiet.excused) m_excused = m_failures;

    // Shown at the first poll that finds the count reached (menu openings advance it too, so it
    // may have been passed), once per stop; a service never seen running shows nothing.
    if (m_shown == Shown::Running && (m_failures >= kStopFailures || m_stopAsked)) {
        m_shown = Shown::Stopped;
        told.displayChanged = true;
        m_notice = m_stopAsked ? Notice::None : Notice::Due;
    }
    if (m_notice == Notice::Due && Counted() >= kStopFailures && !quiet.excused &&
        !quiet.silenced) {
        m_notice = Notice::Shown;
        told.stopNotice = true;
    }
    return told;
}

bool StopReport::ManagerSaid(const std::optional<OutageReason>& reason) {
    m_asking = false;
    // Too late: the service has answered since.
    if (m_failures == 0 || reason == m_reason) return false;
    m_reason = reason;
    return true;
}

bool StopReport::MenuOpened() {
    if (!NeedsAttention()) return false;
    m_notice = Notice::Seen;
    return true;
}
