#include <wx/defs.h>
#include <wx/intl.h>

#include "platform/platform.h"
#include "service/brand.h"
#include "tray/menu_text.h"
#include "tray/sentak.h"
#include "tray/sentak_dialog.h"

namespace {

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

}  // namespace

void Sentak::OnOpenWebSettings(wxCommandEvent&) {
    // Built once: a poll tick while the box is open must not change what the user sees or copies.
    const wxString url = WebSettingsUrl(m_status.httpPort(), m_status.httpsPort());
    if (!m_statusValid) return OfferUrl(m_desktop, url);
    // The desktop outlives the tray, so the offer may come when the launch is known to have
    // failed.
    Desktop& desktop = m_desktop;
    m_desktop.LaunchBrowser(url, [&desktop, url] { OfferUrl(desktop, url); });
}

void Sentak::OnExitTray(wxCommandEvent&) { g_mainDialog->Close(true); }

void Sentak::OnManageServices(wxCommandEvent&) {
    if (m_desktop.OpenServiceManager()) return;

    const wxString message = wxString::Format(
        "%s\n\n%s\n\n%s", _("Launching service management failed."),
        // TRANSLATORS: The command follows as a paragraph of its own.
        _("Try manually running the command:"), ServiceManagerCommand(GetServiceName()));
    m_desktop.ShowMessage(message, _("Failed to launch service management"), wxOK | wxICON_ERROR);
}

void Sentak::OnServiceCommand(wxCommandEvent& event) {
    // A host may still show a menu from before the command began.
    if (m_commandPending) return;
    const int id = event.GetId();
    const ServiceCommand command = id == ID_START_SERVICE  ? ServiceCommand::Start
                                   : id == ID_STOP_SERVICE ? ServiceCommand::Stop
                                                           : ServiceCommand::Restart;
    m_commandPending = true;
    MenuMayHaveChanged();
    // From the moment it is sent: the service may stop before the command reports.
    if (command != ServiceCommand::Start) m_stopAsked = true;
    // The control goes before this tray does, cancelling the command: the callback never outlives
    // it.
    m_serviceControl->Run(
        command, GetServiceName(),
        [this, command](const ServiceOutcome& outcome) { OnServiceCommandDone(command, outcome); });
}

void Sentak::OnServiceCommandDone(ServiceCommand command, const ServiceOutcome& outcome) {
    m_commandPending = false;
    if (outcome.result != ServiceOutcome::Result::Done) m_stopAsked = false;
    // The display follows at once rather than at the next tick, and the menu with it.
    Poll();
    MenuMayHaveChanged();
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
                         _("The system said:"), SystemsWords(outcome));
    m_desktop.ShowMessage(message, caption, wxOK | wxICON_ERROR);
}
