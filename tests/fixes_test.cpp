// A stop reported after a menu's refresh, whole records, catalogues that cannot break a format,
// texts from outside on one line, and the service icon decoded only when its file changed.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include <wx/menu.h>

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

}  // namespace
