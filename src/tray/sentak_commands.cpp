#include <wx/defs.h>
#include <wx/intl.h>

#include "platform/platform.h"
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

    const wxString message =
        wxString::Format("%s\n\n%s\n\n%s", _("Launching service management failed."),
                         // TRANSLATORS: The command follows as a paragraph of its own.
                         _("Try manually running the command:"), ServiceManagerCommand());
    m_desktop.ShowMessage(message, _("Failed to launch service management"), wxOK | wxICON_ERROR);
}
