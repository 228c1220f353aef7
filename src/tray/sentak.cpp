#include "tray/sentak.h"

#include <iostream>
#include <optional>

#include <wx/intl.h>
#include <wx/log.h>

#include "platform/clocks.h"
#include "platform/single_instance.h"
#include "service/brand.h"
#include "service/resources.h"
#include "service/status_pipe.h"
#include "tray/sentak_dialog.h"

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
      m_rules(!desktop.ShiftKeyReadable(), ClocksNow()),
      m_serviceControl(std::move(serviceControl)),
      m_stateReader(std::move(stateReader)) {
    WhenStartedAgain([this] { OnStartedAgain(); });  // emptied again by the destructor
    SetIconThemePath(IconThemeDir());
    Watch();
}

Sentak::~Sentak() {
    WhenStartedAgain(nullptr);
    if (m_rules.StopNoticeShown()) m_desktop.CloseNotice();
}

void Sentak::Watch() {
    m_stateReader->Watch(GetServiceName(), [this](const ServiceChange& change) {
        CarryOut(m_rules.ManagerTold(change, ClocksNow()));
    });
    m_session = WatchSession({
        [this] { m_rules.SleepBegins(ClocksNow()); },
        [this] { m_rules.Resumed(ClocksNow()); },
        [this](bool announced) { m_rules.SessionEnding(announced, ClocksNow()); },
    });
}

void Sentak::ShowFirstDisplay() {
    ShowDisplay(m_rules.FirstDisplay());
    HandMenu();
}

void Sentak::OnTrayDoubleClick(wxTaskBarIconEvent&) { g_mainDialog->Show(false); }

void Sentak::OnStartedAgain() {
    const auto where = ShownInTray() ? std::optional(m_desktop.WhereTheIconIs()) : std::nullopt;
    if (const auto notice = m_rules.StartedAgain(ClocksNow(), where)) Raise(*notice);
}

OutageRules::Reading Sentak::ReadStatus() {
    const std::optional<StatusRead> read = ReadServiceStatus(std::wcout);
    if (!read) return {};
    return {true, read->status, read->serverProcess};
}

void Sentak::RefreshStatus() { CarryOut(m_rules.Refreshed(ReadStatus(), ClocksNow())); }

void Sentak::OnTimer(wxTimerEvent&) { Poll(); }

void Sentak::Poll() {
    // Whatever the toolkit reports on the way (an unreadable icon file among it) would otherwise
    // come up as an error box every 2 s.
    wxLogNull quiet;
    CarryOut(m_rules.Polled(ReadStatus(), ClocksNow()));
}

void Sentak::NoTrayShowsIcon() {
    m_desktop.NotifyBriefly(*this, BriefKind::NoTray,
                            // TRANSLATORS: Title of a short notification when the desktop has no
                            // tray to show the icon in.
                            _("No system tray shows Sentak's icon"), m_desktop.NoTrayAdvice(),
                            false);
}
