// A stop reported after a menu's refresh, whole records, catalogues that cannot break a format,
// texts from outside on one line, and the service icon decoded only when its file changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include <wx/menu.h>
#include <wx/stdpaths.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include "one_refresh.h"
#include "platform/platform.h"
#include "recording_sentak.h"
#include "test_service.h"
#include "tray/sentak_dialog.h"

namespace {

namespace fs = std::filesystem;

const ServiceStatus kRecord = MakeRecord(u"7.1", 8080, 8443, 554, 7070, 1700000000);

ServeOptions Serving(ServeOptions::Mode mode, int dripMs = 0) {
    ServeOptions options;
    options.record = kRecord;
    options.mode = mode;
    options.dripInterval = std::chrono::milliseconds(dripMs);
    return options;
}

// The product name of fixes_brand.json, its control characters and separators made spaces.
const wxString kName = "R&D <t> 1 2 3 4 5 6 7 8";

class TestDialog : public SentakDialog {
public:
    explicit TestDialog(FakeDesktop& desktop)
        : SentakDialog("", [&] { return std::make_unique<RecordingSentak>(desktop); }) {}
    RecordingSentak& Tray() { return static_cast<RecordingSentak&>(*m_trayIcon); }
};

std::vector<wxString> Labels(RecordingSentak& tray) {
    const std::unique_ptr<wxMenu> menu(tray.CreatePopupMenu());
    std::vector<wxString> labels;
    for (const wxMenuItem* item : menu->GetMenuItems()) labels.push_back(item->GetItemLabelText());
    return labels;
}

// The real tray icon, recorded, with its cache of the service icon in view.
class IconTray : public RecordingSentak {
public:
    using RecordingSentak::RecordingSentak;
    using Sentak::m_serviceIcon;
};

class Fixes : public testing::Test {
protected:
    Fixes() : m_console(std::wcout.rdbuf(m_trace.rdbuf())) {}
    ~Fixes() override { std::wcout.rdbuf(m_console); }

    void Ticks(int count, Sentak* on = nullptr) {
        wxTimer timer;
        wxTimerEvent event(timer);
        for (int i = 0; i < count; ++i) (on ? *on : tray).OnTimer(event);
    }

    std::wostringstream m_trace;
    std::wstreambuf* m_console;
    FakeDesktop desktop;
    IconTray tray{desktop};
};

TEST_F(Fixes, StopIsReportedWhenAMenuRefreshWasTheTenthFailure) {
    TestService service(Serving(ServeOptions::Mode::Record));
    Ticks(1);
    service.Stop();
    Ticks(9);
    delete tray.CreatePopupMenu();
    EXPECT_TRUE(desktop.notifications.empty());
    Ticks(5);  // the first sees the eleventh failure
    EXPECT_EQ(desktop.notifications.size(), 1u);
    EXPECT_EQ(tray.displays.size(), 2u);
    EXPECT_FALSE(tray.m_wasRunning);
}

// The catalogue of fixes_broken.po as the user's language: each text it breaks shows in English,
// the one it translates well translated; texts from outside stay on one line.
TEST_F(Fixes, BrokenCatalogueGivesEnglishAndOutsideTextsStayOnOneLine) {
    wxSetEnv("LANGUAGE", "nl");
    ServeOptions options = Serving(ServeOptions::Mode::Record);
    options.record = MakeRecord(u"7.1\u0007x\u2029y", 8080, 0, 554, 7070, 0);
    TestService service(options);
    TestDialog dialog(desktop);
    RecordingSentak& shown = dialog.Tray();
    Ticks(1, &shown);
    std::vector<wxString> labels = Labels(shown);
    EXPECT_EQ(labels.at(0), kName);
    EXPECT_EQ(labels.at(2), "Versie: 7.1 x y (100%)");
    EXPECT_EQ(labels.at(6), "Remote connection port: 7070");
    service.Stop();
    Ticks(10, &shown);
    const std::vector<wxString> tooltips = {
        shown.displays.at(0).tooltip, shown.displays.at(1).tooltip, shown.displays.back().tooltip};
    EXPECT_EQ(tooltips,
              std::vector<wxString>({kName + " Service status unknown", kName + " Service running",
                                     kName + " Service not running anymore"}));
    ASSERT_EQ(desktop.notifications.size(), 1u);
    EXPECT_EQ(desktop.notifications[0].message,
              "The " + kName + " Service is not running anymore.");
    labels = Labels(shown);
    EXPECT_EQ(labels.at(0), kName + " Service NOT RUNNING");
    wxTranslations::Set(nullptr);
    wxUnsetEnv("LANGUAGE");
}

// Linux notification services render markup in the body; Windows shows it as it is.
TEST(NotificationBody, ShowsAsWritten) {
#ifdef _WIN32
    EXPECT_EQ(NotificationBody("R&D <t>"), "R&D <t>");
#else
    EXPECT_EQ(NotificationBody("R&D <t> &amp;"), "R&amp;D &lt;t&gt; &amp;amp;");
#endif
}

// Decoded once while the file stays as it is, and the same image set on every tick; decoded
// again at the next tick after any change of the file, and shown as it then is.
TEST_F(Fixes, ServiceIconIsDecodedAgainOnlyWhenItsFileChanged) {
    const fs::path icon = fs::path(wxStandardPaths::Get().GetExecutablePath().ToStdString())
                              .replace_filename("Resources/Icons/dvr.ico");
    const auto install = [&] {
        fs::create_directories(icon.parent_path());
        fs::copy_file(SENTAK_RESOURCES_DIR "/Icons/dvr.ico", icon,
                      fs::copy_options::overwrite_existing);
    };
    const auto writable = [&](fs::perm_options how) {
        fs::permissions(icon, fs::perms::owner_write, how);  // its change time only
    };
    const struct {
        std::function<void()> change;
        int decodings;
        bool shown;
    } steps[] = {
        {install, 1, true},
        {[&] {
             fs::last_write_time(icon, fs::last_write_time(icon) + std::chrono::nanoseconds(1));
         },
         2, true},
        {[&] { writable(fs::perm_options::remove); }, 3, true},
        {[&] { writable(fs::perm_options::add); }, 4, true},
        {[&] { std::ofstream(icon, std::ios::binary) << "not an icon"; }, 5, false},
        {[&] { fs::remove(icon); }, 7, false},  // nothing to stamp: tried on every tick
        {install, 8, true},
    };
    TestService service(Serving(ServeOptions::Mode::Record));
    for (const auto& step : steps) {
        step.change();
        Ticks(2);
        const auto& shown = tray.displays;
        EXPECT_EQ(tray.m_serviceIcon.Decodings(), step.decodings);
        EXPECT_EQ(shown.back().image.IsOk(), step.shown) << step.decodings;
        EXPECT_EQ(shown.back().image.GetImpl(), shown[shown.size() - 2].image.GetImpl());
    }
    fs::remove(icon);
}

#ifndef _WIN32
// The socket takes the record however it is cut, within one bound for all of it.
TEST(WholeRecord, ReadUntilTheRecordOrTheCloseWithinOneBound) {
    struct Case {
        ServeOptions options;
        bool read;
    } cases[] = {
        {Serving(ServeOptions::Mode::Drip, 1), true},      // 160 pieces, well within the bound
        {Serving(ServeOptions::Mode::Drip, 10), false},    // each piece in time, not the whole
        {Serving(ServeOptions::Mode::Drip, 3000), false},  // a piece, then silence
        {Serving(ServeOptions::Mode::KeepOpen), true},     // whole, no wait for the close
        {Serving(ServeOptions::Mode::Close), false},       // closed before a byte: no record
    };
    for (const Case& c : cases) {
        TestService service(c.options);
        const Refresh refresh = RefreshOnce();
        EXPECT_EQ(refresh.status.has_value(), c.read) << int(c.options.dripInterval.count());
        EXPECT_EQ(refresh.status.value_or(ServiceStatus{}), c.read ? kRecord : ServiceStatus{});
        EXPECT_EQ(refresh.trace, c.read ? kDone : kReadFailed);
    }
}
#endif

}  // namespace
