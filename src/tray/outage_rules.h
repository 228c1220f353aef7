#pragma once

// What the tray shows and says about the service, decided without the toolkit: each event comes
// in with the clocks' time it happened, and the answer says what the tray must show, hand its
// hosts and tell the user. Each concern is a small class of its own; this one routes the events
// to them and assembles their answers. The tray turns the answers into toolkit calls.

#include <cstdint>
#include <optional>

#include <wx/string.h>

#include "base/menu_model.h"
#include "platform/clocks.h"
#include "platform/service_control.h"
#include "platform/service_state.h"
#include "service/service_status.h"
#include "tray/command_window.h"
#include "tray/diagnostics.h"
#include "tray/menu_form.h"
#include "tray/outage_texts.h"
#include "tray/own_words.h"
#include "tray/restarts.h"
#include "tray/sleep_and_shutdown.h"
#include "tray/stop_report.h"
#include "tray/throttle.h"

class OutageRules {
public:
    // The outcome of one refresh of the service's record.
    struct Reading {
        bool valid = false;
        ServiceStatus status;  // all zero unless valid
        // The process that served the record, where the transport tells.
        std::optional<std::uint32_t> serverProcess;
    };

    // What the tray icon shows.
    struct Display {
        Shown kind;
        wxString tooltip;
        bool attention = false;  // a stop was told and the user has not opened the menu since
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
        // Read what the service itself last logged of this run (its service left to the tray).
        std::optional<ServiceRun> readLog;
    };

    // Which commands the state allows: what the menu's commands are offered by.
    struct Offers {
        bool extended;     // the menu takes its extended form
        bool always;       // true: for commands that are always offered
        bool webSettings;  // the service answers with a port for its web pages
        bool start, stop, restart;
    };

    // extendedMenu: the form an opening would take with no key held, until the first opening.
    OutageRules(bool extendedMenu, const Moment& now);

    // The display before the service has been read.
    Display FirstDisplay() const { return Shows(); }
    // A refresh that only updates what the menu shows; its failure counts toward the stop.
    Answer Refreshed(const Reading& reading, const Moment& now);
    // The poll tick's refresh: the running display, a restart, or the stop once it is due.
    Answer Polled(const Reading& reading, const Moment& now);
    // The service manager's answer to askWhy; none when it could not be asked.
    Answer ManagerSaid(const std::optional<ServiceFacts>& facts);
    // The log's answer to readLog; Unreadable's line says what would make it readable.
    Answer LogSaid(const LastWords& words);
    // What the service manager told unasked: a main process, its end, its own restart count.
    // Counted as restarts at the next poll that reaches the service.
    Answer ManagerTold(const ServiceChange& change, const Moment& now);
    // A command of ours begins; false when one is under way already, and nothing changes.
    bool CommandStarted(ServiceCommand command);
    // The command ended; the tray polls at once after it.
    void CommandEnded(ServiceOutcome::Result result);
    // The menu opens in its extended form or not, after the refresh that reading gives.
    // The display, when the opening changed it.
    std::optional<Display> MenuOpened(const Reading& reading, bool extended, const Moment& now);
    // Another start of Sentak found this one running: the notice that says so and where the icon
    // is, in the desktop's words (none when no tray shows it: then why there is none), unless one
    // was raised in the last 10 s.
    std::optional<Notice> StartedAgain(const Moment& now,
                                       const std::optional<wxString>& whereTheIconIs);
    // The computer is about to sleep, or woke; a shutdown or the session's end is announced
    // (announced) or cancelled. What they excuse shows at the next poll.
    void SleepBegins(const Moment& now) { m_quiet.SleepBegins(now); }
    void Resumed(const Moment& now) { m_quiet.Resumed(now); }
    void SessionEnding(bool announced, const Moment& now) { m_quiet.SessionEnding(announced, now); }

    // The menu's facts from the top down to the separator before the commands, in the form of
    // the last opening, or in the extended one.
    MenuModel Facts() const { return Facts(m_menu.Extended()); }
    MenuModel Facts(bool extended) const;
    // The last changes of what the tray showed.
    const StateHistory& History() const { return m_history; }
    Offers Offered() const;
    // The last refresh's outcome, whose record the web settings command opens.
    const Reading& LastReading() const { return m_reading; }
    // The warning of a stop is on screen, for the tray to close when it goes.
    bool StopNoticeShown() const { return m_stop.NoticeShown(); }

private:
    // What every refresh changes; true when the menu shows something else since.
    bool Take(const Reading& reading, const Moment& now);
    // The display for what the stop report shows now.
    Display Shows() const;
    RestartTally Tally() const;
    Notice StopNotice() const;
    static Notice BackNotice(std::chrono::nanoseconds down);
    // A valid poll's restarts, and the notice for them if one pops up.
    std::optional<Notice> CountRestarts(const Reading& reading, const Moment& now, Answer& answer);

    Reading m_reading;  // the last refresh's
    StopReport m_stop;
    OwnWords m_words;
    Restarts m_restarts;
    CrashLoop m_crashLoop;
    SleepAndShutdown m_quiet;
    CommandWindow m_command;
    Throttle m_startedAgain;  // the "already running" notice
    StateHistory m_history;
    MenuForm m_menu;
};
