// The menu in both forms, built from a real service, and its commands.
#include <ctime>

#include "support.h"
#include "tray/menu_text.h"

namespace {

#ifdef _WIN32
const wxString kManage = "&Manage Windows services #6001", kManager = "services.msc",
               kLogCommand = "eventvwr.msc";
#else
const wxString kManage = "&Manage services #6001", kManager = "systemctl status quenthal.service",
               kLogCommand = "journalctl --unit=quenthal.service --boot --pager-end";
#endif
const wxString kStart = "S&tart service #6002", kStop = "St&op service #6003",
               kRestart = "&Restart service #6004";

// Each entry as "label", with " #id" for commands and " (off)" when greyed; "--" a separator.
std::vector<wxString> Entries(const MenuModel& menu) {
    std::vector<wxString> entries;
    for (const MenuEntry& entry : menu.entries) {
        wxString text = entry.kind == MenuKind::Separator ? "--" : entry.label;
        if (entry.kind == MenuKind::Command) text << " #" << entry.id;
        entries.push_back(text + (entry.enabled ? "" : " (off)"));
    }
    return entries;
}

class Menu : public testing::Test {
protected:
    std::vector<wxString> Open() { return Entries(tray.OpenMenu()); }
    FakeDesktop desktop;
    RecordingSentak tray{desktop};
};

}  // namespace

TEST_F(Menu, OrdinaryFormWithTheServiceRunning) {
    TestService service(ServeOptions{MakeRecord(u"R&D 100%s\tAlt+X", 8080, 0, -5, 0, 0)});
    EXPECT_EQ(Open(), (std::vector<wxString>{
                          "Vantora 3 (off)", "--", "Version: R&&D 100%s Alt+X (off)",
                          "HTTP port: 8080 (off)", "HTTPS port: ??? (off)", "RTSP port: -5 (off)",
                          "Remote connection port: ??? (off)", "--", "Open web &settings #5999"}));
    // Only an HTTPS port, or none.
    service.Start(ServeOptions{MakeRecord(u"", 0, 8443, 0, 7000, 0)});
    std::vector<wxString> entries = Open();
    EXPECT_EQ(entries[2], "Version:  (off)");
    EXPECT_EQ(entries[4], "HTTPS port: 8443 (off)");
    EXPECT_EQ(entries[8], "Open web &settings #5999");
    service.Start(ServeOptions{MakeRecord(u"3.4", 0, 0, 554, 7000, 0)});
    EXPECT_EQ(Open()[8], "Open web &settings #5999 (off)");
}

TEST_F(Menu, ExtendedFormWithShift) {
    desktop.shift = true;
    {
        const ScopedEnv zone("TZ", "IST-5:30");  // local time is not UTC here
        tzset();
        TestService service(ServeOptions{MakeRecord(u"3.4", 80, 0, 0, 0, 0)});
        const wxString updated = Open()[0];  // the service's time of 0, in local time
        EXPECT_TRUE(updated.StartsWith("Last updated ") && updated.Contains("05:30:00")) << updated;
    }
    tzset();
    // The service down: the current time, every fact unknown.
    const ScopedEnv missing("QUENTHAL_PIPE", PrivatePipePath().c_str());
    const std::vector<wxString> entries = Open();
    EXPECT_EQ(
        std::vector<wxString>(entries.begin() + 1, entries.end()),
        (std::vector<wxString>{"Vantora 3 Service NOT RUNNING", "--", "Version: ??? (off)",
                               "HTTP port: ??? (off)", "HTTPS port: ??? (off)",
                               "RTSP port: ??? (off)", "Remote connection port: ??? (off)", "--",
                               "Open web &settings #5999 (off)", kManage, "Show service &log #6005",
                               kStart, kStop, kRestart, "Copy &diagnostics #6006", "--",
                               "E&xit tray application #6000"}));
    EXPECT_EQ(LastUpdatedText(-1), "Last updated ???");
}

TEST_F(Menu, WebSettingsAddressAndTheCopyFallback) {
    const struct {
        std::int32_t http, https;
        const char* url;
    } cases[] = {{80, 443, "http://localhost:80/"},
                 {0, 443, "https://localhost:443/"},
                 {0, 0, "https://localhost:0/"},
                 {-5, 0, "http://localhost:-5/"}};
    TestService service;
    for (const auto& c : cases) {
        service.Start(ServeOptions{MakeRecord(u"", c.http, c.https, 0, 0, 0)});
        tray.RefreshStatus();
        tray.Choose(ID_OPEN_WEB_SETTINGS);
        EXPECT_EQ(desktop.urls.back(), c.url);
    }
    EXPECT_TRUE(desktop.messages.empty());

    const wxString box =
        "Failed to launch browser|Starting the browser failed.\n\nPlease enter the following URL "
        "into your browser manually, or click Ok to copy the URL to clipboard.\n\n";
    desktop.browserStarts = false;
    tray.Choose(ID_OPEN_WEB_SETTINGS);  // OK copies the address
    service.Stop();
    tray.RefreshStatus();
    desktop.answer = wxCANCEL;
    tray.Choose(ID_OPEN_WEB_SETTINGS);  // no browser while the service is down; Cancel copies none
    EXPECT_EQ(desktop.urls.size(), 5u);
    EXPECT_EQ(desktop.messages, (std::vector<wxString>{box + "http://localhost:-5/|214",
                                                       box + "https://localhost:0/|214"}));
    EXPECT_EQ(desktop.clipboard, std::vector<wxString>{"http://localhost:-5/"});
}

TEST_F(Menu, ServiceManagerFailureNamesTheCommand) {
    desktop.managerStarts = false;
    tray.Choose(ID_MANAGE_SERVICES);
    tray.Choose(ID_SHOW_SERVICE_LOG);
    const wxString manually = "failed.\n\nTry manually running the command:\n\n";
    EXPECT_EQ(
        desktop.messages,
        (std::vector<wxString>{"Failed to launch service management|Launching service management " +
                                   manually + kManager + "|204",
                               "Failed to open the service log|Opening the service log " +
                                   manually + kLogCommand + "|204"}));
}

// A service that answers runs: only Stop and Restart make sense. One that does not may still run
// (hung, its pipe taken), so all three are offered. While a command runs, none is, and a click
// from an older menu is ignored.
TEST_F(Menu, ServiceCommandsFollowTheStatusAndWaitForTheirCommand) {
    desktop.shift = true;
    TestService service;
    const auto commands = [&] {
        const std::vector<wxString> entries = Open();
        return std::vector<wxString>(entries.end() - 6, entries.end() - 3);
    };
    EXPECT_EQ(commands(), (std::vector<wxString>{kStart + " (off)", kStop, kRestart}));
    tray.Choose(ID_RESTART_SERVICE);
    EXPECT_EQ(commands(),
              (std::vector<wxString>{kStart + " (off)", kStop + " (off)", kRestart + " (off)"}));
    tray.Choose(ID_STOP_SERVICE);
    EXPECT_EQ(tray.Control().commands, std::vector<ServiceCommand>{ServiceCommand::Restart});
    EXPECT_EQ(tray.Control().names, std::vector<wxString>{DefaultServiceName()});
    tray.Control().End();
    EXPECT_EQ(commands(), (std::vector<wxString>{kStart + " (off)", kStop, kRestart}));
    desktop.shift = false;
    const std::vector<wxString> ordinary = Open();
    EXPECT_EQ(ordinary.size(), 10u) << "the ordinary form has no service commands";
    EXPECT_TRUE(ordinary[1].StartsWith("Running since ")) << ordinary[1];
}

// A failure is told in one box with the system's words; a declined prompt tells nothing.
TEST_F(Menu, AFailedServiceCommandIsToldInOneBox) {
    const struct {
        int id;
        const char *caption, *failed;
    } cases[] = {
        {ID_START_SERVICE, "Failed to start the service", "Starting the service failed."},
        {ID_STOP_SERVICE, "Failed to stop the service", "Stopping the service failed."},
        {ID_RESTART_SERVICE, "Failed to restart the service", "Restarting the service failed."},
    };
    for (const auto& c : cases) {
        tray.Choose(c.id);
        tray.Control().End({ServiceOutcome::Result::Failed, "Access denied"});
        EXPECT_EQ(desktop.messages.back(), wxString::Format("%s|%s\n\nThe system said:\n\n"
                                                            "Access denied|204",
                                                            c.caption, c.failed));
    }
    tray.Choose(ID_START_SERVICE);
    tray.Control().End({ServiceOutcome::Result::Cancelled, ""});
    tray.Choose(ID_STOP_SERVICE);
    tray.Control().End();
    EXPECT_EQ(desktop.messages.size(), 3u);
    EXPECT_EQ(tray.Control().commands.size(), 5u);
}
