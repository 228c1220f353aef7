// The tray menu: its commands, the model the rules decide, the popup and what each command does.
#include <memory>

#include <wx/defs.h>
#include <wx/intl.h>
#include <wx/menu.h>

#include "platform/clocks.h"
#include "platform/system_commands.h"
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

// The command's label, translated; empty when this system does not carry it out.
wxString LabelOf(const MenuCommand& command) {
    if (!command.system) return wxGetTranslation(command.label);
    const SystemCommand* row = FindSystemCommand(command.system);
    return row ? wxGetTranslation(row->label) : wxString();
}

}  // namespace

wxString CommandLabel(int id) {
    for (const MenuCommand& command : kMenuCommands)
        if (command.id == id) return LabelOf(command);
    return {};
}

MenuModel Sentak::Menu() const {
    MenuModel menu = m_rules.Facts();
    const OutageRules::Offers offers = m_rules.Offered();
    for (const MenuCommand& command : kMenuCommands) {
        if (command.form == MenuCommand::Form::Extended && !offers.extended) continue;
        const wxString label = LabelOf(command);
        if (label.empty()) continue;  // a command this system does not carry out
        if (command.separatorBefore != 0) menu.Separator(command.separatorBefore);
        menu.Command(command.id, label, offers.*command.offered);
    }
    return menu;
}

MenuModel Sentak::Reopen(bool extended) {
    if (const auto display = m_rules.MenuOpened(ReadStatus(), extended, ClocksNow()))
        ShowDisplay(*display);
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
    for (const MenuCommand& command : kMenuCommands) {
        if (command.id != event.GetId()) continue;
        if (command.system) return RunSystemCommand(command.system);
        switch (command.id) {
            case ID_OPEN_WEB_SETTINGS:
                return OpenWebSettings();
            case ID_COPY_DIAGNOSTICS:
                return CopyDiagnostics();
            case ID_EXIT_TRAY:
                g_mainDialog->Close(true);
                return;
            case ID_START_SERVICE:
                return ControlService(ServiceCommand::Start);
            case ID_STOP_SERVICE:
                return ControlService(ServiceCommand::Stop);
            case ID_RESTART_SERVICE:
                return ControlService(ServiceCommand::Restart);
        }
    }
}

void Sentak::OpenWebSettings() {
    // Built once: a poll tick while the box is open must not change what the user sees or copies.
    const OutageRules::Reading& reading = m_rules.LastReading();
    const wxString url = WebSettingsUrl(reading.status.httpPort(), reading.status.httpsPort());
    if (!reading.valid) return OfferUrl(m_desktop, url);
    // The desktop outlives the tray, so the offer may come when the launch is known to have
    // failed.
    Desktop& desktop = m_desktop;
    m_desktop.LaunchBrowser(url, [&desktop, url] { OfferUrl(desktop, url); });
}

void Sentak::CopyDiagnostics() {
    const Surroundings where{m_desktop.SystemAndDesktop(), ShownBy(), GetServiceName()};
    if (m_desktop.CopyToClipboard(DiagnosticsReport(where, m_rules.Facts(true), m_rules.History())))
        return;
    m_desktop.ShowMessage(_("The clipboard could not be opened."),
                          _("Failed to copy the diagnostics"), wxOK | wxICON_ERROR);
}

void Sentak::RunSystemCommand(const char* name) {
    const SystemCommand* command = FindSystemCommand(name);
    if (!command || m_desktop.Run(*command)) return;
    OfferCommand(m_desktop, wxGetTranslation(command->failed), wxGetTranslation(command->caption),
                 command->byHand(GetServiceName()));
}

void Sentak::ControlService(ServiceCommand command) {
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
