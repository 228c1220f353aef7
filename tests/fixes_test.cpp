// A stop reported after a menu's refresh, whole records, catalogues that cannot break a format,
// texts from outside on one line, and the service icon decoded only when its file changed.
#include <gtest/gtest.h>

#include <filesystem>

#include <wx/menu.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include "one_refresh.h"
#include "recording_sentak.h"
#include "service/resources.h"
#include "test_service.h"
#include "tray/sentak_dialog.h"

namespace {

namespace fs = std::filesystem;
using Mode = ServeOptions::Mode;
using std::chrono::milliseconds;

const ServiceStatus kRecord = MakeRecord(u"7.1\u0007x\u2029y", 8080, 0, 554, 7070, 0);
// The product name of fixes_brand.json, its control characters and separators made spaces.
const wxString kName = "R&D <t> 1 2 3 4 5 6 7 8";

// The real tray icon, recorded, with its cache of the service icon in view.
struct IconTray : RecordingSentak {
    using RecordingSentak::RecordingSentak;
    using Sentak::m_serviceIcon;
};

void Ticks(Sentak& tray, int count) {
    wxTimer timer;
    wxTimerEvent event(timer);
    for (int i = 0; i < count; ++i) tray.OnTimer(event);
}

wxString MenuLabel(Sentak& tray, size_t position) {  // each opening refreshes, as ever
    const std::unique_ptr<wxMenu> menu(tray.CreatePopupMenu());
    return menu->FindItemByPosition(position)->GetItemLabelText();
}

// The catalogue of fixes_broken.po in the user's language: each text it breaks shows in English,
// the one it translates well translated; texts from outside stay on one line. And a stop whose
// tenth failure was a menu's refresh is still reported, once.
TEST(Fixes, BrokenCatalogueOutsideTextsAndAStopAfterAMenu) {
    wxSetEnv("LANGUAGE", "nl");  // Windows takes it from the account: see CMakeLists.txt
    TestService service(ServeOptions{kRecord});
    FakeDesktop desktop;
    RecordingSentak* tray = nullptr;
    SentakDialog dialog(
        "", [&] { return std::unique_ptr<Sentak>(tray = new RecordingSentak(desktop)); });
    Ticks(*tray, 1);
    EXPECT_EQ(MenuLabel(*tray, 2), "Versie: 7.1 x y (100%)");
    EXPECT_EQ(MenuLabel(*tray, 6), "Remote connection port: 7070");
    service.Stop();
    Ticks(*tray, 9);
    EXPECT_EQ(MenuLabel(*tray, 0), kName + " Service NOT RUNNING");  // the tenth failure
    Ticks(*tray, 5);
    wxString shown;  // every tooltip, then every notification
    for (const auto& display : tray->displays) shown += display.tooltip + "\n";
    for (const auto& notification : desktop.notifications) shown += notification.message + "\n";
    EXPECT_EQ(shown, kName + " Service status unknown\n" + kName + " Service running\n" + kName +
                         " Service not running anymore\nThe " + kName +
                         " Service is not running anymore.\n");
#ifndef _WIN32  // Linux notification services render markup in the body
    EXPECT_EQ(NotificationBody("R&D <t> &amp;"), "R&amp;D &lt;t&gt; &amp;amp;");
#endif
    wxTranslations::Set(nullptr);
    wxUnsetEnv("LANGUAGE");
}

// Decoded once while the file stays as it is, the same image set on every tick; decoded again at
// the next tick after any change of the file, and shown as it then is.
TEST(Fixes, ServiceIconIsDecodedAgainOnlyWhenItsFileChanged) {
    const fs::path icon = ResourcePath("Icons", "dvr.ico").ToStdString();
    TestService service(ServeOptions{kRecord});
    FakeDesktop desktop;
    IconTray tray(desktop);
    const auto expect = [&](int decodings, bool shown) {
        Ticks(tray, 2);
        EXPECT_EQ(tray.m_serviceIcon.Decodings(), decodings);
        EXPECT_EQ(tray.displays.back().image.IsOk(), shown) << decodings;
        EXPECT_EQ(tray.displays.rbegin()[0].image.GetImpl(),
                  tray.displays.rbegin()[1].image.GetImpl());
    };
    fs::create_directories(icon.parent_path());
    fs::copy_file(SENTAK_RESOURCES_DIR "/Icons/dvr.ico", icon,
                  fs::copy_options::overwrite_existing);
    expect(1, true);
    fs::last_write_time(icon, fs::last_write_time(icon) + std::chrono::nanoseconds(1));
    expect(2, true);
    fs::permissions(icon, fs::perms::owner_write, fs::perm_options::remove);  // change time only
    fs::permissions(icon, fs::perms::owner_write, fs::perm_options::add);
    expect(3, true);
    fs::resize_file(icon, 6);  // the header alone
    expect(4, false);
    fs::remove(icon);
    expect(6, false);  // nothing to stamp: tried on every tick, as before
    fs::copy_file(SENTAK_RESOURCES_DIR "/Icons/dvr.ico", icon);
    expect(7, true);
    fs::remove(icon);
}

#ifndef _WIN32
// The socket takes the record however it is cut, within one bound for all of it.
TEST(Fixes, SocketReadsUntilTheRecordOrTheCloseWithinOneBound) {
    const std::pair<ServeOptions, bool> cases[] = {
        {{kRecord, Mode::Drip, 0, 0, milliseconds(1)}, true},      // 160 pieces, well in time
        {{kRecord, Mode::Drip, 0, 0, milliseconds(10)}, false},    // each piece in time, not all
        {{kRecord, Mode::Drip, 0, 0, milliseconds(3000)}, false},  // a piece, then silence
        {{kRecord, Mode::KeepOpen}, true},                         // whole: no wait for the close
        {{kRecord, Mode::Close}, false},                           // closed before a byte
    };
    for (const auto& [options, read] : cases) {
        TestService service(options);
        const Refresh refresh = RefreshOnce();
        EXPECT_EQ(refresh.status, read ? std::optional(kRecord) : std::nullopt)
            << options.dripInterval.count();
    }
}
#endif

}  // namespace
