// Hostile files where the program reads its own: a brand file of megabytes with a name of a
// thousand characters, and service icons that are empty, cut short, lying or no icons at all.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <wx/stdpaths.h>

#include "hostile_tray.h"
#include "platform/platform.h"
#include "test_service.h"

namespace fs = std::filesystem;

namespace {

const std::string kKey = "\"productname\": \"";

std::string Junk(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = char(random());
    return bytes;
}

std::string LongName() {
    std::string name;
    while (name.size() < 1000) name += "Acme Recorder ";
    name.resize(1000);
    return name;
}

fs::path ResourcesBesideUs() {
    return fs::path(wxStandardPaths::Get().GetExecutablePath().ToStdString()).parent_path() /
           "Resources";
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// For the whole run, the brand file beside this binary is 8 MiB: the key and a name of a
// thousand characters, then binary junk with every malformed UTF-8 there is. Laid down before
// any test asks for the product name, which is read once per process.
class HostileBrandFile : public testing::Environment {
public:
    void SetUp() override {
        fs::create_directories(ResourcesBesideUs());
        WriteFile(ResourcesBesideUs() / "brand.json",
                  "{" + kKey + LongName() + "\", " + Junk(8 << 20, 1) + "}");
    }
    void TearDown() override { fs::remove_all(ResourcesBesideUs()); }
};

const testing::Environment* const kBrandFile =
    testing::AddGlobalTestEnvironment(new HostileBrandFile);

// A service icon of the given bytes where the program looks for it, for as long as it lives.
class InstalledIcon {
public:
    explicit InstalledIcon(const std::string& bytes) : m_icons(ResourcesBesideUs() / "Icons") {
        fs::create_directories(m_icons);
        WriteFile(m_icons / "dvr.ico", bytes);
    }
    ~InstalledIcon() { fs::remove_all(m_icons); }

private:
    fs::path m_icons;
};

TEST(HostileBrandFile, OnlyItsFirstKilobyteCountsAndItsBytesAreNeverRejectedWhole) {
    CapturedLog log;
    EXPECT_EQ(GetProductName(), wxString(LongName()));

    const fs::path scratch = ResourcesBesideUs() / "scratch.json";
    const auto nameOf = [&](const std::string& bytes) {
        WriteFile(scratch, bytes);
        return ReadProductNameFrom(scratch.string());
    };
    // Megabytes of binary, with and without the key in their first kilobyte.
    EXPECT_EQ(nameOf(Junk(4 << 20, 2)), "Vantora 3");
    EXPECT_EQ(nameOf(kKey + "Acme\"" + Junk(4 << 20, 3)), "Acme");
    EXPECT_EQ(nameOf(Junk(2000, 4) + kKey + "Late\""), "Vantora 3");
    // Malformed UTF-8 in the name: each bad stretch is one U+FFFD, the rest stays.
    EXPECT_EQ(nameOf(kKey + "\xC0\xAF"
                            "A\xED\xA0\x80"
                            "B\xF4\x90\x80\x80"
                            "C\xE2\x82\""),
              wxString::FromUTF8("\xEF\xBF\xBD\xEF\xBF\xBD"
                                 "A\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                 "B\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                 "C\xEF\xBF\xBD"));
    // A name that is all malformed bytes is still a name; a NUL ends the text.
    EXPECT_EQ(nameOf(kKey + "\xFF\xFE\""), wxString::FromUTF8("\xEF\xBF\xBD\xEF\xBF\xBD"));
    EXPECT_EQ(nameOf(kKey + "Acme" + std::string(1, '\0') + "Hidden\""), "Acme");
    fs::remove(scratch);
    EXPECT_TRUE(log.records.empty()) << log.records.front();
}

class HostileIcon : public HostileTrayTest {};

TEST_F(HostileIcon, TheTrayRunsOnWithTheLongNameAndWhateverIconItCanRead) {
    const std::string shipped = ReadFile(SENTAK_RESOURCES_DIR "/Icons/dvr.ico");
    ASSERT_GT(shipped.size(), 100u);
    // Icon directories that lie: 65535 images claimed in six bytes; 65535 entries that all
    // point far past the end of the file; one entry of an absurd size.
    const std::string lyingCount("\0\0\1\0\xFF\xFF", 6);
    const std::string farEntry("\0\0\0\0\1\0\x20\0\xFF\xFF\xFF\x7F\xF0\xFF\xFF\x7F", 16);
    std::string pastTheEnd = lyingCount;
    for (int i = 0; i < 0xFFFF; ++i) pastTheEnd += farEntry;
    const std::string absurdSize = std::string("\0\0\1\0\1\0", 6) + farEntry;
    const std::vector<std::pair<const char*, std::string>> icons = {
        {"empty", ""},
        {"truncated to half", shipped.substr(0, shipped.size() / 2)},
        {"truncated in its directory", shipped.substr(0, 10)},
        {"text", "this is not an icon\n"},
        {"binary junk", Junk(256 << 10, 5)},
        {"lying image count", lyingCount},
        {"entries past the end", pastTheEnd},
        {"absurd size", absurdSize},
    };

    TestService service;
    Sentak toolkitTray(desktop);  // the toolkit's own SetIcon, which gets what was loaded
    for (const auto& [what, bytes] : icons) {
        SCOPED_TRACE(what);
        InstalledIcon icon(bytes);
        const std::size_t before = tray.displays.size();
        Tick();
        ASSERT_EQ(tray.displays.size(), before + 1);
        EXPECT_EQ(tray.displays.back().tooltip, Running());
        EXPECT_TRUE(tray.m_wasRunning);
        Timed([&] {
            wxTimer timer;
            wxTimerEvent event(timer);
            toolkitTray.OnTimer(event);
        });
    }
    EXPECT_EQ(MenuHeader(), GetProductName());
    EXPECT_TRUE(desktop.notifications.empty());
}

// The toolkit's tray keeps a copy of every masked image it is given, 4 KiB every 2 s for as long
// as the service runs; the running display's images come to it with their transparency as alpha.
TEST(ServiceIcon, ReachesTheTrayWithoutAMask) {
    const wxBitmapBundle icon = LoadIconFile(SENTAK_RESOURCES_DIR "/Icons/dvr.ico");
    ASSERT_TRUE(icon.IsOk());
    for (const int size : {16, 32, 48, 256}) {
        const wxBitmap bitmap = icon.GetBitmap(wxSize(size, size));
        ASSERT_TRUE(bitmap.IsOk()) << size;
        EXPECT_EQ(bitmap.GetMask(), nullptr) << size;
        EXPECT_TRUE(bitmap.HasAlpha()) << size;
    }
}

}  // namespace
