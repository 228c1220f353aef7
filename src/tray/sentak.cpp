#include "tray/sentak.h"

#include <chrono>
#include <iostream>
#include <limits>
#include <optional>

#include <wx/intl.h>
#include <wx/log.h>

#include "platform/platform.h"
#include "platform/single_instance.h"
#include "service/brand.h"
#include "service/resources.h"
#include "service/status_pipe.h"
#include "tray/sentak_dialog.h"

namespace {
OutageRules::Time Now() { return std::chrono::system_clock::now(); }
}  // namespace

// The commands' range: every command of the table reaches OnMenuCommand, the facts' ids none.
wxBEGIN_EVENT_TABLE(Sentak, wxTaskBarIcon)
    EVT_MENU_RANGE(ID_OPEN_WEB_SETTINGS, ID_LAST_UPDATED - 1, Sentak::OnMenuCommand)
    EVT_TASKBAR_LEFT_DCLICK(Sentak::OnTrayDoubleClick)
    EVT_TIMER(wxID_ANY, Sentak::OnTimer)
wxEND_EVENT_TABLE()

// Before the first opening, the form an opening would take with no key held: on Wayland, where
// Shift cannot be read, that is the extended one.
Sentak::Sentak(Desktop& desktop, std::unique_ptr<ServiceControl> serviceControl,
               std::unique_ptr<ServiceStateReader> stateReader)
    : m_desktop(desktop),
      m_rules(!ShiftKeyReadable(), Now()),
      m_serviceControl(std::move(serviceControl)),
      m_stateReader(std::move(stateReader)) {
    WhenStartedAgain([this] { OnStartedAgain(); });
    SetIconThemePath(IconThemeDir());
    Watch();
}

Sentak::~Sentak() {
    WhenStartedAgain(nullptr);
    if (m_rules.StopNoticeShown()) m_desktop.CloseNotice();
}

void Sentak::Watch() {
    m_stateReader->Watch(GetServiceName(), [this](const ServiceChange& change) {
        CarryOut(m_rules.ManagerTold(change, Now()));
    });
    m_session = WatchSession({
        [this] { CarryOut(m_rules.SleepBegins(Now())); },
        [this] { CarryOut(m_rules.Resumed(Now())); },
        [this](bool announced) { CarryOut(m_rules.SessionEnding(announced, Now())); },
    });
}

void Sentak::ShowFirstDisplay() {
    ShowDisplay(m_rules.FirstDisplay());
    HandMenu();
}

void Sentak::OnTrayDoubleClick(wxTaskBarIconEvent&) { g_mainDialog->Show(false); }

void Sentak::OnStartedAgain() {
    if (const auto notice = m_rules.StartedAgain(Now())) Raise(*notice);
}

void Sentak::ReadStatus() {
    const std::optional<StatusRead> read = ReadServiceStatus(std::wcout);
    if (read) {
        m_reading = {true, read->status, 0, read->serverProcess};
        return;
    }
    // Saturates rather than wrapping after years of a stopped service.
    const bool saturated = m_reading.failures == std::numeric_limits<std::int32_t>::max();
    m_reading = {false, {}, m_reading.failures + !saturated, {}};
}

void Sentak::RefreshStatus() {
    ReadStatus();
    CarryOut(m_rules.Refreshed(m_reading, Now()));
}

MenuModel Sentak::Reopen(bool extended) {
    ReadStatus();
    m_rules.MenuOpened(m_reading, extended, Now());
    MenuModel menu = Menu();
    SetMenu(menu);
    return menu;
}

void Sentak::OnTimer(wxTimerEvent&) { Poll(); }

void Sentak::Poll() {
    // Whatever the toolkit reports on the way (an unreadable icon file among it) would otherwise
    // come up as an error box every 2 s.
    wxLogNull quiet;
    ReadStatus();
    CarryOut(m_rules.Polled(m_reading, Now()));
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
