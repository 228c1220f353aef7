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
};

class OutageRules {
public:
    using Time = std::chrono::system_clock::time_point;

    // The outcome of one refresh of the service's record.
    struct Reading {
        bool valid = false;
        ServiceStatus status;       // all zero unless valid
        std::int32_t failures = 0;  // refreshes in a row that failed
    };

    // What the tray icon shows; the tray picks the image that goes with the kind.
    struct Display {
        // In the order of the tray icon's own kinds, to which the tray casts it.
        enum class Kind { Unknown, Running, Stopped };
        Kind kind;
        wxString tooltip;
    };

    struct Notice {
        // A warning stays until closed; a brief notice closes by itself.
        enum class Kind { Warning, Brief };
        Kind kind;
        wxString title, message;
        std::optional<ServiceCommand> remedy;  // the button a warning offers
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
};
