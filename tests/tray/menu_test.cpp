// The tray menu built from a real service on a real socket, in both its forms.
#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include <wx/debug.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "recording_sentak.h"
#include "test_service.h"
#include "tray/menu_text.h"

namespace {

// One menu entry as the user meets it. Facts are appended with wxID_ANY and get a fresh id from
// the toolkit; they are written here with wxID_ANY.
struct Entry {
    wxString label;  // as handed to the menu, mnemonics included
    int id;
    bool enabled;

    bool operator==(const Entry& other) const {
        return label == other.label && id == other.id && enabled == other.enabled;
    }
};

void PrintTo(const Entry& entry, std::ostream* out) {
    *out << "{\"" << entry.label.utf8_string() << "\", " << entry.id
         << (entry.enabled ? ", enabled}" : ", greyed}");
}

const Entry kSeparator{"-----", wxID_SEPARATOR, true};

std::vector<Entry> Describe(const wxMenu& menu) {
    std::vector<Entry> entries;
    for (const wxMenuItem* item : menu.GetMenuItems()) {
        if (item->IsSeparator()) {
            entries.push_back(kSeparator);
            continue;
        }
        int id = item->GetId();
        if (id >= wxID_AUTO_LOWEST && id <= wxID_AUTO_HIGHEST) id = wxID_ANY;
        EXPECT_EQ(item->GetKind(), wxITEM_NORMAL) << item->GetItemLabel();
        EXPECT_TRUE(item->GetHelp().empty()) << item->GetItemLabel();
        entries.push_back({item->GetItemLabel(), id, item->IsEnabled()});
    }
    return entries;
}

ServeOptions Serving(const ServiceStatus& record) {
    ServeOptions options;
    options.record = record;
    return options;
}

// The time entry as the C library writes the same moment in local time.
wxString LocalTimeEntry(std::time_t seconds) {
    char text[128];
    std::strftime(text, sizeof text, "Last updated %x %X", std::localtime(&seconds));
    return wxString(text);
}

// Puts the process in a fixed time zone east of UTC, so that local time differs from UTC.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const wxString& zone) {
        wxString old;
        if (wxGetEnv("TZ", &old)) m_old = old;
        wxSetEnv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_old)
            wxSetEnv("TZ", *m_old);
        else
            wxUnsetEnv("TZ");
        tzset();
    }

private:
    std::optional<wxString> m_old;
};

// Counts the toolkit's assertions instead of letting them open a box.
class AssertCounter {
public:
    AssertCounter() : m_previous(wxSetAssertHandler(&Count)) { count = 0; }
    ~AssertCounter() { wxSetAssertHandler(m_previous); }
    static int count;

private:
    static void Count(const wxString&, int, const wxString&, const wxString&, const wxString&) {
        ++count;
    }
    wxAssertHandler_t m_previous;
};
int AssertCounter::count = 0;

class MenuTest : public testing::Test {
protected:
    std::unique_ptr<wxMenu> Open() { return std::unique_ptr<wxMenu>(tray.CreatePopupMenu()); }
    std::vector<Entry> OpenAndDescribe() { return Describe(*Open()); }

    FakeDesktop desktop;
    RecordingSentak tray{desktop};
};

TEST_F(MenuTest, RunningServiceShowsItsFactsAndOffersItsWebPage) {
    TestService service(Serving(MakeRecord(u"3.4.1", 8080, 0, 554, 0, 1700000000)));
    EXPECT_EQ(OpenAndDescribe(), (std::vector<Entry>{
                                     {"Vantora 3", wxID_ANY, false},
                                     kSeparator,
                                     {"Version: 3.4.1", wxID_ANY, false},
                                     {"HTTP port: 8080", wxID_ANY, false},
                                     {"HTTPS port: ???", wxID_ANY, false},
                                     {"RTSP port: 554", wxID_ANY, false},
                                     {"Remote connection port: ???", wxID_ANY, false},
                                     kSeparator,
                                     {"Open web &settings", ID_OPEN_WEB_SETTINGS, true},
                                 }));

    // The same facts as the service has them: no grouping, minus signs kept, extremes whole.
    service.Start(Serving(MakeRecord(u"3.4.1", -5, INT32_MAX, INT32_MIN, 1, 0)));
    const std::vector<Entry> extremes = OpenAndDescribe();
    ASSERT_EQ(extremes.size(), 9u);
    EXPECT_EQ(extremes[3].label, "HTTP port: -5");
    EXPECT_EQ(extremes[4].label, "HTTPS port: 2147483647");
    EXPECT_EQ(extremes[5].label, "RTSP port: -2147483648");
    EXPECT_EQ(extremes[6].label, "Remote connection port: 1");
}

TEST_F(MenuTest, WebSettingsNeedAWebPort) {
    TestService service(Serving(MakeRecord(u"3.4.1", 0, 0, 554, 7000, 0)));
    std::vector<Entry> entries = OpenAndDescribe();
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[3].label, "HTTP port: ???");
    EXPECT_EQ(entries[4].label, "HTTPS port: ???");
    EXPECT_EQ(entries[6].label, "Remote connection port: 7000");
    EXPECT_EQ(entries[8], (Entry{"Open web &settings", ID_OPEN_WEB_SETTINGS, false}));

    service.Start(Serving(MakeRecord(u"3.4.1", 0, 8443, 554, 0, 0)));
    entries = OpenAndDescribe();
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[4].label, "HTTPS port: 8443");
    EXPECT_EQ(entries[8], (Entry{"Open web &settings", ID_OPEN_WEB_SETTINGS, true}));
}

TEST_F(MenuTest, MissingServiceIsAnnouncedAndItsFactsAreUnknown) {
    UseMissingService();
    EXPECT_EQ(OpenAndDescribe(), (std::vector<Entry>{
                                     {"Vantora 3 Service NOT RUNNING", wxID_ANY, true},
                                     kSeparator,
                                     {"Version: ???", wxID_ANY, false},
                                     {"HTTP port: ???", wxID_ANY, false},
                                     {"HTTPS port: ???", wxID_ANY, false},
                                     {"RTSP port: ???", wxID_ANY, false},
                                     {"Remote connection port: ???", wxID_ANY, false},
                                     kSeparator,
                                     {"Open web &settings", ID_OPEN_WEB_SETTINGS, false},
                                 }));
}

TEST_F(MenuTest, ShiftAddsTheLastUpdateAndTheServiceAndExitCommands) {
    const ScopedTimeZone zone("IST-5:30");
    const wxString epoch = LocalTimeEntry(0);
    ASSERT_NE(epoch.Find("05:30:00"), wxNOT_FOUND) << epoch;  // the zone is in force

    TestService service(Serving(MakeRecord(u"3.4.1", 8080, 0, 554, 0, 0)));
    desktop.shiftDown = true;
#ifdef _WIN32
    const wxString manage = "&Manage Windows services";
#else
    const wxString manage = "&Manage services";  // the system's own service manager
#endif
    EXPECT_EQ(OpenAndDescribe(), (std::vector<Entry>{
                                     {epoch, wxID_ANY, true},
                                     {"Vantora 3", wxID_ANY, false},
                                     kSeparator,
                                     {"Version: 3.4.1", wxID_ANY, false},
                                     {"HTTP port: 8080", wxID_ANY, false},
                                     {"HTTPS port: ???", wxID_ANY, false},
                                     {"RTSP port: 554", wxID_ANY, false},
                                     {"Remote connection port: ???", wxID_ANY, false},
                                     kSeparator,
                                     {"Open web &settings", ID_OPEN_WEB_SETTINGS, true},
                                     {manage, ID_MANAGE_SERVICES, true},
                                     kSeparator,
                                     {"E&xit tray application", ID_EXIT_TRAY, true},
                                 }));

    // A service that has no time to tell.
    service.Start(Serving(MakeRecord(u"3.4.1", 8080, 0, 554, 0, -1)));
    const AssertCounter asserts;
    EXPECT_EQ(OpenAndDescribe().front(), (Entry{"Last updated ???", wxID_ANY, true}));
    EXPECT_EQ(AssertCounter::count, 0);
}

TEST_F(MenuTest, ShiftWithTheServiceDownShowsTheCurrentTime) {
    UseMissingService();
    desktop.shiftDown = true;
    const std::time_t before = std::time(nullptr);
    const std::vector<Entry> entries = OpenAndDescribe();
    const std::time_t after = std::time(nullptr);

    ASSERT_EQ(entries.size(), 13u);
    bool matched = false;
    for (std::time_t t = before; t <= after; ++t) matched |= entries[0].label == LocalTimeEntry(t);
    EXPECT_TRUE(matched) << entries[0].label;
    EXPECT_EQ(entries[1], (Entry{"Vantora 3 Service NOT RUNNING", wxID_ANY, true}));
    EXPECT_EQ(entries[12], (Entry{"E&xit tray application", ID_EXIT_TRAY, true}));
}

TEST(LastUpdatedText, TimesBeyondTheCalendarShowAsUnknownWithoutAssertions) {
    const AssertCounter asserts;
    for (const std::int64_t seconds :
         {std::int64_t{-1}, std::int64_t{INT64_MAX}, std::int64_t{INT64_MIN},
          std::int64_t{253402300800}, std::int64_t{-62135596801}})
        EXPECT_EQ(LastUpdatedText(seconds), "Last updated ???") << seconds;
    // The first and last second of the years 1 and 9999, seen from both ends of the world.
    for (const char* zone : {"AAA+12", "BBB-14"}) {
        const ScopedTimeZone inZone(zone);
        for (const std::int64_t seconds : {std::int64_t{-62135596800}, std::int64_t{253402300799}})
            EXPECT_NE(LastUpdatedText(seconds), "Last updated ???") << seconds << " " << zone;
    }
    EXPECT_EQ(AssertCounter::count, 0);
}

TEST_F(MenuTest, VersionIsShownExactlyAsTheServiceWroteIt) {
    TestService service(Serving(MakeRecord(u"", 8080, 0, 554, 0, 0)));
    std::unique_ptr<wxMenu> menu = Open();
    EXPECT_EQ(menu->FindItemByPosition(2)->GetItemLabel(), "Version: ");

    // Neither a mnemonic, nor a format, nor an accelerator.
    service.Start(Serving(MakeRecord(u"R&D 100%s\tAlt+X", 8080, 0, 554, 0, 0)));
    menu = Open();
    const wxMenuItem* version = menu->FindItemByPosition(2);
    EXPECT_EQ(version->GetItemLabelText(), "Version: R&D 100%s Alt+X");
    EXPECT_FALSE(std::unique_ptr<wxAcceleratorEntry>(version->GetAccel()));
    // The program's own texts keep their mnemonics.
    EXPECT_EQ(menu->FindItemByPosition(8)->GetItemLabelText(), "Open web settings");
}

TEST_F(MenuTest, EachOpeningReadsTheServiceAfresh) {
    TestService service(Serving(MakeRecord(u"3.4.1", 8080, 0, 554, 0, 0)));
    for (int i = 0; i < 3; ++i) Open();
    EXPECT_EQ(service.ClientsServed(), 3u);

    service.Stop();
    EXPECT_EQ(OpenAndDescribe().front().label, "Vantora 3 Service NOT RUNNING");

    // Openings with the service down count as failures just as poll ticks do.
    const std::int32_t failures = tray.m_failureCount;
    for (int i = 0; i < 10; ++i) Open();
    EXPECT_EQ(tray.m_failureCount, failures + 10);
}

}  // namespace
