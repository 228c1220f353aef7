// What the tray says when the service stops: why, the remedy on the notice, and that it is back.
#include <wx/artprov.h>
#include <wx/bmpbndl.h>
#include <wx/intl.h>
#include <wx/menuitem.h>

#include "service/brand.h"
#include "tray/sentak.h"
#include "tray/translations.h"

void Sentak::AskWhy() {
    if (m_asking) return;  // a slow manager is not asked again meanwhile
    m_asking = true;
    m_stateReader->Ask(GetServiceName(), [this](const std::optional<ServiceFacts>& facts) {
        m_asking = false;
        // Too late: the service has answered since.
        if (m_statusValid) return;
        const std::optional<OutageReason> reason = facts ? DecideReason(*facts) : std::nullopt;
        if (reason == m_reason) return;
        m_reason = reason;
        MenuMayHaveChanged();
    });
}

void Sentak::ShowStopped() {
    m_stoppedShown = true;
    m_shownReason = m_reason;
    wxString tooltip =
        // TRANSLATORS: Tray icon tooltip after the service stopped answering; %s is the product
        // name.
        wxString::Format(TranslatedFormat("%s Service not running anymore"), GetProductName());
    // A second line: hosts that show a tooltip's title and body apart take it as the body.
    if (m_reason) tooltip << "\n" << ReasonText(*m_reason);
    const wxBitmapBundle warning =
        wxArtProvider::GetBitmapBundle(wxART_WARNING, wxART_OTHER, wxSize(32, 32));
    SetDisplayKind(TrayDisplay::Stopped);
    if (!SetIcon(warning, tooltip)) LogCouldNotSetIcon("Sentak::Poll");
}

void Sentak::NotifyStop() {
    wxString message =
        // TRANSLATORS: Body of the desktop notification when the service stops; %s is the
        // product name.
        wxString::Format(TranslatedFormat("The %s Service is not running anymore."),
                         GetProductName());
    std::optional<NoticeAction> action;
    if (m_reason) {
        message << "\n\n" << ReasonText(*m_reason);
        if (const std::optional<ServiceCommand> remedy = Remedy(*m_reason)) {
            const int id = *remedy == ServiceCommand::Start ? ID_START_SERVICE : ID_RESTART_SERVICE;
            // Exactly what the menu's entry does, pending state and failure box included.
            action = NoticeAction{wxStripMenuCodes(ServiceCommandLabel(*remedy)), [this, id] {
                                      wxCommandEvent event(wxEVT_MENU, id);
                                      event.SetEventObject(this);
                                      SafelyProcessEvent(event);
                                  }};
        }
    }
    // After the click's event has returned, as a menu opened from the icon would be.
    auto openMenu = [this] { CallAfter(&Sentak::OpenExtendedMenu); };
    // TRANSLATORS: Title of the desktop notification when the service stops.
    m_desktop.Notify(*this, _("Service not running"), message, std::move(action),
                     std::move(openMenu));
    m_stopNotified = true;
}

void Sentak::SayRunningAgain() {
    // One notice per outage on screen: the stop notice, with its button, makes way.
    m_desktop.CloseNotice();
    const wxString message =
        // TRANSLATORS: Body of the notification when the service answers again after its stop
        // was notified; %s is the product name.
        wxString::Format(TranslatedFormat("The %s Service is running again."), GetProductName());
    // TRANSLATORS: Title of the notification when the service answers again.
    m_desktop.NotifyBriefly(*this, _("Service running again"), message);
}
