// The tray menu: its commands, the model the rules decide, the popup and what each command does.
#include <memory>

#include <wx/defs.h>
#include <wx/intl.h>
#include <wx/menu.h>

#include "platform/clocks.h"
#include "platform/platform.h"
#include "service/brand.h"
#include "tray/menu_text.h"
#include "tray/sentak.h"
#include "tray/sentak_dialog.h"

namespace {

// The menu as the toolkit's popup shows it.
wxMenu* NewMenu(const MenuModel& model) {
    auto* menu = new wxMenu;
    for (const MenuEntry& entry : model.entries) {
        if (entry.kind == MenuKind::Separator)
            menu->Append(new wxMenuItem(menu, entry.id, wxString(), wxString(), wxITEM_SEPARATOR));
        else
            menu->Append(entry.id, entry.label)->Enable(entry.enabled);
    }
    return menu;
}

// The browser did not start: the address to type, or to copy with OK.
void OfferUrl(Desktop& desktop, const wxString& url) {
    const wxString message = wxString::Format(
        "%s\n\n%s\n\n%s", _("Starting the browser failed."),
        // TRANSLATORS: The web address follows as a paragraph of its own; "Ok" is the box's OK
        // button.
        _("Please enter the following URL into your browser manually, or click Ok to copy the URL "
          "to clipboard."),
        url);
    if (desktop.ShowMessage(message, _("Failed to launch browser"),
                            wxOK | wxCANCEL | wxICON_ERROR) != wxOK)
        return;
    desktop.CopyToClipboard(url);  // a clipboard that will not open leaves the URL uncopied
}

// Nothing started: the command the user can run by hand instead.
void OfferCommand(Desktop& desktop, const wxString& failed, const wxString& caption,
                  const wxString& command) {
    // TRANSLATORS: The command follows as a paragraph of its own.
    const wxString tryThis = _("Try manually running the command:");
    const wxString message = wxString::Format("%s\n\n%s\n\n%s", failed, tryThis, command);
    desktop.ShowMessage(message, caption, wxOK | wxICON_ERROR);
}

}  // namespace

using Offers = OutageRules::Offers;

// The menu's commands in the order the menu shows them.
const Sentak::Command Sentak::kCommands[] = {
    // TRANSLATORS: A menu command: '&' marks the key that chooses it. Keep one, on a letter the
    // other commands ("&Manage Windows services", "S&tart service", "St&op service", "&Restart
    // service", "E&xit tray application") do not use.
    {ID_OPEN_WEB_SETTINGS, [] { return _("Open web &settings"); }, Command::Form::Both, 0,
     &Offers::webSettings, &Sentak::OnOpenWebSettings},
    {ID_MANAGE_SERVICES, &ManageServicesLabel, Command::Form::Extended, 0, &Offers::always,
     &Sentak::OnManageServices},
    // TRANSLATORS: A menu command that shows what the system logged about the service; keep one
    // '&', on a letter the other commands ("Open web &settings", "&Manage services", "S&tart
    // service", "St&op service", "&Restart service", "E&xit tray application") do not use.
    {ID_SHOW_SERVICE_LOG, [] { return _("Show service &log"); }, Command::Form::Extended, 0,
     &Offers::always, &Sentak::OnShowServiceLog},
    // TRANSLATORS: Menu commands that start, stop and restart the service, and without the '&'
    // the button on the notification when it stops; keep one '&' in each, on a letter that no
    // other command of the menu uses ("Open web &settings", "&Manage Windows services", "E&xit
    // tray application" and these three).
    {ID_START_SERVICE, [] { return _("S&tart service"); }, Command::Form::Extended, 0,
     &Offers::start, &Sentak::OnServiceCommand},
    // TRANSLATORS: See "S&tart service".
    {ID_STOP_SERVICE, [] { return _("St&op service"); }, Command::Form::Extended, 0, &Offers::stop,
     &Sentak::OnServiceCommand},
    // TRANSLATORS: See "S&tart service".
    {ID_RESTART_SERVICE, [] { return _("&Restart service"); }, Command::Form::Extended, 0,
     &Offers::restart, &Sentak::OnServiceCommand},
    // TRANSLATORS: A menu command; keep one '&', on a letter the other commands do not use.
    {ID_EXIT_TRAY, [] { return _("E&xit tray application"); }, Command::Form::Extended,
     ID_SEPARATOR_EXIT, &Offers::always, &Sentak::OnExitTray},
};

MenuModel Sentak::Menu() const {
    MenuModel menu = m_rules.Facts();
    const OutageRules::Offers offers = m_rules.Offered();
    for (const Command& command : kCommands) {
        if (command.form == Command::Form::Extended && !offers.extended) continue;
        if (command.separatorBefore != 0) menu.Separator(command.separatorBefore);
        menu.Command(command.id, command.label(), offers.*command.offered);
    }
    return menu;
}

MenuModel Sentak::Reopen(bool extended) {
    m_rules.MenuOpened(ReadStatus(), extended, ClocksNow());
    MenuModel menu = Menu();
    SetMenu(menu);
    return menu;
}

wxMenu* Sentak::CreatePopupMenu() { return NewMenu(OpenMenu()); }

// Read once, after the refresh: the form follows the key as it is now, not at the click.
MenuModel Sentak::OpenMenu() { return Reopen(m_desktop.WantsExtendedMenu()); }

void Sentak::OpenExtendedMenu() {
    const std::unique_ptr<wxMenu> menu(NewMenu(Reopen(true)));
    PopupMenu(menu.get());
}

void Sentak::OnMenuCommand(wxCommandEvent& event) {
    for (const Command& command : kCommands)
        if (command.id == event.GetId()) return (this->*command.handler)(event);
}

wxString Sentak::CommandLabel(int id) {
    for (const Command& command : kCommands)
        if (command.id == id) return command.label();
    return {};
}

void Sentak::OnOpenWebSettings(wxCommandEvent&) {
    // Built once: a poll tick while the box is open must not change what the user sees or copies.
    const OutageRules::Reading& reading = m_rules.LastReading();
    const wxString url = WebSettingsUrl(reading.status.httpPort(), reading.status.httpsPort());
    if (!reading.valid) return OfferUrl(m_desktop, url);
    // The desktop outlives the tray, so the offer may come when the launch is known to have
    // failed.
    Desktop& desktop = m_desktop;
    m_desktop.LaunchBrowser(url, [&desktop, url] { OfferUrl(desktop, url); });
}

void Sentak::OnExitTray(wxCommandEvent&) { g_mainDialog->Close(true); }

void Sentak::OnManageServices(wxCommandEvent&) {
    if (m_desktop.OpenServiceManager()) return;
    OfferCommand(m_desktop, _("Launching service management failed."),
                 _("Failed to launch service management"), ServiceManagerCommand(GetServiceName()));
}

void Sentak::OnShowServiceLog(wxCommandEvent&) {
    if (m_desktop.OpenServiceLog()) return;
    OfferCommand(m_desktop, _("Opening the service log failed."),
                 _("Failed to open the service log"), ServiceLogCommand(GetServiceName()));
}

void Sentak::OnServiceCommand(wxCommandEvent& event) {
    const int id = event.GetId();
    const ServiceCommand command = id == ID_START_SERVICE  ? ServiceCommand::Start
                                   : id == ID_STOP_SERVICE ? ServiceCommand::Stop
                                                           : ServiceCommand::Restart;
    if (!m_rules.CommandStarted(command)) return;
    HandMenu();
    // The control goes before this tray does, cancelling the command: the callback never outlives
    // it.
    m_serviceControl->Run(
        command, GetServiceName(),
        [this, command](const ServiceOutcome& outcome) { OnServiceCommandDone(command, outcome); });
}

void Sentak::OnServiceCommandDone(ServiceCommand command, const ServiceOutcome& outcome) {
    m_rules.CommandEnded(outcome.result);
    // The display follows at once rather than at the next tick, and the menu with it.
    Poll();
    HandMenu();
    if (outcome.result != ServiceOutcome::Result::Failed) return;

    wxString caption, failed;
    switch (command) {
        case ServiceCommand::Start:
            caption = _("Failed to start the service");
            failed = _("Starting the service failed.");
            break;
        case ServiceCommand::Stop:
            caption = _("Failed to stop the service");
            failed = _("Stopping the service failed.");
            break;
        case ServiceCommand::Restart:
            caption = _("Failed to restart the service");
            failed = _("Restarting the service failed.");
            break;
    }
    const wxString message =
        wxString::Format("%s\n\n%s\n\n%s", failed,
                         // TRANSLATORS: The system's own message follows as a paragraph of its own.
                         _("The system said:"), WhyCommandFailed(outcome));
    m_desktop.ShowMessage(message, caption, wxOK | wxICON_ERROR);
}
