#pragma once

#include <cstdint>
#include <memory>

#include <wx/timer.h>

#include "platform/service_control.h"
#include "platform/tray_icon.h"
#include "service/service_status.h"
#include "tray/desktop.h"
#include "tray/icon_cache.h"

// Commands of the tray menu.
enum {
    ID_OPEN_WEB_SETTINGS = 5999,
    ID_EXIT_TRAY = 6000,
    ID_MANAGE_SERVICES = 6001,
    ID_START_SERVICE = 6002,
    ID_STOP_SERVICE = 6003,
    ID_RESTART_SERVICE = 6004,
};

// The tray icon: polls the service, shows its state, and offers the menu of facts and commands.
class Sentak : public TrayIcon {
public:
    explicit Sentak(Desktop& desktop = DefaultDesktop(),
                    std::unique_ptr<ServiceControl> serviceControl = MakeServiceControl());

    // Reads the service's record once and stores the outcome in the three status members.
    void RefreshStatus();

    // The poll tick: refresh, then the running display, or the stop report once 10 refreshes in a
    // row have failed.
    void OnTimer(wxTimerEvent& event);

    // A fresh menu for each opening, built from a fresh refresh; the toolkit owns and deletes it.
    wxMenu* CreatePopupMenu() override;
    // The same menu from the status as the last refresh left it.
    wxMenu* CreateQuietMenu() override;

    void OnOpenWebSettings(wxCommandEvent& event);
    void OnExitTray(wxCommandEvent& event);
    void OnManageServices(wxCommandEvent& event);
    // Start, stop or restart the service; ignored while a command of ours is under way.
    void OnServiceCommand(wxCommandEvent& event);
    void OnTrayDoubleClick(wxTaskBarIconEvent& event);

protected:
    ServiceStatus m_status;           // all zero unless the last refresh succeeded
    bool m_statusValid = false;       // the last refresh succeeded
    std::int32_t m_failureCount = 0;  // refreshes in a row that failed, ticks and menus alike
    bool m_wasRunning = false;        // seen running since the last stop report
    Desktop& m_desktop;
    IconFileCache m_serviceIcon;  // Resources/Icons/dvr.ico
    // Last, so that it goes first: a command under way is cancelled before what it reports to.
    std::unique_ptr<ServiceControl> m_serviceControl;
    bool m_commandPending = false;  // a command of ours is under way
    bool m_stopAsked = false;       // the service's outage is one the user asked for

private:
    // One refresh and the display it calls for; what each tick does.
    void Poll();
    void OnServiceCommandDone(ServiceCommand command, const ServiceOutcome& outcome);

    wxDECLARE_EVENT_TABLE();
};

// A debug record (discarded at the program's log level) for a tray that refused its image.
void LogCouldNotSetIcon(const char* function);
