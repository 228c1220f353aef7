#pragma once

// What the computer's sleep and the session's end excuse. From a sleep's announcement until a
// minute after the computer woke, failures do not count and a new process is no restart; while a
// shutdown or the session's end is announced, a stop raises no notice. An announcement that
// never comes true lapses; a sleep that nobody announced shows in the clocks.

#include <optional>

#include "platform/clocks.h"

class SleepAndShutdown {
public:
    using Time = std::chrono::nanoseconds;

    explicit SleepAndShutdown(const Moment& now) : m_slept(now.Slept()) {}

    // Told again (the login manager's word read anew on each connection), an announcement keeps
    // its time, so that it still lapses.
    void SleepBegins(const Moment& now) {
        if (!m_sleepAnnounced) m_sleepAnnounced = now.sinceBoot;
    }
    void Resumed(const Moment& now);
    // announced: a shutdown, reboot or the end of the session is on its way; false: cancelled.
    void SessionEnding(bool announced, const Moment& now);
    // At every poll, before the questions below: a sleep the clocks show, and announcements
    // that lapsed.
    void Observe(const Moment& now);

    bool InGrace(Time now) const {
        return m_sleepAnnounced || (m_graceUntil && now < *m_graceUntil);
    }
    bool Silenced() const { return m_endingAnnounced.has_value(); }

private:
    std::optional<Time> m_sleepAnnounced;   // and the computer has not slept since
    std::optional<Time> m_graceUntil;       // a minute after the last wake
    std::optional<Time> m_endingAnnounced;  // a shutdown or the session's end, not cancelled
    Time m_slept;                           // the time slept since boot, at the last look
};
