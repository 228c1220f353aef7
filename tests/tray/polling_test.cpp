// The poll tick: which display it asks for and when it reports a stop, driven by a real service
// on a real socket and observed through the recording tray icon and the fake desktop.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include <wx/artprov.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/mstream.h>
#include <wx/stdpaths.h>

#include "captured_log.h"
#include "recording_sentak.h"
#include "test_service.h"

namespace fs = std::filesystem;

namespace {

const wxString kRunning = "Vantora 3 Service running";
const wxString kStopped = "Vantora 3 Service not running anymore";
const wxString kNotificationTitle = "Service not running";
const wxString kNotificationMessage = "The Vantora 3 Service is not running anymore.";

// Lays a service icon into Resources/Icons/ beside the test executable, where the program looks
// first, and takes away only what it laid down: the shipped one, or a file of the given bytes.
class InstalledServiceIcon {
public:
    explicit InstalledServiceIcon(const std::string& bytes = {}) {
        const fs::path exeDir =
            fs::path(wxStandardPaths::Get().GetExecutablePath().ToStdString()).parent_path();
        m_resources = exeDir / "Resources";
        m_icons = m_resources / "Icons";
        m_file = m_icons / "dvr.ico";
        fs::create_directories(m_icons);
        if (bytes.empty())
            fs::copy_file(SENTAK_RESOURCES_DIR "/Icons/dvr.ico", m_file,
                          fs::copy_options::overwrite_existing);
        else
            std::ofstream(m_file, std::ios::binary) << bytes;
    }
    ~InstalledServiceIcon() {
        std::error_code ignored;
        fs::remove(m_file, ignored);
        fs::remove(m_icons, ignored);  // only when empty
        fs::remove(m_resources, ignored);
    }
    void Remove() { fs::remove(m_file); }

private:
    fs::path m_resources, m_icons, m_file;
};

void Put16(std::string& to, std::uint32_t value) {
    to += char(value & 0xFF);
    to += char(value >> 8 & 0xFF);
}
void Put32(std::string& to, std::uint32_t value) {
    Put16(to, value & 0xFFFF);
    Put16(to, value >> 16);
}

// An opaque square of one colour, as an .ico image of 32 bits per pixel.
std::string BitmapImage(int size, const wxColour& colour) {
    std::string dib;
    for (std::uint32_t field : {40, size, 2 * size}) Put32(dib, field);  // the mask doubles it
    Put16(dib, 1);
    Put16(dib, 32);
    for (int field = 0; field < 6; ++field) Put32(dib, 0);
    for (int pixel = 0; pixel < size * size; ++pixel)
        dib += {char(colour.Blue()), char(colour.Green()), char(colour.Red()), char(0xFF)};
    dib.append(size_t(size) * ((size + 31) / 32) * 4, '\0');
    return dib;
}

#if wxUSE_LIBPNG
std::string PngImage(int size, const wxColour& colour) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    wxImage image(size, size);
    image.SetRGB(wxRect(0, 0, size, size), colour.Red(), colour.Green(), colour.Blue());
    wxMemoryOutputStream png;
    image.SaveFile(png, wxBITMAP_TYPE_PNG);
    std::string bytes(png.GetLength(), '\0');
    png.CopyTo(bytes.data(), bytes.size());
    return bytes;
}
#endif

// An icon file as common tools lay it out: small images as bitmaps, then the large one as PNG.
std::string IconFile(const std::vector<std::pair<int, std::string>>& images) {
    std::string file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, images.size());
    std::uint32_t offset = 6 + 16 * images.size();
    for (const auto& [size, data] : images) {
        file += {char(size & 0xFF), char(size & 0xFF), 0, 0};  // 256 is written as 0
        Put16(file, 1);
        Put16(file, 32);
        Put32(file, data.size());
        Put32(file, offset);
        offset += data.size();
    }
    for (const auto& image : images) file += image.second;
    return file;
}

wxImage ImageOf(const wxBitmapBundle& bundle) {
    if (!bundle.IsOk()) return wxImage();
    const wxBitmap bitmap = bundle.GetBitmap(wxSize(32, 32));
    return bitmap.IsOk() ? bitmap.ConvertToImage() : wxImage();
}

bool SameImage(const wxBitmapBundle& a, const wxBitmapBundle& b) {
    const wxImage x = ImageOf(a), y = ImageOf(b);
    if (!x.IsOk() || !y.IsOk() || x.GetSize() != y.GetSize() || x.HasAlpha() != y.HasAlpha())
        return false;
    const size_t pixels = size_t(x.GetWidth()) * x.GetHeight();
    return std::memcmp(x.GetData(), y.GetData(), pixels * 3) == 0 &&
           (!x.HasAlpha() || std::memcmp(x.GetAlpha(), y.GetAlpha(), pixels) == 0);
}

wxBitmapBundle Art(const wxArtID& id) {
    return wxArtProvider::GetBitmapBundle(id, wxART_OTHER, wxSize(32, 32));
}

class PollingTest : public testing::Test {
protected:
    // The refresh's trace lines are the pipe client's business; keep them out of the report.
    PollingTest() : m_console(std::wcout.rdbuf(m_trace.rdbuf())) {}
    ~PollingTest() override { std::wcout.rdbuf(m_console); }

    // Whatever happens in a tick, the user sees no log line: not an unreadable icon, not a
    // refused image.
    void TearDown() override { EXPECT_TRUE(log.records.empty()) << log.records.front(); }

    void Tick() {
        wxTimer timer;
        wxTimerEvent event(timer);
        tray.OnTimer(event);
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) Tick();
    }
    void OpenMenu() { delete tray.CreatePopupMenu(); }  // as the toolkit does after showing it

    // Seen running, then the service goes away.
    void RunThenStop(TestService& service) {
        Tick();
        ASSERT_EQ(tray.displays.back().tooltip, kRunning);
        service.Stop();
    }

    void ExpectStoppedDisplay(const RecordingSentak::Display& display) {
        EXPECT_EQ(display.tooltip, kStopped);
        EXPECT_TRUE(SameImage(display.image, Art(wxART_WARNING)));
    }

    void ExpectOneNotification() {
        ASSERT_EQ(desktop.notifications.size(), 1u);
        EXPECT_EQ(desktop.notifications[0].title, kNotificationTitle);
        EXPECT_EQ(desktop.notifications[0].message, kNotificationMessage);
    }

    std::wostringstream m_trace;
    std::wstreambuf* m_console;
    CapturedLog log;
    FakeDesktop desktop;
    RecordingSentak tray{desktop};
};

TEST_F(PollingTest, NeverSeenRunningIsNeverReported) {
    UseMissingService();
    Ticks(25);  // through the report failure and well past it
    EXPECT_TRUE(tray.displays.empty());
    EXPECT_TRUE(desktop.notifications.empty());
    EXPECT_FALSE(tray.m_wasRunning);
    EXPECT_EQ(tray.m_failureCount, 25);
}

TEST_F(PollingTest, AnsweringServiceShowsItsOwnIconOnEveryTick) {
    InstalledServiceIcon icon;
    TestService service;

    Tick();
    ASSERT_EQ(tray.displays.size(), 1u);
    EXPECT_EQ(tray.displays[0].tooltip, kRunning);
    EXPECT_TRUE(tray.displays[0].image.IsOk());
    EXPECT_FALSE(SameImage(tray.displays[0].image, Art(wxART_QUESTION)));
    EXPECT_FALSE(SameImage(tray.displays[0].image, Art(wxART_WARNING)));
    EXPECT_TRUE(tray.m_wasRunning);

    // Set again on every answer, from the file as it is now: nothing is cached.
    Tick();
    ASSERT_EQ(tray.displays.size(), 2u);
    EXPECT_TRUE(SameImage(tray.displays[1].image, tray.displays[0].image));
    icon.Remove();
    Tick();
    ASSERT_EQ(tray.displays.size(), 3u);
    EXPECT_EQ(tray.displays[2].tooltip, kRunning);
    EXPECT_FALSE(SameImage(tray.displays[2].image, tray.displays[0].image));
    EXPECT_TRUE(desktop.notifications.empty());
}

TEST_F(PollingTest, ServiceIconIsShownAsDrawnAtTraySize) {
    const wxColour red(200, 0, 0), green(0, 160, 0), blue(0, 0, 200), grey(90, 90, 90);
    std::vector<std::pair<int, std::string>> images = {
        {16, BitmapImage(16, red)}, {32, BitmapImage(32, green)}, {48, BitmapImage(48, blue)}};
#if wxUSE_LIBPNG  // a toolkit built without it cannot write the PNG-stored image
    images.emplace_back(256, PngImage(256, grey));
#endif
    InstalledServiceIcon icon(IconFile(images));
    TestService service;
    Tick();
    ASSERT_EQ(tray.displays.size(), 1u);
    const wxBitmapBundle& shown = tray.displays[0].image;
    EXPECT_GE(shown.GetDefaultSize().x, 32) << "as large as the other displays' art";

    // One of the file's squares, not a misread of its bytes.
    const wxImage image = ImageOf(shown);
    ASSERT_TRUE(image.IsOk());
    const wxColour first(image.GetRed(0, 0), image.GetGreen(0, 0), image.GetBlue(0, 0));
    EXPECT_TRUE(first == green || first == blue || first == grey) << first.GetAsString();
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            ASSERT_EQ(wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y))
                          .GetAsString(),
                      first.GetAsString())
                << "at " << x << "," << y;
}

TEST_F(PollingTest, ShortRecordStillCountsAsRunning) {
    ServeOptions options;
    options.mode = ServeOptions::Mode::Short;
    options.shortLength = 140;
    TestService service(options);
    Tick();
    ASSERT_EQ(tray.displays.size(), 1u);
    EXPECT_EQ(tray.displays[0].tooltip, kRunning);
}

TEST_F(PollingTest, StopIsReportedOnceOnTheTenthFailureAndAgainAfterAComeback) {
    TestService service;
    RunThenStop(service);

    Ticks(9);
    EXPECT_EQ(tray.displays.size(), 1u) << "the running display stays through failures 1 to 9";
    EXPECT_TRUE(desktop.notifications.empty());
    EXPECT_TRUE(tray.m_wasRunning);

    Tick();
    ASSERT_EQ(tray.displays.size(), 2u);
    ExpectStoppedDisplay(tray.displays[1]);
    ExpectOneNotification();
    EXPECT_FALSE(tray.m_wasRunning);

    Ticks(15);
    EXPECT_EQ(tray.displays.size(), 2u);
    EXPECT_EQ(desktop.notifications.size(), 1u);

    service.Start({});
    Tick();
    ASSERT_EQ(tray.displays.size(), 3u);
    EXPECT_EQ(tray.displays[2].tooltip, kRunning);
    EXPECT_TRUE(tray.m_wasRunning);

    service.Stop();
    Ticks(10);
    ASSERT_EQ(tray.displays.size(), 4u);
    ExpectStoppedDisplay(tray.displays[3]);
    ASSERT_EQ(desktop.notifications.size(), 2u);
    EXPECT_EQ(desktop.notifications[1].message, kNotificationMessage);
}

TEST_F(PollingTest, OneAnswerBetweenNineFailuresResetsTheCount) {
    TestService service;
    RunThenStop(service);
    Ticks(9);
    service.Start({});
    Tick();
    service.Stop();
    Ticks(9);
    EXPECT_EQ(tray.m_failureCount, 9);
    EXPECT_TRUE(desktop.notifications.empty());
    for (const auto& display : tray.displays) EXPECT_EQ(display.tooltip, kRunning);
}

TEST_F(PollingTest, RefusedImageChangesNoDecision) {
    TestService service;
    tray.setIconSucceeds = false;

    // Running branch: still marked as seen running, so the stop below is reported.
    Tick();
    EXPECT_TRUE(tray.m_wasRunning);
    service.Stop();
    Ticks(10);
    ExpectOneNotification();
    EXPECT_FALSE(tray.m_wasRunning);
    ASSERT_EQ(tray.displays.size(), 2u);
    ExpectStoppedDisplay(tray.displays[1]);
}

TEST_F(PollingTest, MenuRefreshesAdvanceTheSameCount) {
    TestService service;
    RunThenStop(service);

    // A menu opened during the stop brings the report forward.
    Ticks(5);
    for (int i = 0; i < 4; ++i) OpenMenu();
    EXPECT_TRUE(desktop.notifications.empty());
    Tick();
    ExpectOneNotification();

    // When the menu's refresh is the tenth failure, the next tick sees the eleventh and reports.
    service.Start({});
    Tick();
    service.Stop();
    Ticks(9);
    OpenMenu();
    EXPECT_EQ(tray.m_failureCount, 10);
    Ticks(5);
    EXPECT_EQ(desktop.notifications.size(), 2u);
    EXPECT_EQ(tray.displays.back().tooltip, kStopped);
    EXPECT_FALSE(tray.m_wasRunning);

    // A menu that finds the service answering resets the count but shows nothing itself.
    const size_t shown = tray.displays.size();
    service.Start({});
    OpenMenu();
    EXPECT_EQ(tray.m_failureCount, 0);
    EXPECT_EQ(tray.displays.size(), shown);
}

TEST_F(PollingTest, MissingServiceIconIsSilent) {
    TestService service;
    Ticks(3);
    ASSERT_EQ(tray.displays.size(), 3u);
    EXPECT_EQ(tray.displays[2].tooltip, kRunning);
    EXPECT_TRUE(tray.m_wasRunning);
    EXPECT_TRUE(desktop.messages.empty());
}

// The same through the toolkit's own tray icon, as the program runs: it goes on polling.
TEST(PollingWithToolkitTray, MissingServiceIconIsSilent) {
    TestService service;
    FakeDesktop desktop;
    Sentak tray(desktop);
    // The program runs with the toolkit's assertions off; a test would otherwise stop in a box.
    const wxAssertHandler_t assertions = wxSetAssertHandler(nullptr);
    std::wostringstream trace;
    std::wstreambuf* console = std::wcout.rdbuf(trace.rdbuf());
    {
        CapturedLog log;
        wxTimer timer;
        wxTimerEvent event(timer);
        for (int i = 0; i < 3; ++i) tray.OnTimer(event);
        EXPECT_TRUE(log.records.empty()) << log.records.front();
    }
    std::wcout.rdbuf(console);
    wxSetAssertHandler(assertions);
    EXPECT_EQ(service.ClientsServed(), 3u);
    EXPECT_TRUE(desktop.messages.empty());
}

}  // namespace
