#include "tray/sentak.h"

#include <iostream>
#include <limits>
#include <optional>

#include <wx/log.h>

#include "platform/platform.h"
#include "platform/single_instance.h"
#include "service/status_pipe.h"
#include "tray/sentak_dialog.h"

wxBEGIN_EVENT_TABLE(Sentak, wxTaskBarIcon)
    EVT_MENU(ID_OPEN_WEB_SETTINGS, Sentak::OnOpenWebSettings)
    EVT_MENU(ID_EXIT_TRAY, Sentak::OnExitTray)
    EVT_MENU(ID_MANAGE_SERVICES, Sentak::OnManageServices)
    EVT_MENU_RANGE(ID_START_SERVICE, ID_RESTART_SERVICE, Sentak::OnServiceCommand)
    EVT_TASKBAR_LEFT_DCLICK(Sentak::OnTrayDoubleClick)
    EVT_TIMER(wxID_ANY, Sentak::OnTimer)
wxEND_EVENT_TABLE()

// Before the first opening, the form an opening would take with no key held: on Wayland, where
// Shift cannot be read, that is the extended one.
Sentak::Sentak(Desktop& desktop, std::unique_ptr<ServiceControl> serviceControl,
               std::unique_ptr<ServiceStateReader> stateReader)
    : m_desktop(desktop),
      m_extendedMenu(!ShiftKeyReadable()),
      m_serviceControl(std::move(serviceControl)),
      m_stateReader(std::move(stateReader)) {
    WhenStartedAgain([this] { OnStartedAgain(); });
}

Sentak::~Sentak() {
    WhenStartedAgain(nullptr);
    if (m_stopNotified) m_desktop.CloseNotice();
}

void Sentak::OnTrayDoubleClick(wxTaskBarIconEvent&) { g_mainDialog->Show(false); }

void Sentak::OnStartedAgain() {
    // TRANSLATORS: Title of a short notification when Sentak is started while it runs already.
    m_desktop.NotifyBriefly(*this, _("Sentak is already running"), WhereTheIconIs());
}

void LogCouldNotSetIcon(const char* function, int line) {
    if (wxLog::IsLevelEnabled(wxLOG_Debug, wxLOG_COMPONENT))
        wxLogger(wxLOG_Debug, "sentak", line, function, wxLOG_COMPONENT).Log("Could not set icon.");
}

void Sentak::RefreshStatus() {
    const ServiceStatus before = m_status;
    const bool wasValid = m_statusValid;
    if (const std::optional<ServiceStatus> status = ReadServiceStatus(std::wcout)) {
        m_status = *status;
        m_statusValid = true;
        m_failureCount = 0;
        m_reason.reset();  // what the manager said of an outage that is over
    } else {
        m_status = ServiceStatus{};
        m_statusValid = false;
        // Saturates rather than wrapping after years of a stopped service.
        if (m_failureCount < std::numeric_limits<std::int32_t>::max()) ++m_failureCount;
    }
    // The menu shows nothing of the failure count: an unchanged outcome leaves it as it was.
    if (m_statusValid != wasValid || !(m_status == before)) MenuMayHaveChanged();
}

void Sentak::NoTrayShowsIcon() {
    m_desktop.NotifyBriefly(
        *this,
        // TRANSLATORS: Title of a short notification when the desktop has no tray to show the
        // icon in.
        _("No system tray shows Sentak's icon"),
        // TRANSLATORS: Body of that notification; the desktop and package names stay as they are.
        _("KDE Plasma, Xfce, LXQt, MATE, Cinnamon, Budgie and waybar show it; GNOME needs the "
          "AppIndicator extension (gnome-shell-extension-appindicator). Sentak keeps watching the "
          "service, and the icon appears when a tray starts."));
}
