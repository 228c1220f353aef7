// Why the service stopped, from either system's facts, and the outage's rules driven with given
// times: when a stop is reported, the reason where the user looks, the remedy on the notice, the
// notice when the service is back, and the menu's facts.
#include "support.h"
#include "tray/menu_text.h"
#include "tray/outage_rules.h"

namespace {

using namespace std::chrono_literals;
using Answer = OutageRules::Answer;

const wxString kKilled = "The service was killed by the signal SIGSEGV.";

using Now = ServiceFacts::Now;
using How = ServiceEnd::How;

}  // namespace

TEST(OutageReason, FromTheManagersFacts) {
    struct Case {
        ServiceFacts facts;
        const char* text;
        std::optional<ServiceCommand> remedy;  // the notice's button
        bool runs;                             // the menu offers Stop, not Start
    };
    const Case cases[] = {
        {{Now::NotInstalled}, "The service is not installed.", {}, false},
        {{Now::Masked}, "The service is masked, so it cannot be started.", {}, false},
        {{Now::Disabled}, "The service is disabled, so it cannot be started.", {}, false},
        {ServiceFacts{Now::NotLoadable, {}, "bad-setting"},
         "The service failed with the result \"bad-setting\".", ServiceCommand::Start, false},
        {{Now::Stopped}, "The service is stopped.", ServiceCommand::Start, false},
        {ServiceFacts{Now::Stopped, {How::ExitCode, 3}}, "The service exited with code 3.",
         ServiceCommand::Start, false},
        {ServiceFacts{Now::Stopped, {How::Signal, 0, "SIGSEGV"}}, kKilled, ServiceCommand::Start,
         false},
        {ServiceFacts{Now::Stopped, {How::Aborted}}, "The service ended unexpectedly.",
         ServiceCommand::Start, false},
        {ServiceFacts{Now::Stopped, {How::OtherFailure, 0, "watchdog"}},
         "The service failed with the result \"watchdog\".", ServiceCommand::Start, false},
        // The manager at it already, whatever ended the last run.
        {ServiceFacts{Now::Restarting, {How::Signal, 0, "SIGKILL"}},
         "The service manager is restarting the service.",
         {},
         false},
        {{Now::Starting}, "The service is starting.", {}, true},
        {{Now::Stopping}, "The service is stopping.", {}, true},
        {{Now::Running},
         "The service is running but does not answer.",
         ServiceCommand::Restart,
         true},
    };
    for (const Case& c : cases) {
        const std::optional<OutageReason> reason = DecideReason(c.facts);
        ASSERT_TRUE(reason) << c.text;
        EXPECT_EQ(ReasonText(*reason), c.text);
        EXPECT_EQ(Remedy(*reason), c.remedy) << c.text;
        const OfferedCommands offered = OfferCommands(false, false, reason);
        EXPECT_TRUE(offered.start != c.runs && offered.stop == c.runs && offered.restart) << c.text;
    }
    // A manager that would not let us look says nothing; then both Start and Stop are offered.
    const OfferedCommands unknown = OfferCommands(false, false, std::nullopt);
    EXPECT_TRUE(unknown.start && unknown.stop && unknown.restart);
}

namespace {

using Told = std::vector<std::string>;

// A stop report polled every 2 s: what each poll called for, in words.
class Stops : public testing::Test {
protected:
    Told Polls(int count, bool up, StopReport::Quiet quiet = {}) {
        Told told;
        while (count-- > 0) {
            at += 2s;
            report.Refreshed(up, at);
            const StopReport::Told poll = report.Polled(up, at, quiet, false);
            if (poll.displayChanged) told.push_back(up ? "running" : "stopped");
            if (poll.stopNotice) told.push_back("notice");
            if (poll.backAfter)
                told.push_back("back after " +
                               std::to_string(poll.backAfter->count() / 1000000000));
        }
        return told;
    }
    StopReport report;
    StopReport::Time at{0};
};

}  // namespace

TEST_F(Stops, ShownAndToldOnceAfterTenFailuresInARowOfAServiceSeenRunning) {
    EXPECT_TRUE(Polls(25, false).empty()) << "a service never seen running is not reported";
    EXPECT_EQ(Polls(1, true), Told{"running"});
    Polls(9, false);
    Polls(1, true);
    EXPECT_TRUE(Polls(9, false).empty()) << "one answer between failures starts the count again";
    EXPECT_EQ(Polls(1, false), (Told{"stopped", "notice"}));
    // The told stop needs the user's attention until the menu opens; the notice stays told.
    EXPECT_TRUE(report.NeedsAttention() && report.MenuOpened() && !report.NeedsAttention());
    EXPECT_FALSE(report.MenuOpened());
    EXPECT_TRUE(Polls(15, false).empty());
    EXPECT_EQ(Polls(1, true), (Told{"running", "back after 50"}));
    // Menu openings advance the count too: the first poll that finds 10 or more reports.
    Polls(4, false);
    for (int i = 0; i < 6; ++i) report.Refreshed(false, at);
    EXPECT_EQ(Polls(1, false), (Told{"stopped", "notice"}));
    Polls(1, true);
    EXPECT_FALSE(report.NeedsAttention()) << "the service back";
}

// What a grace or a silence holds back is the notice, never the display; the notice comes once
// the outage outlasts the grace by the usual count, or at once when the silence ends. A stop the
// user asked for shows at its first failure and is not told, nor is its end.
TEST_F(Stops, GraceAndSilenceHoldTheNoticeNotTheDisplay) {
    Polls(1, true);
    EXPECT_EQ(Polls(10, false, {true, false}), Told{"stopped"});
    EXPECT_TRUE(Polls(20, false, {true, false}).empty());
    EXPECT_TRUE(Polls(9, false).empty()) << "failures within the grace counted";
    EXPECT_EQ(Polls(1, false), Told{"notice"});
    Polls(1, true);
    EXPECT_EQ(Polls(10, false, {false, true}), Told{"stopped"});
    EXPECT_TRUE(Polls(30, false, {false, true}).empty());
    EXPECT_EQ(Polls(1, false), Told{"notice"}) << "not told when the shutdown was cancelled";

    Polls(1, true);
    report.StopAsked(true);
    EXPECT_EQ(Polls(1, false), Told{"stopped"});
    EXPECT_TRUE(Polls(12, false).empty());
    EXPECT_EQ(Polls(1, true), Told{"running"});
}

// One restart per new process, whichever source tells of it first and however late; where the
// manager counts its own restarts, as many as it counted.
TEST(Restarts, EachNewProcessCountedOnce) {
    Restarts restarts;
    const auto started = [&](std::uint32_t pid, std::optional<std::uint32_t> made = {}) {
        restarts.ManagerTold({ServiceChange::Kind::Started, {}, pid, std::nullopt, made}, 0);
    };
    const auto poll = [&](std::uint32_t server) { return restarts.Polled(server, true, 0).added; };
    started(7, 0);  // where the counting starts from
    EXPECT_EQ(poll(7), 0);
    EXPECT_EQ(poll(8), 1);
    started(8, 1);
    EXPECT_EQ(poll(8), 0) << "the pipe's new server, then the manager's word on it";
    started(9, 2);
    EXPECT_EQ(poll(9), 1) << "the manager's word, then the pipe's";
    started(10, 3);
    started(11, 4);
    started(12, 5);
    EXPECT_EQ(poll(12), 3) << "three between two polls";
    started(13, 8);
    EXPECT_EQ(poll(13), 3) << "the manager restarted it three times, and told one process";
    EXPECT_EQ(poll(14), 1);
    EXPECT_EQ(poll(15), 1);
    started(15, 10);
    EXPECT_EQ(poll(15), 0) << "two the pipe saw while the manager's word was away";
    started(16, 0);
    EXPECT_EQ(restarts.Polled(16, false, 0).added, 0) << "ours: where counting goes on from";
    EXPECT_EQ(poll(17), 1);
    started(17, 0);
    EXPECT_EQ(poll(17), 0) << "one by hand, which the manager's count starts again at";
    EXPECT_EQ(restarts.Count(), 11);

    // A main process that starts another to serve the pipe: its restarts are the manager's.
    Restarts wrapped;
    for (std::uint32_t main = 7; main < 10; ++main) {
        wrapped.ManagerTold({ServiceChange::Kind::Started, {}, main, std::nullopt, {}}, 0);
        for (int i = 0; i < 6; ++i) wrapped.Polled(main * 10, main > 7, 0);
    }
    EXPECT_EQ(wrapped.Count(), 2);
}

// When the service runs since: the manager's word where it tells, else when Sentak saw the
// process first, which a restart renews.
TEST(Restarts, RunningSince) {
    Restarts managed, plain;
    managed.ManagerTold({ServiceChange::Kind::Started, {}, 7, 500, {}}, 900);
    managed.Polled(7, true, 1000);
    plain.Polled(7, true, 1000);
    plain.Polled(8, true, 2000);
    plain.Polled(8, true, 3000);
    EXPECT_EQ(managed.RunningSince(), 500);
    EXPECT_EQ(plain.RunningSince(), 2000);
}

// Within a crash loop the first three restarts pop up, the rest only count; a restart ten minutes
// after the last starts afresh.
TEST(CrashLoop, AtMostThreeNoticesWhileItLoops) {
    CrashLoop loop;
    std::string pops;
    auto at = 0s;
    for (int i = 0; i < 30; ++i, at += 2s) pops += "FAQ"[int(loop.Restarted(at))];
    EXPECT_EQ(pops, "FAA" + std::string(27, 'Q'));
    EXPECT_EQ(loop.Restarted(at + 9min), CrashLoop::Pop::Quiet);
    EXPECT_EQ(loop.Restarted(at + 19min), CrashLoop::Pop::Fresh);
}

namespace {

// The clocks as a test moves them: time passing; a sleep, through which the awake clock stands;
// the wall clock stepped alone.
struct Clocks {
    Moment now{1000s, 1000s, std::chrono::system_clock::time_point(1700000000s)};
    void Pass(std::chrono::seconds span) {
        now.sinceBoot += span, now.awake += span, now.wall += span;
    }
    void Sleep(std::chrono::seconds span) { now.sinceBoot += span, now.wall += span; }
};

}  // namespace

// A minute's grace after every wake, told or seen in the clocks; announcements that never come
// true lapse: a sleep after a minute, a shutdown after two.
TEST(SleepAndShutdown, GracesAndLapses) {
    Clocks clocks;
    SleepAndShutdown quiet(clocks.now);
    const auto graceFor = [&](std::chrono::seconds span) {
        auto start = clocks.now.sinceBoot;
        while (quiet.InGrace(clocks.now.sinceBoot)) clocks.Pass(2s), quiet.Observe(clocks.now);
        return std::chrono::duration_cast<std::chrono::seconds>(clocks.now.sinceBoot - start) ==
               span;
    };
    quiet.SleepBegins(clocks.now);
    clocks.Sleep(1h);
    quiet.Resumed(clocks.now);
    EXPECT_TRUE(graceFor(60s));
    clocks.Sleep(1h);  // nobody told
    quiet.Observe(clocks.now);
    EXPECT_TRUE(graceFor(60s));
    quiet.SleepBegins(clocks.now);  // and no sleep came
    EXPECT_TRUE(graceFor(60s));

    quiet.SessionEnding(true, clocks.now);
    quiet.SessionEnding(false, clocks.now);
    EXPECT_FALSE(quiet.Silenced()) << "cancelled";
    quiet.SessionEnding(true, clocks.now);
    clocks.Pass(118s);
    quiet.Observe(clocks.now);
    EXPECT_TRUE(quiet.Silenced());
    clocks.Pass(2s);
    quiet.Observe(clocks.now);
    EXPECT_FALSE(quiet.Silenced());
    EXPECT_FALSE(quiet.InGrace(clocks.now.sinceBoot));
}

namespace {

// The rules as the tray drives them: a tick every 2 s, the service up or not, the manager
// answering at once.
class Rules : public testing::Test {
protected:
    Clocks clocks;
    OutageRules rules{false, clocks.now};

    OutageRules::Reading Reading(bool up) {
        OutageRules::Reading reading{up, {}, up ? server : std::nullopt};
        if (up) reading.status = MakeRecord(u"3.4", 8080, 0, 0, 0, 0);
        return reading;
    }
    // What the ticks told the user: each display and notice in a line; a display whose tooltip
    // was shown already is no news.
    std::vector<wxString> Ticks(int count, bool up) {
        std::vector<wxString> told;
        while (count-- > 0) {
            clocks.Pass(2s);
            const Answer answer = rules.Polled(Reading(up), clocks.now);
            Said(answer, told);
            if (!answer.askWhy) continue;
            const Answer said = rules.ManagerSaid(facts);
            Said(said, told);
            if (said.readLog) logReads.push_back(said.readLog->runId);
            if (said.readLog) Said(rules.LogSaid(log), told);
        }
        return told;
    }
    void Said(const Answer& answer, std::vector<wxString>& told) {
        if (answer.display && std::exchange(shown, answer.display->tooltip) != shown)
            told.push_back(shown);
        if (answer.closeNotice) told.push_back("closed");
        if (const auto& notice = answer.notice) {
            wxString text = notice->title + "|" + notice->message;
            if (notice->kind == OutageRules::Notice::Kind::Restart)
                text.Prepend(notice->replacesLast ? "restart again|" : "restart|");
            if (notice->remedy)
                text << "|" << (*notice->remedy == ServiceCommand::Start ? "Start" : "Restart");
            told.push_back(text);
        }
    }
    std::vector<wxString> Entries() {
        std::vector<wxString> entries;
        for (const MenuEntry& entry : rules.Facts().entries) entries.push_back(entry.label);
        return entries;
    }

    std::optional<ServiceFacts> facts;    // what the manager says when asked
    LastWords log;                        // what the service's log says when read
    std::vector<wxString> logReads;       // the runs whose log was read
    wxString shown;                       // the tooltip last shown
    std::optional<std::uint32_t> server;  // the pipe's server while the service answers
};

const wxString kRunning = "Vantora 3 Service running";
const wxString kStopped = "Vantora 3 Service not running anymore";
const wxString kReport = "Service not running|The Vantora 3 Service is not running anymore.";
const wxString kBack = "Service running again|The Vantora 3 Service is running again after ";

}  // namespace

// The manager's reason reaches the notice with its remedy, the tooltip and the menu, and the
// display follows it; a stop our command asked for shows at once without a notice.
TEST_F(Rules, TheManagersReasonWhereTheUserLooks) {
    Ticks(3, true);
    facts = ServiceFacts{Now::Stopped, {How::Signal, 0, "SIGSEGV"}};
    EXPECT_EQ(Ticks(10, false), (std::vector<wxString>{kStopped + "\n" + kKilled,
                                                       kReport + "\n\n" + kKilled + "|Start"}));
    rules.MenuOpened(Reading(false), true, clocks.now);
    const std::vector<wxString> entries = Entries();
    EXPECT_EQ(std::vector<wxString>(entries.begin() + 1, entries.begin() + 3),
              (std::vector<wxString>{"Vantora 3 Service NOT RUNNING", kKilled}));
    const OutageRules::Offers offers = rules.Offered();
    EXPECT_TRUE(offers.start && !offers.stop && offers.restart && !offers.webSettings);
    facts = ServiceFacts{Now::Restarting, {How::Signal, 0, "SIGSEGV"}};
    EXPECT_EQ(Ticks(1, false),
              std::vector<wxString>{kStopped + "\nThe service manager is restarting the service."});
    EXPECT_EQ(Ticks(1, true), (std::vector<wxString>{kRunning, "closed", kBack + "22 s."}));
    EXPECT_FALSE(rules.ManagerSaid(facts).menuChanged) << "too late: the service answers again";

    facts = ServiceFacts{Now::Stopped};
    ASSERT_TRUE(rules.CommandStarted(ServiceCommand::Stop));
    EXPECT_FALSE(rules.CommandStarted(ServiceCommand::Start)) << "two commands at once";
    EXPECT_TRUE(Ticks(1, true).empty()) << "the service still answers while it stops";
    EXPECT_EQ(Ticks(1, false),
              (std::vector<wxString>{kStopped, kStopped + "\nThe service is stopped."}));
    rules.CommandEnded(ServiceOutcome::Result::Done);
    EXPECT_TRUE(Ticks(12, false).empty());
}

// A restart nobody of ours asked for is told with how the last process ended and counted in the
// menu and tooltip; ours is not, even when the manager tells of it late.
TEST_F(Rules, RestartsNobodyAskedFor) {
    const auto started = [&](std::uint32_t pid) {
        rules.ManagerTold({ServiceChange::Kind::Started, {}, pid, 1000 + pid, {}}, clocks.now);
    };
    server = 100;
    Ticks(1, true);
    rules.ManagerTold({ServiceChange::Kind::Ended, {How::Signal, 0, "SIGSEGV"}, 0, {}, {}},
                      clocks.now);
    started(101);
    server = 101;
    const wxString first =
        LocalTimeText(std::chrono::system_clock::to_time_t(clocks.now.wall + 2s));
    EXPECT_EQ(
        Ticks(2, true),
        (std::vector<wxString>{kRunning + "\nRestarted 1 time since " + first,
                               "restart|Service restarted|The Vantora 3 Service stopped and "
                               "was started again.\n\n" +
                                   kKilled + "\n\nIt has restarted 1 time since " + first + "."}));
    EXPECT_EQ(Entries()[1], "Running since " + LocalTimeText(1101)) << "as the manager told";
    EXPECT_EQ(Entries()[2], "Restarted 1 time since " + first);
    rules.CommandStarted(ServiceCommand::Restart);
    server = 102;
    Ticks(1, true);
    rules.CommandEnded(ServiceOutcome::Result::Done);
    Ticks(2, true);
    started(102);
    started(103);
    EXPECT_TRUE(Ticks(5, true).empty());
}

// Intervals are measured on clocks nobody sets: the wall clock stepped back or forward during an
// outage, a grace or a crash loop changes none of them.
TEST_F(Rules, AStepOfTheWallClockChangesNoInterval) {
    Ticks(1, true);
    Ticks(5, false);
    clocks.now.wall -= 2h;
    Ticks(5, false);
    clocks.now.wall += 5h;
    Ticks(5, false);
    EXPECT_EQ(Ticks(1, true).at(2), kBack + "30 s.");

    rules.SleepBegins(clocks.now);
    clocks.Sleep(1h);
    rules.Resumed(clocks.now);
    clocks.now.wall -= 1h;
    EXPECT_EQ(Ticks(10, false), std::vector<wxString>{kStopped}) << "the display tells at once";
    clocks.now.wall += 3h;
    EXPECT_TRUE(Ticks(28, false).empty()) << "the grace, and nine failures after it";
    EXPECT_EQ(Ticks(1, false), std::vector<wxString>{kReport});
}

// However often Sentak is started again, the user is told at most once in 10 s, where the icon
// is or that no tray shows it.
TEST_F(Rules, StartedAgainToldAtMostOnceIn10Seconds) {
    std::vector<long> told;
    for (int i = 0; i < 300; ++i, clocks.Pass(0s), clocks.now.sinceBoot += 100ms)
        if (rules.StartedAgain(clocks.now, wxString("in the tray"))) told.push_back(long(i / 10));
    EXPECT_EQ(told, (std::vector<long>{0, 10, 20}));
    clocks.Pass(10s);
    EXPECT_EQ(rules.StartedAgain(clocks.now, std::nullopt)->message.BeforeFirst(':'),
              "No system tray shows its icon on this desktop");
}

// The extended menu's time: the service's own while it answers; while it does not, the time of
// the opening, or when the outage began between openings, kept until the next opening.
TEST_F(Rules, TheMenusTimeWhileTheServiceIsDown) {
    const auto shows = [&](std::chrono::seconds after) {
        return LastUpdatedText(std::chrono::system_clock::to_time_t(clocks.now.wall) +
                               after.count());
    };
    rules.MenuOpened(Reading(true), true, clocks.now);
    EXPECT_EQ(Entries()[0], LastUpdatedText(0));
    const wxString outage = shows(5s);
    clocks.Pass(5s);
    EXPECT_TRUE(rules.Refreshed(Reading(false), clocks.now).menuChanged);
    clocks.Pass(55s);
    EXPECT_FALSE(rules.Refreshed(Reading(false), clocks.now).menuChanged);
    EXPECT_EQ(Entries()[0], outage);
    clocks.Pass(30s);
    rules.MenuOpened(Reading(false), true, clocks.now);
    EXPECT_EQ(Entries()[0], shows(0s));
    rules.MenuOpened(Reading(false), false, clocks.now);
    EXPECT_EQ(Entries()[0], "Vantora 3 Service NOT RUNNING") << "the ordinary form has no time";
}

// The service's own last words: read once an outage, never while it answers nor for a stop the
// user asked for; quoted on one line in the notice, the tooltip and the menu. The manager's word
// from the service while the log has none; what opens a closed log, in the menu only.
TEST_F(Rules, TheServicesOwnWords) {
    facts = ServiceFacts{Now::Stopped, {How::Signal, 0, "SIGSEGV"}};
    facts->runId = "run1";
    log = {LastWords::Found::Line, "fatal:\t<b>disk</b> & " + wxString('x', 200) + "\nmore"};
    Ticks(1, true);
    const wxString cut = wxString('x', 98) + wxString::FromUTF8("\u2026\"");
    const wxString quote = "\"fatal: <b>disk</b> & " + cut;
    EXPECT_EQ(Ticks(10, false),
              (std::vector<wxString>{kStopped + "\n" + kKilled + "\n" + quote,
                                     "Service not running|The Vantora 3 Service is not running "
                                     "anymore.\n\n" +
                                         kKilled + "\n\n" + quote + "|Start"}));
    EXPECT_EQ(Entries().at(2), "\"fatal: <b>disk</b> && " + cut);
    Ticks(1, true);
    facts = ServiceFacts{Now::Stopped};
    rules.CommandStarted(ServiceCommand::Stop);
    Ticks(5, false);
    rules.CommandEnded(ServiceOutcome::Result::Done);
    Ticks(1, true);
    facts = ServiceFacts{Now::Stopped, {How::ExitCode, 3}};
    facts->runId = "run3", facts->statusText = "Cannot bind port 80";
    log = {LastWords::Found::Unreadable, "join the readers"};
    EXPECT_EQ(Ticks(10, false).at(0),
              kStopped + "\nThe service exited with code 3.\n\"Cannot bind port 80\"");
    EXPECT_EQ(Entries().at(3), "join the readers");
    EXPECT_EQ(logReads, (std::vector<wxString>{"run1", "run3"}));
}

// The report for a support request: the state as the extended menu shows it, the last ten changes
// of state with their times, and nothing of the user's own.
TEST_F(Rules, TheDiagnosticsReport) {
    facts = ServiceFacts{Now::Stopped, {How::Signal, 0, "SIGSEGV"}};
    for (int cycle = 0; cycle < 6; ++cycle) Ticks(1, true), Ticks(10, false);
    const std::int64_t start = std::chrono::system_clock::to_time_t(clocks.now.wall) - 22 * 6;
    wxString expected = "System: Testix 1\nTray: XEmbed\nService: quenthal.service\n\n" +
                        LastUpdatedText(start + 22 * 5 + 4) + "\nVantora 3 Service NOT RUNNING\n" +
                        kKilled +
                        "\n\nVersion: ???\nHTTP port: ???\nHTTPS port: ???\nRTSP port: ???\n"
                        "Remote connection port: ???\n\nChanges of state:\n";
    for (int cycle = 1; cycle < 6; ++cycle)
        expected << LocalTimeText(start + 22 * cycle + 2) << "  " << kRunning << "\n"
                 << LocalTimeText(start + 22 * cycle + 22) << "  " << kStopped << "\n";
    const wxString report = DiagnosticsReport({"Testix 1", "XEmbed", "quenthal.service"},
                                              rules.Facts(true), rules.History());
    EXPECT_TRUE(report.StartsWith("Sentak 0.")) << report;
    EXPECT_EQ(report.AfterFirst('\n'), expected);
    const wxString system = DefaultDesktop().SystemAndDesktop();
    for (const wxString& secret : {wxGetUserId(), wxGetHostName(), wxGetHomeDir()})
        EXPECT_FALSE(system.Contains(secret)) << system;
}

// The rules' answers reach the tray: a tick reaches the rules, menu openings count as failures,
// the stop notice's button runs the menu's command and its click opens the extended menu, and the
// service back closes it.
TEST(Outage, FromTheNoticeToTheServiceBack) {
    FakeDesktop desktop;
    RecordingSentak tray{desktop};
    TestService service;
    tray.Ticks();
    service.Stop();
    tray.Manager().facts = ServiceFacts{Now::Stopped, {How::Signal, 0, "SIGSEGV"}};
    tray.Ticks(5);
    for (int i = 0; i < 4; ++i) tray.OpenMenu();
    EXPECT_TRUE(desktop.notifications.empty());
    tray.Ticks();
    EXPECT_EQ(tray.Manager().questions, 6);
    EXPECT_EQ(desktop.notifications,
              std::vector<wxString>{kReport + "\n\n" + kKilled + "|Start service"});
    EXPECT_EQ(tray.displays.back().tooltip, kStopped + "\n" + kKilled);
    EXPECT_EQ(tray.displays.back().kind, TrayDisplay::Kind::Stopped);

    // A click on a notice without buttons: the extended menu, once the event has returned.
    desktop.clicked();
    EXPECT_TRUE(tray.popups.empty());
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(tray.popups, std::vector<bool>{true});

    desktop.chosen();
    ASSERT_EQ(tray.Control().commands, std::vector<ServiceCommand>{ServiceCommand::Start});
    service.Start({});
    tray.Control().End();
    EXPECT_EQ(desktop.notifications.size(), 3u);
    EXPECT_TRUE(desktop.notifications.at(1) == "closed" &&
                desktop.notifications.at(2).StartsWith("brief|" + kBack));
    EXPECT_EQ(tray.displays.back().tooltip, kRunning);
}

// What the manager tells unasked reaches the rules, and a restart its own notice.
TEST(Outage, TheManagersWordReachesTheRules) {
    FakeDesktop desktop;
    RecordingSentak tray{desktop};
    TestService service;
    for (std::uint32_t pid : {7, 8}) {
        tray.Manager().tell({ServiceChange::Kind::Started, {}, pid, std::nullopt, {}});
        tray.Ticks();
    }
    EXPECT_EQ(desktop.notifications.at(0).BeforeFirst('\n'),
              "restart|Service restarted|The Vantora 3 Service stopped and was started again.");
}
