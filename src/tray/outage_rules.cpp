#include "tray/outage_rules.h"

#include <utility>

#include <wx/intl.h>

#include "platform/platform.h"
#include "service/brand.h"
#include "tray/menu_text.h"
#include "tray/translations.h"

namespace {

// Failed refreshes in a row before a stop is reported: 18 to 20 s of silence at the 2 s period,
// so a service that is only restarting or briefly busy is not reported.
constexpr std::int32_t kStopReportFailures = 10;

// However often another start calls, the user is told no more often than this.
constexpr std::chrono::seconds kStartedAgainPause{10};

std::int64_t Seconds(OutageRules::Time time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// A translated format with the product name put in.
wxString WithProduct(const wxString& format) { return wxString::Format(format, GetProductName()); }

}  // namespace

OutageRules::OutageRules(bool extendedMenu, Time now)
    : m_extendedMenu(extendedMenu), m_outageShownAt(Seconds(now)) {}

OutageRules::Display OutageRules::FirstDisplay() {
    // TRANSLATORS: Tray icon tooltip before the service has answered; %s is the product name,
    // e.g. "Vantora 3".
    m_shown = {Display::Kind::Unknown, WithProduct(TranslatedFormat("%s Service status unknown"))};
    return m_shown;
}

bool OutageRules::Take(const Reading& reading, Time now) {
    const bool changed = reading.valid != m_reading.valid || !(reading.status == m_reading.status);
    m_reading = reading;
    if (reading.valid) {
        m_reason.reset();  // what the manager said of an outage that is over
        m_outageShownAt = -1;
    } else if (m_outageShownAt < 0) {
        m_outageShownAt = Seconds(now);
    }
    // The menu shows nothing of the failure count: an unchanged outcome leaves it as it was.
    return changed;
}

OutageRules::Answer OutageRules::Refreshed(const Reading& reading, Time now) {
    Answer answer;
    answer.menuChanged = Take(reading, now);
    return answer;
}

OutageRules::Answer OutageRules::Polled(const Reading& reading, Time now) {
    Answer answer = Refreshed(reading, now);
    if (reading.valid) {
        m_wasRunning = true;
        // Seen again after the asked-for stop: the next outage is nobody's wish. Not while the
        // command runs, though: a service still answers until it has stopped.
        if (!m_commandPending) m_stopAsked = false;
        // TRANSLATORS: Tray icon tooltip while the service answers; %s is the product name.
        m_shown = {Display::Kind::Running, WithProduct(TranslatedFormat("%s Service running"))};
        // Every tick, even unchanged: a tray may have lost the icon since.
        answer.display = m_shown;
        if (std::exchange(m_stopNoticeShown, false)) {
            // One notice per outage on screen: the stop notice, with its button, makes way.
            answer.closeNotice = true;
            // TRANSLATORS: Title of the notification when the service answers again.
            answer.notice =
                Notice{Notice::Kind::Brief,
                       _("Service running again"),
                       // TRANSLATORS: Body of the notification when the service
                       // answers again after its stop was notified; %s is the
                       // product name.
                       WithProduct(TranslatedFormat("The %s Service is running again.")),
                       {}};
        }
        return answer;
    }
    // A slow manager is not asked again meanwhile.
    answer.askWhy = !std::exchange(m_asking, true);

    // The stop is reported at the first tick that finds kStopReportFailures reached (menu openings
    // advance the count too, so it may have been passed). Once per stop, since the report clears
    // m_wasRunning; a service never seen running says nothing. A stop the user asked for shows at
    // once, and is no news to notify.
    if (!m_wasRunning || (reading.failures < kStopReportFailures && !m_stopAsked)) return answer;
    m_wasRunning = false;
    m_shown = Stopped();
    answer.display = m_shown;
    if (!m_stopAsked) {
        answer.notice = StopNotice();
        m_stopNoticeShown = true;
    }
    return answer;
}

OutageRules::Answer OutageRules::ManagerSaid(const std::optional<ServiceFacts>& facts) {
    m_asking = false;
    Answer answer;
    // Too late: the service has answered since.
    if (m_reading.valid) return answer;
    const std::optional<OutageReason> reason = facts ? DecideReason(*facts) : std::nullopt;
    if (reason == m_reason) return answer;
    m_reason = reason;
    answer.menuChanged = true;
    // The stopped display follows what the manager says.
    if (m_shown.kind == Display::Kind::Stopped) {
        m_shown = Stopped();
        answer.display = m_shown;
    }
    return answer;
}

bool OutageRules::CommandStarted(ServiceCommand command) {
    // A host may still show a menu from before the command began.
    if (m_commandPending) return false;
    m_commandPending = true;
    // From the moment it is sent: the service may stop before the command reports.
    if (command != ServiceCommand::Start) m_stopAsked = true;
    return true;
}

void OutageRules::CommandEnded(ServiceOutcome::Result result) {
    m_commandPending = false;
    if (result != ServiceOutcome::Result::Done) m_stopAsked = false;
}

void OutageRules::MenuOpened(const Reading& reading, bool extended, Time now) {
    Take(reading, now);
    m_extendedMenu = extended;
    if (!reading.valid) m_outageShownAt = Seconds(now);  // an opening shows the time as it is now
}

std::optional<OutageRules::Notice> OutageRules::StartedAgain(Time now) {
    // A clock set back counts as time passed, so that no notice is held back for long.
    if (m_startedAgainToldAt && now >= *m_startedAgainToldAt &&
        now - *m_startedAgainToldAt < kStartedAgainPause)
        return std::nullopt;
    m_startedAgainToldAt = now;
    // TRANSLATORS: Title of a short notification when Sentak is started while it runs already.
    return Notice{Notice::Kind::Brief, _("Sentak is already running"), WhereTheIconIs(), {}};
}

OutageRules::Display OutageRules::Stopped() const {
    // TRANSLATORS: Tray icon tooltip after the service stopped answering; %s is the product
    // name.
    wxString tooltip = WithProduct(TranslatedFormat("%s Service not running anymore"));
    // A second line: hosts that show a tooltip's title and body apart take it as the body.
    if (m_reason) tooltip << "\n" << ReasonText(*m_reason);
    return {Display::Kind::Stopped, tooltip};
}

OutageRules::Notice OutageRules::StopNotice() const {
    // TRANSLATORS: Body of the desktop notification when the service stops; %s is the product
    // name.
    wxString message = WithProduct(TranslatedFormat("The %s Service is not running anymore."));
    std::optional<ServiceCommand> remedy;
    if (m_reason) {
        message << "\n\n" << ReasonText(*m_reason);
        remedy = Remedy(*m_reason);
    }
    // TRANSLATORS: Title of the desktop notification when the service stops.
    return {Notice::Kind::Warning, _("Service not running"), message, remedy};
}

MenuModel OutageRules::Facts() const {
    const bool valid = m_reading.valid;
    const ServiceStatus& status = m_reading.status;
    const wxString product = LiteralLabel(GetProductName());
    // TRANSLATORS: Top entry of the tray menu when the service does not answer; %s is the product
    // name. The capitals are the warning.
    const wxString notRunning = TranslatedFormat("%s Service NOT RUNNING");
    MenuModel menu;
    const auto portFact = [&](int id, const wxString& label, std::int32_t port) {
        menu.Fact(id, wxString::Format("%s: %s", label, PortText(valid, port)));
    };

    if (m_extendedMenu)
        menu.Fact(ID_LAST_UPDATED, LastUpdatedText(valid ? status.lastUpdate() : m_outageShownAt),
                  true);
    menu.Fact(ID_SERVICE_HEADER, valid ? product : wxString::Format(notRunning, product), !valid);
    if (!valid && m_reason) menu.Fact(ID_OUTAGE_REASON, LiteralLabel(ReasonText(*m_reason)));
    menu.Separator(ID_SEPARATOR_FACTS);
    // TRANSLATORS: %s is the service's version text, or "???" when it is not known.
    menu.Fact(ID_VERSION_FACT, wxString::Format(TranslatedFormat("Version: %s"),
                                                valid ? LiteralLabel(status.version()) : "???"));
    // TRANSLATORS: The port labels are shown as "label: 8080"; the colon and the number are
    // added by the program.
    portFact(ID_HTTP_PORT_FACT, _("HTTP port"), status.httpPort());
    portFact(ID_HTTPS_PORT_FACT, _("HTTPS port"), status.httpsPort());
    portFact(ID_RTSP_PORT_FACT, _("RTSP port"), status.rtspPort());
    // TRANSLATORS: %s is the port number, or "???" when there is none.
    const wxString remote = TranslatedFormat("Remote connection port: %s");
    menu.Fact(ID_REMOTE_PORT_FACT, wxString::Format(remote, PortText(valid, status.remotePort())));
    menu.Separator(ID_SEPARATOR_COMMANDS);
    return menu;
}

OutageRules::Offers OutageRules::Offered() const {
    const ServiceStatus& status = m_reading.status;
    const bool webPort = status.httpPort() != 0 || status.httpsPort() != 0;
    const OfferedCommands service = OfferCommands(m_commandPending, m_reading.valid, m_reason);
    return {m_extendedMenu, true,         m_reading.valid && webPort,
            service.start,  service.stop, service.restart};
}
