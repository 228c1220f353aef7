#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <wx/timer.h>

#include "platform/service_control.h"
#include "platform/service_state.h"
#include "platform/tray_icon.h"
#include "service/service_status.h"
#include "tray/desktop.h"
#include "tray/icon_cache.h"
#include "tray/outage_reason.h"

// Commands of the tray menu.
enum {
    ID_OPEN_WEB_SETTINGS = 5999,
    ID_EXIT_TRAY = 6000,
    ID_MANAGE_SERVICES = 6001,
    ID_START_SERVICE = 6002,
    ID_STOP_SERVICE = 6003,
    ID_RESTART_SERVICE = 6004,
};

// The menu's facts and separators, each with an id for its role in both forms, so that hosts
// that keep entries by id (dbusmenu) see an entry change rather than a new one. Numbered apart
// from the commands, whose ids may grow.
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

// The tray icon: polls the service, shows its state, and offers the menu of facts and commands.
class Sentak : public TrayIcon {
public:
    explicit Sentak(Desktop& desktop = DefaultDesktop(),
                    std::unique_ptr<ServiceControl> serviceControl = MakeServiceControl(),
                    std::unique_ptr<ServiceStateReader> stateReader = MakeServiceStateReader());
    // Closes the stop notice, whose button and click would otherwise reach a tray that is gone.
    ~Sentak() override;

    // Reads the service's record once and stores the outcome in the three status members; tells
    // the tray icon when the menu may have changed with it.
    void RefreshStatus();

    // The poll tick: refresh, then the running display, or the stop report once 10 refreshes in a
    // row have failed.
    void OnTimer(wxTimerEvent& event);

    // A fresh menu for each opening, built from a fresh refresh; the toolkit owns and deletes it.
    wxMenu* CreatePopupMenu() override;
    // What the popup menu shows: refreshes, then reads the Shift key for the form.
    MenuModel OpenMenu() override;
    // What the menu shows from the status as the last refresh left it, in the form of the last
    // opening.
    MenuModel QuietMenu() override;

    void OnOpenWebSettings(wxCommandEvent& event);
    void OnExitTray(wxCommandEvent& event);
    void OnManageServices(wxCommandEvent& event);
    // Start, stop or restart the service; ignored while a command of ours is under way.
    void OnServiceCommand(wxCommandEvent& event);
    void OnTrayDoubleClick(wxTaskBarIconEvent& event);
    // A later start found this Sentak running and ended: says so briefly, and where the icon is,
    // to a user who may have started it again for not seeing it.
    void OnStartedAgain();

protected:
    ServiceStatus m_status;           // all zero unless the last refresh succeeded
    bool m_statusValid = false;       // the last refresh succeeded
    std::int32_t m_failureCount = 0;  // refreshes in a row that failed, ticks and menus alike
    bool m_wasRunning = false;        // seen running since the last stop report
    Desktop& m_desktop;
    IconFileCache m_serviceIcon;  // Resources/Icons/dvr.ico
    bool m_extendedMenu;          // the form of the last opening
    // The time the extended menu shows while the service is down: taken at opening, or when the
    // outage begins between openings, so that a long outage does not change the menu every tick.
    std::int64_t m_outageShownAt = -1;
    // Declared after what a command reports to, so that it is destroyed first: the command under
    // way is cancelled while its callback's targets still exist.
    std::unique_ptr<ServiceControl> m_serviceControl;
    bool m_commandPending = false;  // a command of ours is under way
    bool m_stopAsked = false;       // the service's outage is one the user asked for
    // Why the service does not answer, as the service manager last said; none while it answers
    // or when the manager cannot be asked.
    std::optional<OutageReason> m_reason;
    std::unique_ptr<ServiceStateReader> m_stateReader;  // reports to the members above
    bool m_asking = false;                              // a question to the manager is under way
    bool m_stoppedShown = false;                // the stopped display is the last one asked for
    std::optional<OutageReason> m_shownReason;  // the reason the stopped display shows
    bool m_stopNotified = false;                // this outage's stop notice has been raised

    // A short notification that no tray shows the icon and what to do, as the standard error's
    // line says it.
    void NoTrayShowsIcon() override;

private:
    // One refresh and the display it calls for; what each tick does.
    void Poll();
    // Asks the service manager why the service does not answer, unless a question is under way.
    void AskWhy();
    void ShowStopped();
    void NotifyStop();
    void SayRunningAgain();
    // The menu in its extended form where the pointer is, as a click on the stop notice opens it.
    void OpenExtendedMenu();
    void OnServiceCommandDone(ServiceCommand command, const ServiceOutcome& outcome);

    wxDECLARE_EVENT_TABLE();
};

// A debug record (discarded at the program's log level) for a tray that refused its image, named
// after the file "sentak" and the caller's function and line (the compiler fills line in).
void LogCouldNotSetIcon(const char* function, int line = __builtin_LINE());
