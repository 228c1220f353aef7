// The menu's commands, chosen as menu events at the tray icon, with the status read from a real
// service and the desktop faked.
#include <gtest/gtest.h>

#include <memory>

#include <wx/app.h>
#include <wx/weakref.h>

#include "app/sentak_app.h"
#include "main_loop.h"
#include "recording_sentak.h"
#include "test_service.h"
#include "tray/sentak_dialog.h"

namespace {

const wxString kBrowserMessage =
    "Starting the browser failed.\n\n"
    "Please enter the following URL into your browser manually, or click Ok to copy the URL to "
    "clipboard.\n\n";

ServeOptions Serving(std::int32_t httpPort, std::int32_t httpsPort) {
    ServeOptions options;
    options.record = MakeRecord(u"3.4.1", httpPort, httpsPort, 554, 0, 0);
    return options;
}

void Choose(Sentak& tray, int command) {
    wxCommandEvent event(wxEVT_MENU, command);
    EXPECT_TRUE(tray.SafelyProcessEvent(event)) << "no handler for " << command;
}

class CommandsTest : public testing::Test {
protected:
    FakeDesktop desktop;
    RecordingSentak tray{desktop};
};

TEST_F(CommandsTest, WebSettingsOpenHttpWhenItHasAPortAndHttpsOtherwise) {
    const struct {
        std::int32_t http, https;
        const char* url;
    } cases[] = {
        {80, 443, "http://localhost:80/"},    {0, 443, "https://localhost:443/"},
        {0, 0, "https://localhost:0/"},       {-5, 443, "http://localhost:-5/"},
        {0, -443, "https://localhost:-443/"},
    };
    TestService service;
    for (const auto& c : cases) {
        service.Start(Serving(c.http, c.https));
        tray.RefreshStatus();
        desktop.browserUrls.clear();
        Choose(tray, ID_OPEN_WEB_SETTINGS);
        EXPECT_EQ(desktop.browserUrls, std::vector<wxString>{c.url}) << c.http << "/" << c.https;
    }
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(desktop.clipboard.empty());
}

TEST_F(CommandsTest, WebSettingsWithTheServiceDownOfferTheAddressAtOnce) {
    UseMissingService();
    tray.RefreshStatus();
    desktop.messageAnswer = wxCANCEL;
    Choose(tray, ID_OPEN_WEB_SETTINGS);

    EXPECT_TRUE(desktop.browserUrls.empty());
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, kBrowserMessage + "https://localhost:0/");
    EXPECT_EQ(desktop.messages[0].caption, "Failed to launch browser");
    EXPECT_EQ(desktop.messages[0].style, wxOK | wxCANCEL | wxICON_ERROR);
    EXPECT_TRUE(desktop.clipboard.empty());  // Cancel copies nothing
}

// A box that stays open across a poll tick which finds the service changed.
class TickingDesktop : public FakeDesktop {
public:
    int ShowMessage(const wxString& text, const wxString& caption, long style) override {
        service->Start(Serving(9090, 0));
        tray->RefreshStatus();
        return FakeDesktop::ShowMessage(text, caption, style);
    }
    TestService* service = nullptr;
    Sentak* tray = nullptr;
};

TEST(WebSettingsCommand, OkCopiesExactlyTheAddressTheBoxShowed) {
    TestService service(Serving(8080, 0));
    TickingDesktop desktop;
    RecordingSentak tray(desktop);
    desktop.service = &service;
    desktop.tray = &tray;
    desktop.browserStarts = false;
    tray.RefreshStatus();

    Choose(tray, ID_OPEN_WEB_SETTINGS);
    EXPECT_EQ(desktop.browserUrls, std::vector<wxString>{"http://localhost:8080/"});
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, kBrowserMessage + "http://localhost:8080/");
    EXPECT_EQ(desktop.clipboard, std::vector<wxString>{"http://localhost:8080/"});
    EXPECT_EQ(tray.m_status.httpPort(), 9090);  // the tick did change the status meanwhile
}

TEST_F(CommandsTest, ServiceManagerNamesTheCommandWhenItCannotStart) {
    Choose(tray, ID_MANAGE_SERVICES);
    EXPECT_EQ(desktop.serviceManagerOpenings, 1);
    EXPECT_TRUE(desktop.messages.empty());

    desktop.serviceManagerStarts = false;
    Choose(tray, ID_MANAGE_SERVICES);
    ASSERT_EQ(desktop.messages.size(), 1u);
#ifdef _WIN32
    const wxString command = "services.msc";
#else
    const wxString command = "systemctl status quenthal.service";
#endif
    EXPECT_EQ(desktop.messages[0].text,
              "Launching service management failed.\n\n"
              "Try manually running the command:\n\n" +
                  command);
    EXPECT_EQ(desktop.messages[0].caption, "Failed to launch service management");
    EXPECT_EQ(desktop.messages[0].style, wxOK | wxICON_ERROR);
}

TEST(ExitCommand, ClosesTheMainDialogAndEndsTheEventLoop) {
    UseMissingService();
    FakeDesktop desktop;
    Sentak* tray = nullptr;
    auto* dialog = new SentakDialog("exit test", [&] {
        auto icon = std::make_unique<RecordingSentak>(desktop);
        tray = icon.get();
        return icon;
    });
    const wxWeakRef<SentakDialog> alive(dialog);
    g_mainDialog = dialog;

    // As the program runs, where the last window's end ends the loop.
    const bool ended = RunMainLoop(std::chrono::seconds(10), [&] { Choose(*tray, ID_EXIT_TRAY); });
    g_mainDialog = nullptr;

    EXPECT_TRUE(ended) << "the event loop outlived the exit command";
    EXPECT_FALSE(alive) << "the main dialog is still there";
    if (alive) alive->Destroy();
}

}  // namespace
