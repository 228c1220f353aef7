// Why the service stopped, from either system's facts, and the outage's rules driven with given
// times: when a stop is reported, the reason where the user looks, the remedy on the notice, the
// notice when the service is back, and the menu's facts.
#include "platform/platform.h"
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

// The rules as the tray drives them: a tick every 2 s from a fixed time, the service up or not.
class Rules : public testing::Test {
protected:
    const OutageRules::Time start = OutageRules::Time(1700000000s);
    OutageRules::Time now = start;
    std::int32_t failures = 0;
    OutageRules rules{false, start};

    OutageRules::Reading Reading(bool up) {
        failures = up ? 0 : failures + 1;
        OutageRules::Reading reading{up, {}, failures, up ? server : std::nullopt};
        if (up) reading.status = MakeRecord(u"3.4", 8080, 0, 0, 0, 0);
        return reading;
    }
    // What the ticks told the user: each display and notice in a line; a display whose tooltip
    // was shown already is no news.
    std::vector<wxString> Ticks(int count, bool up) {
        std::vector<wxString> told;
        while (count-- > 0) {
            now += 2s;
            // The manager answers at once, after the tick's own answer is carried out.
            const Answer answer = rules.Polled(Reading(up), now);
            Said(answer, told);
            if (answer.askWhy) ++questions, Said(rules.ManagerSaid(facts), told);
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

    std::optional<ServiceFacts> facts;  // what the manager says when asked
    int questions = 0;
    wxString shown;                       // the tooltip last shown
    std::optional<std::uint32_t> server;  // the pipe's server while the service answers
};

const wxString kRunning = "Vantora 3 Service running";
const wxString kStopped = "Vantora 3 Service not running anymore";
const wxString kReport = "Service not running|The Vantora 3 Service is not running anymore.";
const wxString kBack = "Service running again|The Vantora 3 Service is running again after ";

}  // namespace

TEST_F(Rules, StopReportedOnceAfterTenFailuresInARowOfAServiceSeenRunning) {
    EXPECT_TRUE(Ticks(25, false).empty()) << "a service never seen running is not reported";
    EXPECT_EQ(Ticks(1, true), std::vector<wxString>{kRunning});
    // One answer between failures starts the count again.
    Ticks(9, false);
    Ticks(1, true);
    EXPECT_TRUE(Ticks(9, false).empty());
    EXPECT_EQ(Ticks(1, false), (std::vector<wxString>{kStopped, kReport}));
    EXPECT_TRUE(Ticks(15, false).empty());
    EXPECT_EQ(Ticks(1, true), (std::vector<wxString>{kRunning, "closed", kBack + "50 s."}));
    // Menu openings advance the count too: the first tick that finds 10 or more reports.
    Ticks(4, false);
    failures += 6;
    EXPECT_EQ(Ticks(1, false), (std::vector<wxString>{kStopped, kReport}));
}

// A stop the user asked for shows at its first failed tick and is not notified, however long it
// lasts, nor its end; the next stop nobody asked for is, as always, and so is one whose Stop
// failed.
TEST_F(Rules, AnAskedForStopShowsAtOnceWithoutANotification) {
    Ticks(1, true);
    ASSERT_TRUE(rules.CommandStarted(ServiceCommand::Stop));
    EXPECT_FALSE(rules.CommandStarted(ServiceCommand::Start)) << "two commands at once";
    EXPECT_TRUE(Ticks(1, true).empty()) << "the service still answers while it stops";
    EXPECT_EQ(Ticks(1, false), std::vector<wxString>{kStopped});
    rules.CommandEnded(ServiceOutcome::Result::Done);
    EXPECT_TRUE(Ticks(12, false).empty());

    rules.CommandStarted(ServiceCommand::Start);
    rules.CommandEnded(ServiceOutcome::Result::Done);
    EXPECT_EQ(Ticks(1, true), std::vector<wxString>{kRunning});
    EXPECT_TRUE(Ticks(9, false).empty());
    EXPECT_EQ(Ticks(1, false), (std::vector<wxString>{kStopped, kReport}));

    Ticks(1, true);
    rules.CommandStarted(ServiceCommand::Stop);
    rules.CommandEnded(ServiceOutcome::Result::Failed);
    EXPECT_TRUE(Ticks(9, false).empty());
    EXPECT_EQ(Ticks(1, false), (std::vector<wxString>{kStopped, kReport}));
}

// The manager is asked once at a time while the service does not answer; its reason reaches the
// notice with its remedy, the tooltip and the menu, and the display follows it.
TEST_F(Rules, TheManagersReasonWhereTheUserLooks) {
    Ticks(3, true);
    EXPECT_EQ(questions, 0) << "asked while the service answers";
    EXPECT_TRUE(rules.Polled(Reading(false), now).askWhy);
    EXPECT_FALSE(rules.Polled(Reading(false), now).askWhy) << "asked again before the answer";
    rules.ManagerSaid(std::nullopt);
    facts = ServiceFacts{Now::Stopped, {How::Signal, 0, "SIGSEGV"}};
    EXPECT_EQ(Ticks(8, false), (std::vector<wxString>{kStopped + "\n" + kKilled,
                                                      kReport + "\n\n" + kKilled + "|Start"}));
    EXPECT_EQ(questions, 8);
    rules.MenuOpened(Reading(false), true, now);
    const std::vector<wxString> entries = Entries();
    EXPECT_EQ(std::vector<wxString>(entries.begin() + 1, entries.begin() + 3),
              (std::vector<wxString>{"Vantora 3 Service NOT RUNNING", kKilled}));
    const OutageRules::Offers offers = rules.Offered();
    EXPECT_TRUE(offers.start && !offers.stop && offers.restart && !offers.webSettings);

    facts = ServiceFacts{Now::Restarting, {How::Signal, 0, "SIGSEGV"}};
    EXPECT_EQ(Ticks(1, false),
              std::vector<wxString>{kStopped + "\nThe service manager is restarting the service."});
    EXPECT_EQ(Ticks(1, true), (std::vector<wxString>{kRunning, "closed", kBack + "20 s."}));
    // Too late: the service answers again.
    EXPECT_FALSE(rules.ManagerSaid(facts).menuChanged);
}

// A new process nobody of ours asked for is told once a poll, whichever source tells it, with
// how the last one ended; a crash loop keeps one notice, and the menu and tooltip count.
TEST_F(Rules, RestartsNobodyAskedFor) {
    const auto started = [&](std::uint32_t pid) {
        rules.ManagerTold({ServiceChange::Kind::Started, {}, pid, 1000 + pid}, now);
    };
    server = 100;
    started(7);  // where the rules start from
    Ticks(1, true);
    rules.ManagerTold({ServiceChange::Kind::Ended, {How::Signal, 0, "SIGSEGV"}, 0, std::nullopt},
                      now);
    started(8);
    server = 101;
    const wxString first = LocalTimeText(std::chrono::system_clock::to_time_t(now + 2s));
    const wxString body = "Service restarted|The Vantora 3 Service stopped and was started again.";
    EXPECT_EQ(Ticks(2, true),
              (std::vector<wxString>{kRunning + "\nRestarted 1 time since " + first,
                                     "restart|" + body + "\n\n" + kKilled +
                                         "\n\nIt has restarted 1 time since " + first + "."}));
    // A short outage with a new process, within 10 minutes: the notice is updated.
    now += 9min;
    Ticks(3, false);
    server = 102;
    const wxString twice = " 2 times since " + first;
    EXPECT_EQ(Ticks(1, true), (std::vector<wxString>{
                                  kRunning + "\nRestarted" + twice,
                                  "restart again|" + body + "\n\nIt has restarted" + twice + "."}));
    EXPECT_EQ(Entries()[1], "Running since " + LocalTimeText(1008)) << "as the manager told";
    EXPECT_EQ(Entries()[2], "Restarted" + twice);
    now += 10min;
    started(9);
    EXPECT_EQ(Ticks(1, true).at(1).BeforeFirst('|'), "restart") << "fresh after 10 minutes";
    // Ours, told by either source, even late.
    rules.CommandStarted(ServiceCommand::Restart);
    server = 103;
    Ticks(1, true);
    rules.CommandEnded(ServiceOutcome::Result::Done);
    Ticks(2, true);
    started(10);
    EXPECT_EQ(Ticks(5, true).size(), 0u);
}

TEST(OutageTexts, Durations) {
    EXPECT_EQ(DurationText(45s), "45 s");
    EXPECT_EQ(DurationText(4min + 59s), "4 min");
    EXPECT_EQ(DurationText(2h + 5min + 59s), "2 h 5 min");
    EXPECT_EQ(DurationText(1h), "1 h");
}

// Failures from a sleep's announcement to 60 s after the resume do not count, nor is a new
// process news then; after the end of the session is announced, a stop is not notified.
TEST_F(Rules, NoAlarmAcrossSleepAndShutdown) {
    server = 1;
    Ticks(1, true);
    rules.SleepBegins(now);
    EXPECT_TRUE(Ticks(12, false).empty());
    now += 1h;
    rules.Resumed(now);
    EXPECT_TRUE(Ticks(29 + 9, false).empty()) << "29 within 60 s of the resume, 9 after";
    EXPECT_EQ(Ticks(1, false), (std::vector<wxString>{kStopped, kReport}));
    Ticks(1, true);
    rules.SleepBegins(now);
    rules.Resumed(now);
    server = 2;
    EXPECT_TRUE(Ticks(30, true).empty()) << "a new process within 60 s of the resume";
    rules.SleepBegins(now);
    now += 1h;  // and no resume told: a minute of ticks ends the sleep's grace
    EXPECT_TRUE(Ticks(30 + 9, false).empty());
    EXPECT_EQ(Ticks(1, false), (std::vector<wxString>{kStopped, kReport}));
    Ticks(1, true);

    rules.SessionEnding(true, now);
    EXPECT_EQ(Ticks(10, false), std::vector<wxString>{kStopped});
    rules.SessionEnding(false, now);
    EXPECT_EQ(Ticks(1, true), std::vector<wxString>{kRunning});
    EXPECT_EQ(Ticks(10, false), (std::vector<wxString>{kStopped, kReport}));
}

// The extended menu's time: the service's own while it answers; while it does not, the time of
// the opening, or when the outage began between openings, kept until the next opening.
TEST_F(Rules, TheMenusTimeWhileTheServiceIsDown) {
    const auto seconds = [](OutageRules::Time time) {
        return LastUpdatedText(std::chrono::system_clock::to_time_t(time));
    };
    rules.MenuOpened(Reading(true), true, now);
    EXPECT_EQ(Entries()[0], LastUpdatedText(0));
    EXPECT_TRUE(rules.Refreshed(Reading(false), now + 5s).menuChanged);
    EXPECT_EQ(Entries()[0], seconds(now + 5s));
    EXPECT_FALSE(rules.Refreshed(Reading(false), now + 60s).menuChanged);
    EXPECT_EQ(Entries()[0], seconds(now + 5s));
    rules.MenuOpened(Reading(false), true, now + 90s);
    EXPECT_EQ(Entries()[0], seconds(now + 90s));
    rules.MenuOpened(Reading(false), false, now + 95s);
    EXPECT_EQ(Entries()[0], "Vantora 3 Service NOT RUNNING") << "the ordinary form has no time";
}

// However often Sentak is started again, the user is told at most once in 10 s.
TEST_F(Rules, StartedAgainToldAtMostOnceIn10Seconds) {
    std::vector<long> told;
    for (int i = 0; i < 300; ++i)
        if (rules.StartedAgain(start + i * 100ms)) told.push_back(long(i / 10));
    EXPECT_EQ(told, (std::vector<long>{0, 10, 20}));
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
        tray.Manager().tell({ServiceChange::Kind::Started, {}, pid, std::nullopt});
        tray.Ticks();
    }
    EXPECT_EQ(desktop.notifications.at(0).BeforeFirst('\n'),
              "restart|Service restarted|The Vantora 3 Service stopped and was started again.");
}
