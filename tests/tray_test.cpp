// The tray's frame: its first display, a later start told, and the service's icon file.
#include <wx/artprov.h>
#include <wx/notifmsg.h>

#include <fstream>

#include "base/main_window.h"
#include "platform/icon_file.h"
#include "platform/single_instance.h"
#include "support.h"
#include "tray/icon_cache.h"
#include "tray/outage_texts.h"
#include "tray/sentak_dialog.h"

namespace {

bool IsArt(const wxBitmapBundle& image, const wxArtID& id) {
    const wxBitmapBundle art = wxArtProvider::GetBitmapBundle(id, wxART_OTHER, wxSize(32, 32));
    const wxImage a = image.GetBitmap(wxSize(32, 32)).ConvertToImage();
    const wxImage b = art.GetBitmap(wxSize(32, 32)).ConvertToImage();
    return a.GetSize() == b.GetSize() &&
           std::equal(a.GetData(), a.GetData() + a.GetWidth() * a.GetHeight() * 3, b.GetData());
}

}  // namespace

TEST(Dialog, FirstDisplayIsTheUnknownOne) {
    FakeDesktop desktop;
    RecordingSentak* tray = nullptr;
    auto* dialog = new SentakDialog("test", [&] {
        auto icon = std::make_unique<RecordingSentak>(desktop);
        tray = icon.get();
        return icon;
    });
    ASSERT_EQ(tray->Tooltips(), std::vector<wxString>{"Vantora 3 Service status unknown"});
    EXPECT_TRUE(IsArt(tray->displays[0].image, wxART_QUESTION));
    EXPECT_EQ(tray->displays[0].kind, TrayDisplay::Kind::Unknown);
    EXPECT_FALSE(dialog->IsShown());
    delete dialog;
}

// A later start finds the first through the claim both make, and the first says so briefly.
TEST(Dialog, LaterStartToldByTheFirst) {
    const ScopedEnv pipe("QUENTHAL_PIPE", PrivatePipePath().c_str());
    FakeDesktop desktop;
    RecordingSentak* tray = nullptr;
    const std::unique_ptr<SentakDialog> dialog(new SentakDialog(kMainWindowTitle, [&] {
        auto icon = std::make_unique<RecordingSentak>(desktop);
        tray = icon.get();
        return icon;
    }));
    const InstanceClaim first, later;
    ASSERT_TRUE(!first.AnotherRuns() && later.AnotherRuns());
    wxTimer told;  // ends the loop once the notice is there
    told.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (!desktop.notifications.empty()) wxTheApp->ExitMainLoop();
    });
    told.Start(20);
    RunMainLoop(std::chrono::seconds(20), [] {});
    // Where the icon is, in the desktop's words; where no tray shows it (as here on Linux), that.
    const auto where = tray->ShownInTray() ? std::optional<wxString>("in the tray") : std::nullopt;
    EXPECT_EQ(desktop.notifications, std::vector<wxString>{"brief|Sentak is already running|" +
                                                           StartedAgainWords(where).message});
}

// Decoding is nearly all a running tick costs: done again only once the file changed, and until
// then the tray gets the very same image, without a mask (the toolkit's tray on Linux leaks every
// masked image it is given, at every tick).
TEST(ServiceIcon, DecodedAgainOnlyWhenItsFileChanged) {
    namespace fs = std::filesystem;
    const std::string path = PrivateFile(".ico");
    fs::copy_file(SENTAK_SOURCE_DIR "/resources/Resources/Icons/dvr.ico", path);
    const wxLogNull quiet;  // as the tick has it
    IconFileCache cache;
    const wxBitmapBundle first = cache.Get(path);
    ASSERT_TRUE(first.IsOk());
    EXPECT_TRUE(cache.Get(path).IsSameAs(first));
#ifndef _WIN32
    EXPECT_GE(first.GetDefaultSize().x, 32) << "as large as the other displays' art";
#endif
    for (int size : {16, 32, 48, 64}) EXPECT_FALSE(first.GetBitmap(wxSize(size, size)).GetMask());
    const auto expect = [&](int decodings, bool shown) {
        EXPECT_EQ(cache.Get(path).IsOk(), shown) << decodings;
        EXPECT_EQ(cache.Decodings(), decodings);
    };
    expect(1, true);
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::nanoseconds(1));
    expect(2, true);
#ifndef _WIN32
    fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);  // the change time only
    expect(3, true);
#endif
    std::ofstream(path, std::ios::binary) << std::string("\0\0\1\0\xFF\xFF", 6) + "junk";
    expect(cache.Decodings() + 1, false);  // a file that claims 65,535 images
    fs::remove(path);                      // nothing to compare with: tried again at every tick
    expect(cache.Decodings() + 1, false);
    expect(cache.Decodings() + 1, false);
}

#ifdef _WIN32
// A click on the stop notice's balloon reaches the tray.
TEST(Balloon, AClickReachesTheTray) {
    wxTaskBarIcon icon;
    ASSERT_TRUE(icon.SetIcon(wxArtProvider::GetBitmapBundle(wxART_WARNING, wxART_OTHER)));
    int clicks = 0;
    DefaultDesktop().Notify(icon, "Service not running", "...", std::nullopt, [&] { ++clicks; });
    wxTaskBarIconEvent event(wxEVT_TASKBAR_BALLOON_CLICK, &icon);
    icon.SafelyProcessEvent(event);
    EXPECT_EQ(clicks, 1);
    DefaultDesktop().CloseNotice();
    wxNotificationMessage::UseTaskBarIcon(nullptr);
}

// Every image of the file, each at its own size: at scale 1 the tray is given the file's 16 px
// image, drawn for it, not the 32 px one shrunk.
TEST(ServiceIcon, TheFilesOwnImageForTheTraysSize) {
    const wxBitmapBundle icon = LoadIconFile(SENTAK_TESTS_DIR "/red16-blue32.ico");
    const wxSize size = icon.GetPreferredBitmapSizeAtScale(1.0);
    EXPECT_EQ(size, wxSize(16, 16));
    const auto colour = [&](int side) {
        const wxImage image = icon.GetBitmap(wxSize(side, side)).ConvertToImage();
        return wxColour(image.GetRed(8, 8), image.GetGreen(8, 8), image.GetBlue(8, 8));
    };
    EXPECT_EQ(colour(size.x), *wxRED);
    EXPECT_EQ(colour(32), *wxBLUE);
}
#endif
