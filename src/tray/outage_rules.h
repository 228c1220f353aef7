#pragma once

// What the tray shows and says about the service, decided without the toolkit: each event comes
// in with the time it happened, and the answer says what the tray must show, hand its hosts and
// tell the user. The tray turns the answers into toolkit calls.

#include <chrono>
#include <cstdint>
#include <optional>

#include <wx/string.h>

#include "base/menu_model.h"
#include "platform/service_control.h"
#include "platform/service_state.h"
#include "service/service_status.h"
#include "tray/outage_reason.h"

// The menu's facts and separators, each with an id for its role in both forms, so that hosts
// that keep entries by id (dbusmenu) see an entry change rather than a new one. Numbered apart
// from the commands, whose ids may grow below them.
enum {
    ID_LAST_UPDATED = 6100,
    ID_SERVICE_HEADER,
    ID_VERSION_FACT,
    ID_HTTP_PORT_FACT,
    ID_HTTPS_PORT_FACT,
    ID_RTSP_PORT_FACT,
    ID_REMOTE_PORT_FACT,
    ID_SEPARATOR_FACTS,
    ID_SEPARATOR_COMMANDS,
    ID_SEPARATOR_EXIT,
    ID_OUTAGE_REASON,
    ID_RUNNING_SINCE,
    ID_RESTARTS,
};

class OutageRules {
public:
    using Time = std::chrono::system_clock::time_point;

    // The outcome of one refresh of the service's record.
    struct Reading {
        bool valid = false;
        ServiceStatus status;       // all zero unless valid
        std::int32_t failures = 0;  // refreshes in a row that failed
        // The process that served the record, where the transport tells.
        std::optional<std::uint32_t> serverProcess;
    };

    // What the tray icon shows; the tray picks the image that goes with the kind.
    struct Display {
        // In the order of the tray icon's own kinds, to which the tray casts it.
        enum class Kind { Unknown, Running, Stopped };
        Kind kind;
        wxString tooltip;
    };

    struct Notice {
        // A warning stays until closed; a brief notice closes by itself; a restart's notice is
        // brief too, but kept apart from the others so that it can be updated.
        enum class Kind { Warning, Brief, Restart };
        Kind kind;
        wxString title, message;
        std::optional<ServiceCommand> remedy;  // the button a warning offers
        bool replacesLast = false;  // a restart's: updates the last restart notice on screen
    };

    // What an event calls for; every part may be empty.
    struct Answer {
        bool menuChanged = false;  // the menu the hosts keep is out of date
        std::optional<Display> display;
        bool closeNotice = false;  // the warning goes, before any notice below is raised
        std::optional<Notice> notice;
        bool askWhy = false;  // ask the service manager why the service does not answer
    };

    // Which commands the state allows: what the menu's commands are offered by.
    struct Offers {
        bool extended;     // the menu takes its extended form
        bool always;       // true: for commands that are always offered
        bool webSettings;  // the service answers with a port for its web pages
        bool start, stop, restart;
    };

    // extendedMenu: the form an opening would take with no key held, until the first opening.
    OutageRules(bool extendedMenu, Time now);

    // The display before the service has been read.
    Display FirstDisplay();
    // A refresh that only updates what the menu shows.
    Answer Refreshed(const Reading& reading, Time now);
    // The poll tick's refresh: the running display, or the stop report once it is due.
    Answer Polled(const Reading& reading, Time now);
    // The service manager's answer to askWhy; none when it could not be asked.
    Answer ManagerSaid(const std::optional<ServiceFacts>& facts);
    // A command of ours begins; false when one is under way already, and nothing changes.
    bool CommandStarted(ServiceCommand command);
    // The command ended; the tray polls at once after it.
    void CommandEnded(ServiceOutcome::Result result);
    // The menu opens in its extended form or not, after the refresh that reading gives.
    void MenuOpened(const Reading& reading, bool extended, Time now);
    // Another start of Sentak found this one running: the notice that says so, unless one was
    // raised in the last 10 s.
    std::optional<Notice> StartedAgain(Time now);
    // What the service manager told unasked: how the main process ended, or a main process other
    // than the one told before (the first one told is where the rules start from). A restart is
    // told at the next poll that reaches the service, with the reason of the end told before it.
    Answer ManagerTold(const ServiceChange& change, Time now);
    // The computer is about to sleep: from now until 60 s after it resumes, failed refreshes do
    // not count toward the stop report, and a new process of the service is no restart.
    Answer SleepBegins(Time now);
    Answer Resumed(Time now);
    // announced: a shutdown, reboot or the end of the session is on its way, and a stop raises no
    // notice (its display still shows); false: it was cancelled, and the usual rule holds again.
    Answer SessionEnding(bool announced, Time now);

    // The menu's facts from the top down to the separator before the commands.
    MenuModel Facts() const;
    Offers Offered() const;
    // The warning of a stop is on screen, for the tray to close when it goes.
    bool StopNoticeShown() const { return m_stopNoticeShown; }

private:
    // What every refresh changes; true when the menu shows something else since.
    bool Take(const Reading& reading, Time now);
    Display Stopped() const;
    Notice StopNotice() const;
    Answer Show(const Display& display);
    Display Running() const;
    // A valid poll: whether the service's process changed behind our back, and the restart
    // notice when it did.
    std::optional<Notice> Restarted(const Reading& reading, Time now);
    // Whether a change of the process is our command's doing, and the window for it updated.
    bool CommandSettling(bool changed, Time now);
    Notice RestartNotice(const std::optional<ServiceEnd>& end, bool replacesLast) const;
    Notice BackNotice(Time::duration down) const;
    wxString RestartsText() const;
    // Failures the stop report counts: none during a sleep's grace, only those after it.
    std::int32_t CountedFailures(const Reading& reading, Time now);
    bool InSleepGrace(Time now) const;
    void AwakeWithoutResume(Time now);

    Reading m_reading;          // the last refresh's
    bool m_wasRunning = false;  // seen running since the last stop report
    bool m_extendedMenu;        // the form of the last opening
    // The time the extended menu shows while the service is down: taken at opening, or when the
    // outage begins between openings, so that a long outage does not change the menu every tick.
    std::int64_t m_outageShownAt;
    bool m_commandPending = false;  // a command of ours is under way
    bool m_stopAsked = false;       // the service's outage is one the user asked for
    // Why the service does not answer, as the service manager last said; none while it answers
    // or when the manager cannot be asked.
    std::optional<OutageReason> m_reason;
    bool m_asking = false;                        // a question to the manager is under way
    Display m_shown{Display::Kind::Unknown, {}};  // the display last answered
    bool m_stopNoticeShown = false;
    std::optional<Time> m_startedAgainToldAt;  // the last "already running" notice
    std::optional<Time> m_downSince;           // the first failed refresh of this outage

    // What tells a restart: the pipe server's process at the last poll that reached the service,
    // and the main process the manager told last, with whether it is new since that poll.
    std::optional<std::uint32_t> m_serverProcess;
    std::uint32_t m_managerProcess = 0;
    bool m_managerToldNew = false;
    // How the main process ended, as the manager told since the last restart or stop report.
    std::optional<ServiceEnd> m_lastEnd;
    // A command of ours runs or ran since the last quiet poll: the changes it makes are ours.
    bool m_commandSince = false;
    std::optional<Time> m_commandQuietSince;     // since the command ended, no change seen
    std::optional<std::int64_t> m_runningSince;  // when the service's process started
    int m_restarts = 0;                          // seen since Sentak started
    std::int64_t m_firstRestartAt = 0;
    std::optional<Time> m_restartToldAt;  // the last restart notice

    bool m_sleeping = false;
    std::optional<Time> m_awakeSince;  // ticks ran since, without a gap, while m_sleeping
    Time m_lastTick;
    std::optional<Time> m_graceUntil;    // 60 s after the last resume
    std::int32_t m_excusedFailures = 0;  // failures in a row that the sleep's grace excuses
    bool m_sessionEnding = false;        // a shutdown or the session's end is announced
};
