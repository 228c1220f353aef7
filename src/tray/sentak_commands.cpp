#include <wx/defs.h>
#include <wx/intl.h>

#include "tray/menu_text.h"
#include "tray/sentak.h"
#include "tray/sentak_dialog.h"

void Sentak::OnOpenWebSettings(wxCommandEvent&) {
    // Built once: a poll tick while the box is open must not change what the user sees or copies.
    const wxString url = WebSettingsUrl(m_status.httpPort(), m_status.httpsPort());
    if (m_statusValid && m_desktop.LaunchBrowser(url)) return;

    const wxString message = wxString::Format(
        "%s\n\n%s\n\n%s", _("Starting the browser failed."),
        // TRANSLATORS: The web address follows as a paragraph of its own; "Ok" is the box's OK
        // button.
        _("Please enter the following URL into your browser manually, or click Ok to copy the URL "
          "to clipboard."),
        url);
    if (m_desktop.ShowMessage(message, _("Failed to launch browser"),
                              wxOK | wxCANCEL | wxICON_ERROR) != wxOK)
        return;
    m_desktop.CopyToClipboard(url);  // a clipboard that will not open leaves the URL uncopied
}

void Sentak::OnExitTray(wxCommandEvent&) { g_mainDialog->Close(true); }

void Sentak::OnManageServices(wxCommandEvent&) {
    const wxString document = "services.msc";
    if (m_desktop.LaunchDocument(document)) return;

    const wxString message =
        wxString::Format("%s\n\n%s\n\n%s", _("Launching service management failed."),
                         // TRANSLATORS: The command follows as a paragraph of its own.
                         _("Try manually running the command:"), document);
    m_desktop.ShowMessage(message, _("Failed to launch service management"), wxOK | wxICON_ERROR);
}
