#pragma once

// When the tray shows that the service stopped and when it tells the user: the display follows
// ten failed refreshes in a row of a service seen running; the notice waits while the computer
// wakes up or the session ends, and comes once those are over if the outage lasts.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

#include "tray/outage_reason.h"

// What the tray icon shows; the tray picks the image that goes with it.
enum class Shown { Unknown, Running, Stopped };

class StopReport {
public:
    using Time = std::chrono::nanoseconds;  // on a clock nobody sets

    // What a poll calls for.
    struct Told {
        bool displayChanged = false;  // the display to show is another
        bool stopNotice = false;      // raise the stop notice
        // The stop notice goes, as the service answers again after it was down this long.
        std::optional<Time> backAfter;
        bool askWhy = false;  // ask the service manager why the service does not answer
    };
    // What the poll's silences say of a failure: none, or the notice waits.
    struct Quiet {
        bool excused = false;   // failures until now do not count toward the notice
        bool silenced = false;  // the notice waits, though the failures count
    };

    // Every refresh, a poll's or a menu opening's: failures in a row are counted.
    void Refreshed(bool valid, Time now);
    // The poll after its refresh. A stop of ours (asked) shows at the first failure, without
    // a notice.
    Told Polled(bool valid, Time now, Quiet quiet, bool commandPending);
    // The manager's answer to askWhy: true when what the tray shows of it changed.
    bool ManagerSaid(const std::optional<OutageReason>& reason);
    // The user asked the service to stop or restart; withdrawn when that failed.
    void StopAsked(bool asked) { m_stopAsked = asked; }
    // The menu opened: the user has looked at the tray since the notice. True when that changed
    // whether the stop needs attention.
    bool MenuOpened();

    Shown Showing() const { return m_shown; }
    bool StopWasAsked() const { return m_stopAsked; }
    std::int32_t Failures() const { return m_failures; }
    bool NoticeShown() const { return m_notice == Notice::Shown || m_notice == Notice::Seen; }
    // The notice is on screen and the user has not opened the menu since.
    bool NeedsAttention() const { return m_notice == Notice::Shown; }
    const std::optional<OutageReason>& Reason() const { return m_reason; }

private:
    enum class Notice { None, Due, Shown, Seen };  // Seen: shown, and the menu opened since
    // Failed refreshes in a row that count toward the notice: none of those a grace excused.
    std::int32_t Counted() const { return m_failures - std::min(m_excused, m_failures); }

    Shown m_shown = Shown::Unknown;   // Running: seen running since the last stop shown
    std::int32_t m_failures = 0;      // refreshes in a row that failed
    std::int32_t m_excused = 0;       // of those, the ones a grace excused
    bool m_stopAsked = false;         // the outage is one the user asked for
    std::optional<Time> m_downSince;  // the first failed refresh of this outage
    // Why the service does not answer, as the manager last said; none while it answers or when
    // the manager cannot be asked.
    std::optional<OutageReason> m_reason;
    bool m_asking = false;  // a question to the manager is under way
    Notice m_notice = Notice::None;
};
