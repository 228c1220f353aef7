#include <wx/datetime.h>
#include <wx/intl.h>
#include <wx/menu.h>

#include "platform/platform.h"
#include "service/brand.h"
#include "tray/menu_text.h"
#include "tray/sentak.h"
#include "tray/translations.h"

namespace {
// A fact about the service: shown greyed, choosing it does nothing.
void AppendFact(wxMenu& menu, const wxString& text) { menu.Append(wxID_ANY, text)->Enable(false); }
}  // namespace

wxMenu* Sentak::CreatePopupMenu() {
    RefreshStatus();
    return CreateQuietMenu();
}

wxMenu* Sentak::CreateQuietMenu() {
    // Read once, after the refresh: the form follows the key as it is now, not at the click.
    const bool extended = m_desktop.WantsExtendedMenu();

    auto* menu = new wxMenu;
    if (extended) {
        const std::int64_t seconds = m_statusValid
                                         ? m_status.lastUpdate()
                                         : static_cast<std::int64_t>(wxDateTime::GetTimeNow());
        menu->Append(wxID_ANY, LastUpdatedText(seconds));
    }

    const wxString product = LiteralLabel(GetProductName());
    wxString header = product;
    if (!m_statusValid) {
        // TRANSLATORS: Top entry of the tray menu when the service does not answer; %s is the
        // product name. The capitals are the warning.
        header = wxString::Format(TranslatedFormat("%s Service NOT RUNNING"), product);
    }
    menu->Append(wxID_ANY, header)->Enable(!m_statusValid);
    menu->AppendSeparator();

    const wxString version = m_statusValid ? LiteralLabel(m_status.version()) : "???";
    // TRANSLATORS: %s is the service's version text, or "???" when it is not known.
    AppendFact(*menu, wxString::Format(TranslatedFormat("Version: %s"), version));
    // TRANSLATORS: The port labels are shown as "label: 8080"; the colon and the number are
    // added by the program.
    AppendFact(*menu, wxString::Format("%s: %s", _("HTTP port"),
                                       PortText(m_statusValid, m_status.httpPort())));
    AppendFact(*menu, wxString::Format("%s: %s", _("HTTPS port"),
                                       PortText(m_statusValid, m_status.httpsPort())));
    AppendFact(*menu, wxString::Format("%s: %s", _("RTSP port"),
                                       PortText(m_statusValid, m_status.rtspPort())));
    // TRANSLATORS: %s is the port number, or "???" when there is none.
    AppendFact(*menu, wxString::Format(TranslatedFormat("Remote connection port: %s"),
                                       PortText(m_statusValid, m_status.remotePort())));
    menu->AppendSeparator();

    const bool hasWebPort = m_status.httpPort() != 0 || m_status.httpsPort() != 0;
    // TRANSLATORS: A menu command: '&' marks the key that chooses it. Keep one, on a letter the
    // other commands ("&Manage Windows services", "S&tart service", "St&op service", "&Restart
    // service", "E&xit tray application") do not use.
    menu->Append(ID_OPEN_WEB_SETTINGS, _("Open web &settings"))
        ->Enable(m_statusValid && hasWebPort);
    if (!extended) return menu;

    menu->Append(ID_MANAGE_SERVICES, ManageServicesLabel());
    // A service that does not answer may still run (hung, or its pipe taken by another), so that
    // only an answer greys Start; while a command of ours runs, all three wait for it.
    // TRANSLATORS: Menu commands that start, stop and restart the service; keep one '&' in each,
    // on a letter that no other command of the menu uses ("Open web &settings", "&Manage Windows
    // services", "E&xit tray application" and these three).
    menu->Append(ID_START_SERVICE, _("S&tart service"))
        ->Enable(!m_commandPending && !m_statusValid);
    menu->Append(ID_STOP_SERVICE, _("St&op service"))->Enable(!m_commandPending);
    menu->Append(ID_RESTART_SERVICE, _("&Restart service"))->Enable(!m_commandPending);
    menu->AppendSeparator();
    // TRANSLATORS: A menu command; keep one '&', on a letter the other commands do not use.
    menu->Append(ID_EXIT_TRAY, _("E&xit tray application"));
    return menu;
}
