// A stop reported after a menu's refresh, whole records, catalogues that cannot break a format,
// texts from outside on one line, and the service icon decoded only when its file changed.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include <wx/menu.h>

#include "one_refresh.h"
#include "recording_sentak.h"
#include "test_service.h"

namespace {

const ServiceStatus kRecord = MakeRecord(u"7.1", 8080, 8443, 554, 7070, 1700000000);

ServeOptions Serving(ServeOptions::Mode mode, int dripMs = 0) {
    ServeOptions options;
    options.record = kRecord;
    options.mode = mode;
    options.dripInterval = std::chrono::milliseconds(dripMs);
    return options;
}

class Fixes : public testing::Test {
protected:
    Fixes() : m_console(std::wcout.rdbuf(m_trace.rdbuf())) {}
    ~Fixes() override { std::wcout.rdbuf(m_console); }

    void Ticks(int count) {
        wxTimer timer;
        wxTimerEvent event(timer);
        for (int i = 0; i < count; ++i) tray.OnTimer(event);
    }

    std::wostringstream m_trace;
    std::wstreambuf* m_console;
    FakeDesktop desktop;
    RecordingSentak tray{desktop};
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
