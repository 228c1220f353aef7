// Why the service stopped, from either system's facts, and an outage walked through: the reason
// where the user looks, the remedy on the notice, and the notice when the service is back.
#include <wx/menu.h>

#include "support.h"
#include "tray/outage_reason.h"

namespace {

const wxString kReport = "Service not running|The Vantora 3 Service is not running anymore.";
const wxString kKilled = "The service was killed by the signal SIGSEGV.";

using Now = ServiceFacts::Now;
using How = ServiceEnd::How;

}  // namespace

TEST(OutageReason, FromTheManagersFacts) {
    struct Case {
        ServiceFacts facts;
        const char* text;
        const char* remedy;  // the notice's button
        bool runs;           // the menu offers Stop, not Start
    };
    const Case cases[] = {
        {{Now::NotInstalled}, "The service is not installed.", "", false},
        {{Now::Masked}, "The service is masked, so it cannot be started.", "", false},
        {{Now::Disabled}, "The service is disabled, so it cannot be started.", "", false},
        {ServiceFacts{Now::NotLoadable, {}, "bad-setting"},
         "The service failed with the result \"bad-setting\".", "Start service", false},
        {{Now::Stopped}, "The service is stopped.", "Start service", false},
        {ServiceFacts{Now::Stopped, {How::ExitCode, 3}}, "The service exited with code 3.",
         "Start service", false},
        {ServiceFacts{Now::Stopped, {How::Signal, 0, "SIGSEGV"}}, kKilled, "Start service", false},
        {ServiceFacts{Now::Stopped, {How::Aborted}}, "The service ended unexpectedly.",
         "Start service", false},
        {ServiceFacts{Now::Stopped, {How::OtherFailure, 0, "watchdog"}},
         "The service failed with the result \"watchdog\".", "Start service", false},
        // The manager at it already, whatever ended the last run.
        {ServiceFacts{Now::Restarting, {How::Signal, 0, "SIGKILL"}},
         "The service manager is restarting the service.", "", false},
        {{Now::Starting}, "The service is starting.", "", true},
        {{Now::Stopping}, "The service is stopping.", "", true},
        {{Now::Running}, "The service is running but does not answer.", "Restart service", true},
    };
    for (const Case& c : cases) {
        const std::optional<OutageReason> reason = DecideReason(c.facts);
        ASSERT_TRUE(reason) << c.text;
        EXPECT_EQ(ReasonText(*reason), c.text);
        const std::optional<ServiceCommand> remedy = Remedy(*reason);
        EXPECT_EQ(remedy ? wxStripMenuCodes(ServiceCommandLabel(*remedy)) : "", c.remedy) << c.text;
        const OfferedCommands offered = OfferCommands(false, false, reason);
        EXPECT_TRUE(offered.start != c.runs && offered.stop == c.runs && offered.restart) << c.text;
    }
    // A manager that would not let us look says nothing; then both Start and Stop are offered.
    const OfferedCommands unknown = OfferCommands(false, false, std::nullopt);
    EXPECT_TRUE(unknown.start && unknown.stop && unknown.restart);
}

TEST(Outage, FromTheNoticeToTheServiceBack) {
    FakeDesktop desktop;
    RecordingSentak tray{desktop};
    TestService service;
    tray.Ticks(3);
    EXPECT_EQ(tray.Manager().questions, 0) << "asked while the service answers";

    service.Stop();
    tray.Manager().facts = ServiceFacts{Now::Stopped, {How::Signal, 0, "SIGSEGV"}};
    tray.Ticks(10);
    EXPECT_EQ(tray.Manager().questions, 10);
    EXPECT_EQ(desktop.notifications,
              std::vector<wxString>{kReport + "\n\n" + kKilled + "|Start service"});
    EXPECT_EQ(tray.tooltips.back(), "Vantora 3 Service not running anymore\n" + kKilled);
    desktop.shift = true;
    std::unique_ptr<wxMenu> menu(tray.CreatePopupMenu());
    const wxMenuItem* reason = menu->FindItemByPosition(2);
    EXPECT_EQ(reason->GetItemLabelText(), kKilled);
    EXPECT_FALSE(reason->IsEnabled());
    EXPECT_TRUE(menu->IsEnabled(ID_START_SERVICE) && !menu->IsEnabled(ID_STOP_SERVICE));

    // The manager at work since: the display follows, the notice stays the one.
    tray.Manager().facts = ServiceFacts{Now::Restarting, {How::Signal, 0, "SIGSEGV"}};
    tray.Ticks();
    EXPECT_EQ(tray.tooltips.back(),
              "Vantora 3 Service not running anymore\n"
              "The service manager is restarting the service.");
    EXPECT_EQ(desktop.notifications.size(), 1u);

    // A click on a notice without buttons: the extended menu, once the event has returned.
    desktop.shift = false;
    desktop.clicked();
    EXPECT_TRUE(tray.popups.empty());
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(tray.popups, std::vector<bool>{true});

    // The notice's button does what the menu's Start does; the service back closes the notice.
    desktop.chosen();
    ASSERT_EQ(tray.Control().commands, std::vector<ServiceCommand>{ServiceCommand::Start});
    service.Start({});
    tray.Control().End();
    EXPECT_EQ(desktop.notifications,
              (std::vector<wxString>{
                  desktop.notifications[0], "closed",
                  "brief|Service running again|The Vantora 3 Service is running again."}));

    // A stop the user asked for: no notice, and none when it is back.
    tray.Choose(ID_STOP_SERVICE);
    service.Stop();
    tray.Control().End();
    tray.Ticks(12);
    service.Start({});
    tray.Ticks();
    EXPECT_EQ(desktop.notifications.size(), 3u);
}
