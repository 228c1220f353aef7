// One refresh against a real service on a real socket: the record as it arrives, the trace
// lines, and every way a service can fail to answer.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <sstream>
#include <thread>

#include "one_refresh.h"
#include "test_service.h"

namespace {

using Clock = std::chrono::steady_clock;
using Mode = ServeOptions::Mode;

ServeOptions Serving(Mode mode, std::size_t length = 0) {
    ServeOptions options;
    options.record = MakeRecord(u"3.4.1-\u03B2", 8080, 8443, 554, 9000, 1700000000);
    options.mode = mode;
    options.shortLength = options.oversizeLength = length;
    return options;
}

}  // namespace

TEST(StatusPipe, NoServiceFailsToConnectEveryTime) {
    UseMissingService();
    for (int i = 0; i < 10; ++i) {
        const Refresh refresh = RefreshOnce();
        EXPECT_FALSE(refresh.status);
        EXPECT_EQ(refresh.trace, kFailedToConnect);
    }
    // A service that went away is as absent as one never started.
    TestService service;
    service.Stop();
    EXPECT_EQ(RefreshOnce().trace, kFailedToConnect);
}

TEST(StatusPipe, FullRecordArrivesWholeForEveryClient) {
    const ServeOptions options = Serving(Mode::Record);
    TestService service(options);
    const Refresh refresh = RefreshOnce();
    ASSERT_TRUE(refresh.status);
    EXPECT_EQ(refresh.trace, kDone);
    EXPECT_EQ(*refresh.status, options.record);
    EXPECT_EQ(refresh.status->version(), wxString::FromUTF8("3.4.1-\xCE\xB2"));
    EXPECT_EQ(refresh.status->httpPort(), 8080);
    EXPECT_EQ(refresh.status->httpsPort(), 8443);
    EXPECT_EQ(refresh.status->rtspPort(), 554);
    EXPECT_EQ(refresh.status->remotePort(), 9000);
    EXPECT_EQ(refresh.status->lastUpdate(), 1700000000);

    // One client after another, as a poll every two seconds for hours would be.
    for (int i = 0; i < 50; ++i) ASSERT_EQ(RefreshOnce().status, options.record) << i;
    EXPECT_EQ(service.ClientsServed(), 51u);
}

TEST(StatusPipe, ShortRecordSucceedsWithTheRestZero) {
    const ServeOptions options = Serving(Mode::Short, 140);
    TestService service(options);
    const Refresh refresh = RefreshOnce();
    ASSERT_TRUE(refresh.status);
    EXPECT_EQ(refresh.trace, kDone);
    EXPECT_EQ(refresh.status->version(), options.record.version());
    EXPECT_EQ(refresh.status->httpPort(), 8080);
    EXPECT_EQ(refresh.status->httpsPort(), 8443);
    EXPECT_EQ(refresh.status->rtspPort(), 0);
    EXPECT_EQ(refresh.status->remotePort(), 0);
    EXPECT_EQ(refresh.status->lastUpdate(), 0);
    for (std::size_t i = 140; i < ServiceStatus::kSize; ++i) EXPECT_EQ(refresh.status->bytes[i], 0);

    // A single byte is still a record: the first byte of reserved0, all else zero.
    ServeOptions oneByte = Serving(Mode::Short, 1);
    oneByte.record.bytes[0] = 0x5A;
    service.Start(oneByte);
    ServiceStatus expected;
    expected.bytes[0] = 0x5A;
    EXPECT_EQ(RefreshOnce().status, expected);
}

// On a stream socket a service that writes nothing and one that accepts and closes look the
// same: no record, a failed read, and no line after the read starts.
TEST(StatusPipe, ClosingWithoutWritingIsAFailedRead) {
    for (const ServeOptions& options : {Serving(Mode::Close), Serving(Mode::Short, 0)}) {
        TestService service(options);
        const Refresh refresh = RefreshOnce();
        EXPECT_FALSE(refresh.status);
        EXPECT_EQ(refresh.trace, kReadFailed);
        EXPECT_EQ(service.ClientsServed(), 1u);
    }
}

TEST(StatusPipe, OversizedAnswerIsCutAt160Bytes) {
    const ServeOptions options = Serving(Mode::Oversize, 4096);
    TestService service(options);
    for (int i = 0; i < 3; ++i) {
        const Refresh refresh = RefreshOnce();
        EXPECT_EQ(refresh.status, options.record) << "the filler after the record is dropped";
        EXPECT_EQ(refresh.trace, kDone);
    }
}

TEST(StatusPipe, HungServiceIsGivenUpAfterTheBound) {
    TestService service(Serving(Mode::Hang));
    const auto start = Clock::now();
    const Refresh refresh = RefreshOnce();
    const auto took = Clock::now() - start;
    EXPECT_FALSE(refresh.status);
    EXPECT_EQ(refresh.trace, kReadFailed);
    EXPECT_GE(took, kStatusReadBound - std::chrono::milliseconds(100));
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_EQ(service.ClientsServed(), 1u);

    // The same service answering again is read at once.
    service.Start(Serving(Mode::Record));
    EXPECT_EQ(RefreshOnce().trace, kDone);
}

TEST(StatusPipe, SlowStartFailsUntilTheServiceListens) {
    ServeOptions options = Serving(Mode::Record);
    options.startDelay = std::chrono::milliseconds(500);
    TestService service(options);
    EXPECT_EQ(RefreshOnce().trace, kFailedToConnect);
    const auto giveUp = Clock::now() + std::chrono::seconds(10);
    Refresh refresh;
    while (!refresh.status && Clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        refresh = RefreshOnce();
    }
    EXPECT_EQ(refresh.status, options.record);
}
