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
void AppendFact(wxMenu& menu, int id, const wxString& text) {
    menu.Append(id, text)->Enable(false);
}
void AppendSeparator(wxMenu& menu, int id) {
    menu.Append(new wxMenuItem(&menu, id, wxString(), wxString(), wxITEM_SEPARATOR));
}
}  // namespace

wxMenu* Sentak::CreatePopupMenu() {
    RefreshStatus();
    // Read once, after the refresh: the form follows the key as it is now, not at the click.
    m_extendedMenu = m_desktop.WantsExtendedMenu();
    m_outageShownAt = -1;  // an opening shows the time as it is now
    return CreateQuietMenu();
}

wxMenu* Sentak::CreateQuietMenu() {
    const bool extended = m_extendedMenu;
    if (m_statusValid)
        m_outageShownAt = -1;
    else if (m_outageShownAt < 0)
        m_outageShownAt = static_cast<std::int64_t>(wxDateTime::GetTimeNow());

    auto* menu = new wxMenu;
    if (extended)
        menu->Append(ID_LAST_UPDATED,
                     LastUpdatedText(m_statusValid ? m_status.lastUpdate() : m_outageShownAt));

    const wxString product = LiteralLabel(GetProductName());
    wxString header = product;
    if (!m_statusValid) {
        // TRANSLATORS: Top entry of the tray menu when the service does not answer; %s is the
        // product name. The capitals are the warning.
        header = wxString::Format(TranslatedFormat("%s Service NOT RUNNING"), product);
    }
    menu->Append(ID_SERVICE_HEADER, header)->Enable(!m_statusValid);
    if (!m_statusValid && m_reason)
        AppendFact(*menu, ID_OUTAGE_REASON, LiteralLabel(ReasonText(*m_reason)));
    AppendSeparator(*menu, ID_SEPARATOR_FACTS);

    const wxString version = m_statusValid ? LiteralLabel(m_status.version()) : "???";
    // TRANSLATORS: %s is the service's version text, or "???" when it is not known.
    AppendFact(*menu, ID_VERSION_FACT, wxString::Format(TranslatedFormat("Version: %s"), version));
    // TRANSLATORS: The port labels are shown as "label: 8080"; the colon and the number are
    // added by the program.
    AppendFact(
        *menu, ID_HTTP_PORT_FACT,
        wxString::Format("%s: %s", _("HTTP port"), PortText(m_statusValid, m_status.httpPort())));
    AppendFact(
        *menu, ID_HTTPS_PORT_FACT,
        wxString::Format("%s: %s", _("HTTPS port"), PortText(m_statusValid, m_status.httpsPort())));
    AppendFact(
        *menu, ID_RTSP_PORT_FACT,
        wxString::Format("%s: %s", _("RTSP port"), PortText(m_statusValid, m_status.rtspPort())));
    // TRANSLATORS: %s is the port number, or "???" when there is none.
    AppendFact(*menu, ID_REMOTE_PORT_FACT,
               wxString::Format(TranslatedFormat("Remote connection port: %s"),
                                PortText(m_statusValid, m_status.remotePort())));
    AppendSeparator(*menu, ID_SEPARATOR_COMMANDS);

    const bool hasWebPort = m_status.httpPort() != 0 || m_status.httpsPort() != 0;
    // TRANSLATORS: A menu command: '&' marks the key that chooses it. Keep one, on a letter the
    // other commands ("&Manage Windows services", "S&tart service", "St&op service", "&Restart
    // service", "E&xit tray application") do not use.
    menu->Append(ID_OPEN_WEB_SETTINGS, _("Open web &settings"))
        ->Enable(m_statusValid && hasWebPort);
    if (!extended) return menu;

    menu->Append(ID_MANAGE_SERVICES, ManageServicesLabel());
    const OfferedCommands offered = OfferCommands(m_commandPending, m_statusValid, m_reason);
    menu->Append(ID_START_SERVICE, ServiceCommandLabel(ServiceCommand::Start))
        ->Enable(offered.start);
    menu->Append(ID_STOP_SERVICE, ServiceCommandLabel(ServiceCommand::Stop))->Enable(offered.stop);
    menu->Append(ID_RESTART_SERVICE, ServiceCommandLabel(ServiceCommand::Restart))
        ->Enable(offered.restart);
    AppendSeparator(*menu, ID_SEPARATOR_EXIT);
    // TRANSLATORS: A menu command; keep one '&', on a letter the other commands do not use.
    menu->Append(ID_EXIT_TRAY, _("E&xit tray application"));
    return menu;
}
