// What a refresh leaves in the tray icon: the record, its validity and the count of failures in
// a row, with the trace on the standard output.
#include <gtest/gtest.h>

#include <iostream>
#include <limits>
#include <sstream>

#include "one_refresh.h"
#include "recording_sentak.h"
#include "test_service.h"

namespace {

// Takes what is written to std::wcout while it lives.
class CapturedTrace {
public:
    CapturedTrace() : m_previous(std::wcout.rdbuf(m_text.rdbuf())) {}
    ~CapturedTrace() { std::wcout.rdbuf(m_previous); }
    std::wstring Take() {
        const std::wstring text = m_text.str();
        m_text.str(L"");
        return text;
    }

private:
    std::wostringstream m_text;
    std::wstreambuf* m_previous;
};

ServeOptions Serving(ServeOptions::Mode mode) {
    ServeOptions options;
    options.record = MakeRecord(u"3.4.1", 8080, 0, 554, 0, 1700000000);
    options.mode = mode;
    return options;
}

class RefreshTest : public testing::Test {
protected:
    // The record is all zero whenever it is not valid, and the counter is 0 whenever it is.
    void ExpectFailed(std::int32_t count) {
        EXPECT_FALSE(tray.m_statusValid);
        EXPECT_EQ(tray.m_status, ServiceStatus{});
        EXPECT_EQ(tray.m_failureCount, count);
    }
    void ExpectValid(const ServiceStatus& record) {
        EXPECT_TRUE(tray.m_statusValid);
        EXPECT_EQ(tray.m_status, record);
        EXPECT_EQ(tray.m_failureCount, 0);
    }

    FakeDesktop desktop;
    RecordingSentak tray{desktop};
    CapturedTrace trace;
};

}  // namespace

TEST_F(RefreshTest, NoServiceCountsEveryFailureInARow) {
    UseMissingService();
    ExpectFailed(0);  // before the first refresh
    EXPECT_EQ(trace.Take(), L"");
    for (int i = 1; i <= 10; ++i) {
        tray.RefreshStatus();
        ExpectFailed(i);
        EXPECT_EQ(trace.Take(), kFailedToConnect);
    }
}

TEST_F(RefreshTest, FailureClearsTheRecordAndSuccessResetsTheCount) {
    const ServeOptions record = Serving(ServeOptions::Mode::Record);
    TestService service(record);
    tray.RefreshStatus();
    ExpectValid(record.record);
    EXPECT_EQ(trace.Take(), kDone);

    // Every way of failing clears at once and counts the same.
    service.Stop();
    tray.RefreshStatus();
    ExpectFailed(1);
    EXPECT_EQ(trace.Take(), kFailedToConnect);
    std::int32_t count = 1;
    for (ServeOptions::Mode mode : {ServeOptions::Mode::Close, ServeOptions::Mode::Hang}) {
        service.Start(Serving(mode));
        tray.RefreshStatus();
        ExpectFailed(++count);
        EXPECT_EQ(trace.Take(), kReadFailed);
    }

    service.Start(record);
    tray.RefreshStatus();
    ExpectValid(record.record);
}

// The count of a service that never comes back must not wrap to a negative number.
TEST_F(RefreshTest, FailureCountStopsAtTheLargest32BitValue) {
    UseMissingService();
    constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();
    tray.m_failureCount = kLargest - 1;
    tray.RefreshStatus();
    ExpectFailed(kLargest);
    tray.RefreshStatus();
    ExpectFailed(kLargest);

    const ServeOptions record = Serving(ServeOptions::Mode::Record);
    TestService service(record);
    tray.RefreshStatus();
    ExpectValid(record.record);
}
