#include "tray/sleep_and_shutdown.h"

namespace {

// After a wake, the network and the service's own start take their time: no alarm meanwhile.
// And a sleep announced but not begun by then is not coming.
constexpr std::chrono::seconds kSleepGrace{60};

// A real shutdown or logout ends the session well before this; a session that goes on past it
// had its end cancelled, whether or not the word reached us.
constexpr std::chrono::minutes kEndingLapses{2};

// More slept than this between two looks is a sleep, not the clocks' rounding.
constexpr std::chrono::seconds kSleptAtLeast{2};

}  // namespace

void SleepAndShutdown::Resumed(const Moment& now) {
    m_sleepAnnounced.reset();
    m_graceUntil = now.sinceBoot + kSleepGrace;
    m_slept = now.Slept();
}

void SleepAndShutdown::SessionEnding(bool announced, const Moment& now) {
    if (!announced)
        m_endingAnnounced.reset();
    else if (!m_endingAnnounced)
        m_endingAnnounced = now.sinceBoot;
}

void SleepAndShutdown::Observe(const Moment& now) {
    // Not every wake is told: the bus may be away, and Windows tells of a wake nobody was
    // present for to no window.
    if (now.Slept() - m_slept >= kSleptAtLeast) Resumed(now);
    m_slept = now.Slept();
    if (m_sleepAnnounced && now.sinceBoot - *m_sleepAnnounced >= kSleepGrace)
        m_sleepAnnounced.reset();
    if (m_endingAnnounced && now.sinceBoot - *m_endingAnnounced >= kEndingLapses)
        m_endingAnnounced.reset();
}
