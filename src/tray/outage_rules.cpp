#include "tray/outage_rules.h"

#include <algorithm>
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

// A restart within this time of the last restart notice updates that notice: a service that
// crashes again and again keeps one notice on screen.
constexpr std::chrono::minutes kRestartNoticeUpdates{10};

// After a resume, the network and the service's own start take their time: no alarm meanwhile.
constexpr std::chrono::seconds kSleepGrace{60};

// Ticks further apart than this had the computer asleep between them.
constexpr std::chrono::seconds kTickGap{10};

// A command of ours changes the process for a while after it ends too: the manager may tell of
// the new process only after our command has reported.
constexpr std::chrono::seconds kCommandSettles{5};

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
        m_excusedFailures = 0;
        // Kept for the "running again" notice that is still to come.
        if (!m_stopNoticeShown) m_downSince.reset();
    } else {
        if (m_outageShownAt < 0) m_outageShownAt = Seconds(now);
        if (!m_downSince) m_downSince = now;
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
    AwakeWithoutResume(now);
    Answer answer = Refreshed(reading, now);
    if (reading.valid) {
        const std::optional<std::int64_t> runningSince = m_runningSince;
        answer.notice = Restarted(reading, now);
        answer.menuChanged |= answer.notice || runningSince != m_runningSince;
        m_wasRunning = true;
        // Seen again after the asked-for stop: the next outage is nobody's wish. Not while the
        // command runs, though: a service still answers until it has stopped.
        if (!m_commandPending) m_stopAsked = false;
        m_shown = Running();
        // Every tick, even unchanged: a tray may have lost the icon since.
        answer.display = m_shown;
        if (std::exchange(m_stopNoticeShown, false)) {
            // One notice per outage on screen: the stop notice, with its button, makes way.
            answer.closeNotice = true;
            answer.notice =
                BackNotice(now - std::exchange(m_downSince, std::nullopt).value_or(now));
        }
        return answer;
    }
    // A slow manager is not asked again meanwhile.
    answer.askWhy = !std::exchange(m_asking, true);

    // The stop is reported at the first tick that finds kStopReportFailures reached (menu openings
    // advance the count too, so it may have been passed). Once per stop, since the report clears
    // m_wasRunning; a service never seen running says nothing. A stop the user asked for shows at
    // once, and is no news to notify; nor is one while the session ends.
    if (!m_wasRunning || (CountedFailures(reading, now) < kStopReportFailures && !m_stopAsked))
        return answer;
    m_wasRunning = false;
    // A reported stop ends what our last command started: the next new process is nobody's.
    if (!m_commandPending) m_commandSince = false;
    m_lastEnd.reset();  // the stop report tells what the manager says now
    m_shown = Stopped();
    answer.display = m_shown;
    if (!m_stopAsked && !m_sessionEnding) {
        answer.notice = StopNotice();
        m_stopNoticeShown = true;
    }
    return answer;
}

std::optional<OutageRules::Notice> OutageRules::Restarted(const Reading& reading, Time now) {
    const bool pipeKnown = reading.serverProcess && m_serverProcess;
    const bool pipeNew = pipeKnown && *reading.serverProcess != *m_serverProcess;
    const bool toldNew = std::exchange(m_managerToldNew, false);
    if (reading.serverProcess) m_serverProcess = reading.serverProcess;
    // When the process started: where a manager tells, as it told; else when we first saw it. A
    // service back from a reported stop has a new process, unless its pipe's server says otherwise.
    if (m_managerProcess == 0 && (pipeNew || !m_runningSince || (!m_wasRunning && !pipeKnown)))
        m_runningSince = Seconds(now);

    const bool changed = pipeNew || toldNew;
    const bool ours = CommandSettling(changed, now);
    if (!changed) return std::nullopt;
    const std::optional<ServiceEnd> end = std::exchange(m_lastEnd, std::nullopt);
    // A sleep is no news, nor what we asked for; after a reported stop, "running again" says it.
    if (!m_wasRunning || ours || InSleepGrace(now)) return std::nullopt;
    if (m_restarts++ == 0) m_firstRestartAt = Seconds(now);
    // A clock set back counts as time passed: the next notice is a fresh one.
    const bool replaces = m_restartToldAt && now >= *m_restartToldAt &&
                          now - *m_restartToldAt < kRestartNoticeUpdates;
    m_restartToldAt = now;
    return RestartNotice(end, replaces);
}

bool OutageRules::CommandSettling(bool changed, Time now) {
    if (!m_commandSince) return false;
    // The window closes at a poll that saw no change, kCommandSettles after the command ended.
    if (m_commandPending || changed || !m_commandQuietSince)
        m_commandQuietSince = m_commandPending ? std::nullopt : std::optional(now);
    else if (now - *m_commandQuietSince >= kCommandSettles)
        m_commandSince = false;
    return true;
}

std::int32_t OutageRules::CountedFailures(const Reading& reading, Time now) {
    if (InSleepGrace(now)) m_excusedFailures = reading.failures;
    return reading.failures - std::min(m_excusedFailures, reading.failures);
}

bool OutageRules::InSleepGrace(Time now) const {
    return m_sleeping || (m_graceUntil && now < *m_graceUntil);
}

OutageRules::Answer OutageRules::ManagerTold(const ServiceChange& change, Time now) {
    Answer answer;
    if (change.kind == ServiceChange::Kind::Ended) {
        m_lastEnd = change.end;  // the reason of the restart that follows
        return answer;
    }
    if (change.pid == 0 || change.pid == m_managerProcess) return answer;
    // The first process told is where we start from. Whether a new one is news (ours, or after a
    // sleep) is decided at the poll that finds the service answering.
    if (m_managerProcess != 0) m_managerToldNew = true;
    m_managerProcess = change.pid;
    m_runningSince = change.startedAt.value_or(Seconds(now));
    answer.menuChanged = m_reading.valid;
    return answer;
}

OutageRules::Answer OutageRules::SleepBegins(Time) {
    m_sleeping = true;
    m_awakeSince.reset();
    return {};
}

// Not every wake is announced (Windows tells of one nobody was present for to no window), and a
// sleep whose end is never told must not silence the stop report for good: ticks that went on
// without a gap for as long as the grace mean the computer is awake, and the grace is over.
void OutageRules::AwakeWithoutResume(Time now) {
    if (!m_sleeping) return;
    if (!m_awakeSince || now < m_lastTick || now - m_lastTick > kTickGap) m_awakeSince = now;
    m_lastTick = now;
    if (now - *m_awakeSince < kSleepGrace) return;
    m_sleeping = false;
    m_graceUntil = now;
}

OutageRules::Answer OutageRules::Resumed(Time now) {
    m_sleeping = false;
    m_graceUntil = now + kSleepGrace;
    return {};
}

OutageRules::Answer OutageRules::SessionEnding(bool announced, Time) {
    m_sessionEnding = announced;
    return {};
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
    m_commandSince = true;
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
    if (valid && m_runningSince)
        // TRANSLATORS: Greyed menu entry; %s is the date and time the service's process started.
        menu.Fact(ID_RUNNING_SINCE, wxString::Format(TranslatedFormat("Running since %s"),
                                                     LocalTimeText(*m_runningSince)));
    if (valid && m_restarts > 0) menu.Fact(ID_RESTARTS, RestartsText());
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

OutageRules::Display OutageRules::Running() const {
    // TRANSLATORS: Tray icon tooltip while the service answers; %s is the product name.
    wxString tooltip = WithProduct(TranslatedFormat("%s Service running"));
    if (m_restarts > 0) tooltip << "\n" << RestartsText();
    return {Display::Kind::Running, tooltip};
}

OutageRules::Notice OutageRules::BackNotice(Time::duration down) const {
    const wxString message = wxString::Format(
        // TRANSLATORS: Body of the notification when the service answers again after its stop
        // was notified; the first %s is the product name, the second how long it was down, as
        // in "4 min".
        TranslatedFormat("The %s Service is running again after %s."), GetProductName(),
        DurationText(std::chrono::duration_cast<std::chrono::seconds>(down)));
    // TRANSLATORS: Title of the notification when the service answers again.
    return {Notice::Kind::Brief, _("Service running again"), message, {}};
}

OutageRules::Notice OutageRules::RestartNotice(const std::optional<ServiceEnd>& end,
                                               bool replacesLast) const {
    wxString message = WithProduct(
        // TRANSLATORS: Body of the notification when the service's process was replaced without
        // Sentak asking; %s is the product name.
        TranslatedFormat("The %s Service stopped and was started again."));
    // How the last process ended, as the stop notice says it; a clean end needs no words.
    if (end && end->how != ServiceEnd::How::Clean)
        if (const auto reason = DecideReason(ServiceFacts{ServiceFacts::Now::Stopped, *end}))
            message << "\n\n" << ReasonText(*reason);
    message << "\n\n"
            << wxString::Format(
                   // TRANSLATORS: The last paragraph of that notification; %d is the number of
                   // restarts seen since Sentak started, %s the date and time of the first.
                   TranslatedPlural("It has restarted %d time since %s.",
                                    "It has restarted %d times since %s.", unsigned(m_restarts)),
                   m_restarts, LocalTimeText(m_firstRestartAt));
    // TRANSLATORS: Title of the notification when the service was restarted without Sentak
    // asking.
    return {Notice::Kind::Restart, _("Service restarted"), message, {}, replacesLast};
}

wxString OutageRules::RestartsText() const {
    return wxString::Format(
        // TRANSLATORS: Greyed menu entry and tooltip line; %d is the number of restarts seen
        // since Sentak started, %s the date and time of the first.
        TranslatedPlural("Restarted %d time since %s", "Restarted %d times since %s",
                         unsigned(m_restarts)),
        m_restarts, LocalTimeText(m_firstRestartAt));
}
