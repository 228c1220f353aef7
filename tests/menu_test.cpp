// The popup menu in both forms, built from a real service, and its commands.
#include <wx/menu.h>

#include <ctime>

#include "support.h"
#include "tray/menu_text.h"

namespace {

#ifdef _WIN32
const wxString kManage = "&Manage Windows services #6001", kManager = "services.msc";
#else
const wxString kManage = "&Manage services #6001", kManager = "systemctl status quenthal.service";
#endif

// Each entry as "label", with " #id" for commands and " (off)" when greyed; "--" a separator.
std::vector<wxString> Entries(std::unique_ptr<wxMenu> menu) {
    std::vector<wxString> entries;
    for (const wxMenuItem* item : menu->GetMenuItems()) {
        wxString entry = item->IsSeparator() ? "--" : item->GetItemLabel();
        if (item->GetId() < ID_LAST_UPDATED && !item->IsSeparator()) entry << " #" << item->GetId();
        entries.push_back(entry + (item->IsEnabled() ? "" : " (off)"));
    }
    return entries;
}

class Menu : public testing::Test {
protected:
    std::vector<wxString> Open() {
        return Entries(std::unique_ptr<wxMenu>(tray.CreatePopupMenu()));
    }
    void Choose(int command) {
        wxCommandEvent event(wxEVT_MENU, command);
        tray.SafelyProcessEvent(event);
    }
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
    const std::time_t before = std::time(nullptr);
    const std::vector<wxString> entries = Open();
    EXPECT_TRUE(entries[0] == LastUpdatedText(before) ||
                entries[0] == LastUpdatedText(std::time(nullptr)));
    EXPECT_EQ(std::vector<wxString>(entries.begin() + 1, entries.end()),
              (std::vector<wxString>{"Vantora 3 Service NOT RUNNING", "--", "Version: ??? (off)",
                                     "HTTP port: ??? (off)", "HTTPS port: ??? (off)",
                                     "RTSP port: ??? (off)", "Remote connection port: ??? (off)",
                                     "--", "Open web &settings #5999 (off)", kManage, "--",
                                     "E&xit tray application #6000"}));
    desktop.shift = false;  // read at openings only: hosts' copy keeps the form and the time
    EXPECT_EQ(Entries(std::unique_ptr<wxMenu>(tray.CreateQuietMenu())), entries);
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
        Choose(ID_OPEN_WEB_SETTINGS);
        EXPECT_EQ(desktop.urls.back(), c.url);
    }
    EXPECT_TRUE(desktop.messages.empty());

    const wxString box =
        "Failed to launch browser|Starting the browser failed.\n\nPlease enter the following URL "
        "into your browser manually, or click Ok to copy the URL to clipboard.\n\n";
    desktop.browserStarts = false;
    Choose(ID_OPEN_WEB_SETTINGS);  // OK copies the address
    service.Stop();
    tray.RefreshStatus();
    desktop.answer = wxCANCEL;
    Choose(ID_OPEN_WEB_SETTINGS);  // no browser at all while the service is down; Cancel copies
                                   // nothing
    EXPECT_EQ(desktop.urls.size(), 5u);
    EXPECT_EQ(desktop.messages, (std::vector<wxString>{box + "http://localhost:-5/|214",
                                                       box + "https://localhost:0/|214"}));
    EXPECT_EQ(desktop.clipboard, std::vector<wxString>{"http://localhost:-5/"});
}

TEST_F(Menu, ServiceManagerFailureNamesTheCommand) {
    desktop.managerStarts = false;
    Choose(ID_MANAGE_SERVICES);
    EXPECT_EQ(desktop.messages, std::vector<wxString>{"Failed to launch service management|"
                                                      "Launching service management failed.\n\n"
                                                      "Try manually running the command:\n\n" +
                                                      kManager + "|204"});
}
