// The real client against services that misbehave: the tray never waits on them longer than the
// read bound, and its counter, displays and stop reports follow the same rules as ever.
#include <filesystem>

#include "hostile_tray.h"
#include "test_service.h"

namespace {

using Mode = ServeOptions::Mode;

const ServiceStatus kRecord = MakeRecord(u"7.0.2-hostile", 8080, 8443, 554, 9000, 1700000000);

ServeOptions Serving(Mode mode) {
    ServeOptions options;
    options.record = kRecord;
    options.mode = mode;
    return options;
}

// The record as a client that got only its first length bytes holds it.
ServiceStatus FirstBytes(std::size_t length) {
    ServiceStatus partial;
    std::copy_n(kRecord.bytes.begin(), length, partial.bytes.begin());
    return partial;
}

std::size_t OpenDescriptors() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
}

class HostileService : public HostileTrayTest {
protected:
    void ExpectRunning() {
        EXPECT_TRUE(tray.m_statusValid);
        EXPECT_EQ(tray.m_failureCount, 0);
        ASSERT_FALSE(tray.displays.empty());
        EXPECT_EQ(tray.displays.back().tooltip, Running());
    }
    void ExpectFailed(int failures) {
        EXPECT_FALSE(tray.m_statusValid);
        EXPECT_EQ(tray.m_failureCount, failures);
        EXPECT_EQ(tray.m_status, ServiceStatus());
    }
    void ExpectStopReports(std::size_t count) {
        ASSERT_EQ(desktop.notifications.size(), count);
        EXPECT_EQ(tray.displays.back().tooltip, Stopped());
        EXPECT_FALSE(tray.m_wasRunning);
    }
};

TEST_F(HostileService, HangingServiceIsAFailureOfEveryRefreshAndReportedOnce) {
    TestService service(Serving(Mode::Record));
    Tick();
    ExpectRunning();

    service.Start(Serving(Mode::Hang));
    Ticks(9);
    ExpectFailed(9);
    EXPECT_TRUE(desktop.notifications.empty());
    EXPECT_EQ(tray.displays.back().tooltip, Running());
    Tick();
    ExpectStopReports(1);

    // The menu is not held up either, and the ticks after the report stay quiet.
    EXPECT_EQ(MenuHeader(), GetProductName() + " Service NOT RUNNING");
    Tick();
    ExpectFailed(12);
    ExpectStopReports(1);
    EXPECT_EQ(service.ClientsServed(), 12u);
}

TEST_F(HostileService, PartialRecordsAreTakenAsTheyCome) {
    // One byte every 100 ms: not whole within the read bound, so no record.
    {
        TestService service(Serving(Mode::Drip));
        Ticks(3);
        ExpectFailed(3);
    }
    // Half the record, then the connection is torn down.
    ServeOptions reset = Serving(Mode::Reset);
    reset.shortLength = 80;
    TestService service(reset);
    Ticks(3);
    ExpectRunning();
    EXPECT_EQ(tray.m_status, FirstBytes(80));

    // Torn down before the first byte: a failure every time, reported as a stop on the tenth.
    reset.shortLength = 0;
    service.Start(reset);
    Ticks(10);
    ExpectFailed(10);
    ExpectStopReports(1);
}

TEST_F(HostileService, OnlyTheRecordIsTakenFromMegabytesOffered) {
    ServeOptions flood = Serving(Mode::Oversize);
    flood.oversizeLength = 16 << 20;
    TestService service(flood);
    Ticks(5);
    ExpectRunning();
    EXPECT_EQ(tray.m_status, kRecord);
    EXPECT_EQ(tray.displays.size(), 5u);
}

TEST_F(HostileService, ServiceThatKeepsTheConnectionOpenStillAnswersInOneRead) {
    // A client that waited for the end of the stream would run into the read bound and fail.
    TestService service(Serving(Mode::KeepOpen));
    for (int i = 0; i < 5; ++i) {
        Tick();
        ExpectRunning();
        EXPECT_EQ(tray.m_status, kRecord);
    }
    EXPECT_EQ(MenuHeader(), GetProductName());
    EXPECT_TRUE(desktop.notifications.empty());
}

TEST_F(HostileService, AThousandConnectsInARowLeaveNothingBehind) {
    TestService service(Serving(Mode::Record));
    Tick();  // whatever the toolkit opens on first use is open from here on
    service.Stop();
    const std::size_t descriptors = OpenDescriptors();

    service.Start(Serving(Mode::Record));
    for (int i = 0; i < 1000; ++i) {
        Timed([this] { tray.RefreshStatus(); });
        ASSERT_TRUE(tray.m_statusValid) << "connect " << i;
    }
    EXPECT_EQ(tray.m_status, kRecord);
    EXPECT_EQ(service.ClientsServed(), 1000u);
    service.Stop();
    EXPECT_EQ(OpenDescriptors(), descriptors);

    // A thousand refused ones count on without a cap, and only a tick ever reports a stop: the
    // one after them sees far more than ten failures and reports it, once.
    for (int i = 0; i < 1000; ++i) Timed([this] { tray.RefreshStatus(); });
    ExpectFailed(1000);
    Tick();
    ExpectFailed(1001);
    EXPECT_EQ(desktop.notifications.size(), 1u);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(HostileService, FlappingEveryTickIsNeverReported) {
    // A minute of a service that is up on one tick and gone on the next: the failures never
    // come ten in a row.
    TestService service(Serving(Mode::Record));
    for (int tick = 0; tick < 30; ++tick) {
        if (tick % 2 == 0)
            service.Start(Serving(Mode::Record));
        else
            service.Stop();
        Tick();
        EXPECT_EQ(tray.m_failureCount, tick % 2) << "tick " << tick;
    }
    EXPECT_EQ(tray.displays.size(), 15u);
    EXPECT_EQ(tray.displays.back().tooltip, Running());
    EXPECT_TRUE(desktop.notifications.empty());
    EXPECT_TRUE(tray.m_wasRunning);
}

TEST_F(HostileService, FlappingTenDownOneUpIsReportedOncePerStop) {
    TestService service(Serving(Mode::Record));
    for (int stop = 1; stop <= 3; ++stop) {
        service.Start(Serving(Mode::Record));
        Tick();
        ExpectRunning();
        service.Stop();
        Ticks(9);
        EXPECT_EQ(desktop.notifications.size(), std::size_t(stop - 1));
        EXPECT_EQ(tray.displays.back().tooltip, Running());
        Tick();
        ExpectStopReports(stop);
    }
}

}  // namespace
