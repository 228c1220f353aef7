#include <memory>

#include <wx/datetime.h>
#include <wx/intl.h>
#include <wx/menu.h>

#include "platform/platform.h"
#include "service/brand.h"
#include "tray/menu_text.h"
#include "tray/sentak.h"
#include "tray/translations.h"

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
}  // namespace

wxMenu* Sentak::CreatePopupMenu() { return NewMenu(OpenMenu()); }

void Sentak::OpenExtendedMenu() {
    RefreshStatus();
    m_extendedMenu = true;
    m_outageShownAt = -1;  // an opening shows the time as it is now
    const std::unique_ptr<wxMenu> menu(NewMenu(QuietMenu()));
    PopupMenu(menu.get());
}

MenuModel Sentak::OpenMenu() {
    RefreshStatus();
    // Read once, after the refresh: the form follows the key as it is now, not at the click.
    m_extendedMenu = m_desktop.WantsExtendedMenu();
    m_outageShownAt = -1;  // an opening shows the time as it is now
    return QuietMenu();
}

MenuModel Sentak::QuietMenu() {
    if (m_statusValid)
        m_outageShownAt = -1;
    else if (m_outageShownAt < 0)
        m_outageShownAt = static_cast<std::int64_t>(wxDateTime::GetTimeNow());
    const std::int64_t shownTime = m_statusValid ? m_status.lastUpdate() : m_outageShownAt;
    const wxString product = LiteralLabel(GetProductName());
    // TRANSLATORS: Top entry of the tray menu when the service does not answer; %s is the product
    // name. The capitals are the warning.
    const wxString notRunning = TranslatedFormat("%s Service NOT RUNNING");
    const wxString version = m_statusValid ? LiteralLabel(m_status.version()) : "???";
    MenuModel menu;
    const auto portFact = [&](int id, const wxString& label, std::int32_t port) {
        menu.Fact(id, wxString::Format("%s: %s", label, PortText(m_statusValid, port)));
    };

    if (m_extendedMenu) menu.Fact(ID_LAST_UPDATED, LastUpdatedText(shownTime), true);
    menu.Fact(ID_SERVICE_HEADER, m_statusValid ? product : wxString::Format(notRunning, product),
              !m_statusValid);
    if (!m_statusValid && m_reason)
        menu.Fact(ID_OUTAGE_REASON, LiteralLabel(ReasonText(*m_reason)));
    menu.Separator(ID_SEPARATOR_FACTS);
    // TRANSLATORS: %s is the service's version text, or "???" when it is not known.
    menu.Fact(ID_VERSION_FACT, wxString::Format(TranslatedFormat("Version: %s"), version));
    // TRANSLATORS: The port labels are shown as "label: 8080"; the colon and the number are
    // added by the program.
    portFact(ID_HTTP_PORT_FACT, _("HTTP port"), m_status.httpPort());
    portFact(ID_HTTPS_PORT_FACT, _("HTTPS port"), m_status.httpsPort());
    portFact(ID_RTSP_PORT_FACT, _("RTSP port"), m_status.rtspPort());
    // TRANSLATORS: %s is the port number, or "???" when there is none.
    const wxString remote = TranslatedFormat("Remote connection port: %s");
    menu.Fact(ID_REMOTE_PORT_FACT,
              wxString::Format(remote, PortText(m_statusValid, m_status.remotePort())));
    menu.Separator(ID_SEPARATOR_COMMANDS);

    const bool hasWebPort = m_status.httpPort() != 0 || m_status.httpsPort() != 0;
    // TRANSLATORS: A menu command: '&' marks the key that chooses it. Keep one, on a letter the
    // other commands ("&Manage Windows services", "S&tart service", "St&op service", "&Restart
    // service", "E&xit tray application") do not use.
    menu.Command(ID_OPEN_WEB_SETTINGS, _("Open web &settings"), m_statusValid && hasWebPort);
    if (!m_extendedMenu) return menu;

    menu.Command(ID_MANAGE_SERVICES, ManageServicesLabel());
    const OfferedCommands offered = OfferCommands(m_commandPending, m_statusValid, m_reason);
    menu.Command(ID_START_SERVICE, ServiceCommandLabel(ServiceCommand::Start), offered.start);
    menu.Command(ID_STOP_SERVICE, ServiceCommandLabel(ServiceCommand::Stop), offered.stop);
    menu.Command(ID_RESTART_SERVICE, ServiceCommandLabel(ServiceCommand::Restart), offered.restart);
    menu.Separator(ID_SEPARATOR_EXIT);
    // TRANSLATORS: A menu command; keep one '&', on a letter the other commands do not use.
    menu.Command(ID_EXIT_TRAY, _("E&xit tray application"));
    return menu;
}
