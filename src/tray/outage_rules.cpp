#include "tray/outage_rules.h"

#include <utility>

namespace {

// However often another start calls, the user is told no more often than this.
constexpr std::chrono::seconds kStartedAgainPause{10};

// The wall clock's time, for the times shown.
std::int64_t Wall(const Moment& now) { return std::chrono::system_clock::to_time_t(now.wall); }

}  // namespace

OutageRules::OutageRules(bool extendedMenu, const Moment& now)
    : m_quiet(now), m_startedAgain(kStartedAgainPause), m_menu(extendedMenu, Wall(now)) {}

bool OutageRules::Take(const Reading& reading, const Moment& now) {
    const bool changed = reading.valid != m_reading.valid || !(reading.status == m_reading.status);
    m_stop.Refreshed(reading.valid, now.sinceBoot);
    if (reading.valid) m_words.Over();
    m_menu.Refreshed(m_reading.valid, reading.valid, Wall(now));
    m_reading = reading;
    // The menu shows nothing of the failure count: an unchanged outcome leaves it as it was.
    return changed;
}

OutageRules::Answer OutageRules::Refreshed(const Reading& reading, const Moment& now) {
    Answer answer;
    answer.menuChanged = Take(reading, now);
    return answer;
}

OutageRules::Answer OutageRules::Polled(const Reading& reading, const Moment& now) {
    m_quiet.Observe(now);
    Answer answer = Refreshed(reading, now);
    if (reading.valid) answer.notice = CountRestarts(reading, now, answer);
    const auto at = now.sinceBoot;
    const StopReport::Told told = m_stop.Polled(
        reading.valid, at, {m_quiet.InGrace(at), m_quiet.Silenced()}, m_command.Pending());
    answer.askWhy = told.askWhy;
    if (told.displayChanged) m_history.Changed(m_stop.Showing(), Wall(now));
    if (told.displayChanged && m_stop.Showing() == Shown::Stopped) {
        m_command.StopShown();
        m_restarts.StopShown();
    }
    // Every tick while the service answers, even unchanged: a tray may have lost the icon since.
    if (told.displayChanged || reading.valid) answer.display = Shows();
    if (told.backAfter) {
        // One notice per outage on screen: the stop notice, with its button, makes way.
        answer.closeNotice = true;
        answer.notice = BackNotice(*told.backAfter);
    }
    if (told.stopNotice) {
        answer.notice = StopNotice();
        answer.display = Shows();  // now in need of attention
    }
    return answer;
}

OutageRules::Notice OutageRules::StopNotice() const {
    const std::optional<OutageReason>& reason = m_stop.Reason();
    const Words words = StopNoticeWords(reason, m_words.Line());
    return {Notice::Kind::Warning, words.title, words.message,
            reason ? Remedy(*reason) : std::nullopt};
}

OutageRules::Notice OutageRules::BackNotice(std::chrono::nanoseconds down) {
    const Words words = BackNoticeWords(std::chrono::duration_cast<std::chrono::seconds>(down));
    return {Notice::Kind::Brief, words.title, words.message, {}};
}

std::optional<OutageRules::Notice> OutageRules::CountRestarts(const Reading& reading,
                                                              const Moment& now, Answer& answer) {
    const auto at = now.sinceBoot;
    const bool ours = m_command.Ours(m_restarts.Pending(reading.serverProcess), at);
    // A sleep is no news, nor what we asked for; after a stop was shown, "running again" says it.
    const bool counts = m_stop.Showing() == Shown::Running && !ours && !m_quiet.InGrace(at);
    const std::optional<std::int64_t> since = m_restarts.RunningSince();
    const Restarts::Counted counted = m_restarts.Polled(reading.serverProcess, counts, Wall(now));
    answer.menuChanged |= counted.added > 0 || since != m_restarts.RunningSince();
    if (counted.added == 0) return std::nullopt;
    const CrashLoop::Pop pop = m_crashLoop.Restarted(at);
    if (pop == CrashLoop::Pop::Quiet) return std::nullopt;
    const Words words = RestartNoticeWords(counted.lastEnd, Tally());
    return Notice{
        Notice::Kind::Restart, words.title, words.message, {}, pop == CrashLoop::Pop::Again};
}

OutageRules::Answer OutageRules::ManagerTold(const ServiceChange& change, const Moment& now) {
    Answer answer;
    answer.menuChanged = m_restarts.ManagerTold(change, Wall(now)) && m_reading.valid;
    return answer;
}

OutageRules::Answer OutageRules::ManagerSaid(const std::optional<ServiceFacts>& facts) {
    Answer answer;
    const std::optional<OutageReason> reason = facts ? DecideReason(*facts) : std::nullopt;
    bool changed = m_stop.ManagerSaid(reason);
    if (!m_reading.valid) {  // never while the service answers
        changed |= m_words.ManagerSaid(facts);
        if (m_words.Wanted(reason, m_stop.StopWasAsked(), m_stop.Failures()))
            answer.readLog = ServiceRun{{}, facts->runId, m_restarts.RunningSince()};
    }
    if (!changed) return answer;
    answer.menuChanged = true;
    // The stopped display follows what the manager says.
    if (m_stop.Showing() == Shown::Stopped) answer.display = Shows();
    return answer;
}

OutageRules::Answer OutageRules::LogSaid(const LastWords& words) {
    Answer answer;
    if (m_reading.valid || !m_words.Heard(words)) return answer;
    answer.menuChanged = true;
    if (m_stop.Showing() == Shown::Stopped) answer.display = Shows();
    return answer;
}

bool OutageRules::CommandStarted(ServiceCommand command) {
    if (!m_command.Started()) return false;
    // From the moment it is sent: the service may stop before the command reports.
    if (command != ServiceCommand::Start) m_stop.StopAsked(true);
    return true;
}

void OutageRules::CommandEnded(ServiceOutcome::Result result) {
    m_command.Ended();
    if (result != ServiceOutcome::Result::Done) m_stop.StopAsked(false);
}

std::optional<OutageRules::Display> OutageRules::MenuOpened(const Reading& reading, bool extended,
                                                            const Moment& now) {
    Take(reading, now);
    m_menu.Opened(extended, reading.valid, Wall(now));
    if (!m_stop.MenuOpened()) return std::nullopt;
    return Shows();
}

std::optional<OutageRules::Notice> OutageRules::StartedAgain(
    const Moment& now, const std::optional<wxString>& whereTheIconIs) {
    if (!m_startedAgain.Allow(now.sinceBoot)) return std::nullopt;
    const Words words = StartedAgainWords(whereTheIconIs);
    return Notice{Notice::Kind::Brief, words.title, words.message, {}};
}

OutageRules::Display OutageRules::Shows() const {
    switch (m_stop.Showing()) {
        case Shown::Unknown:
            return {Shown::Unknown, UnknownTooltip()};
        case Shown::Running:
            return {Shown::Running, RunningTooltip(Tally())};
        case Shown::Stopped:
            break;
    }
    return {Shown::Stopped, StoppedTooltip(m_stop.Reason(), m_words.Line()),
            m_stop.NeedsAttention()};
}

RestartTally OutageRules::Tally() const {
    return {m_restarts.Count(), m_restarts.FirstAt().value_or(0)};
}

MenuModel OutageRules::Facts(bool extended) const {
    return FactsMenu({extended, m_reading.valid, m_reading.status, m_menu.OutageShownAt(),
                      m_stop.Reason(), m_words.Line(), m_words.Advice(), m_restarts.RunningSince(),
                      Tally()});
}

OutageRules::Offers OutageRules::Offered() const {
    const ServiceStatus& status = m_reading.status;
    const bool webPort = status.httpPort() != 0 || status.httpsPort() != 0;
    const OfferedCommands service =
        OfferCommands(m_command.Pending(), m_reading.valid, m_stop.Reason());
    return {m_menu.Extended(), true,         m_reading.valid && webPort,
            service.start,     service.stop, service.restart};
}
