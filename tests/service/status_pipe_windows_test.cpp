// What only the named pipe transport can get wrong: busy instances, a read of no bytes, and a
// pipe name already taken.
#include <gtest/gtest.h>
#include <wx/string.h>

#include <chrono>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "one_refresh.h"
#include "platform/unique_handle_windows.h"
#include "test_service.h"

namespace {

using Clock = std::chrono::steady_clock;

// A pipe served by hand, for what the stand-in service never does.
UniqueHandle MakePipe(const std::string& name, DWORD instances, DWORD type = PIPE_TYPE_BYTE) {
    return UniqueHandle(::CreateNamedPipeW(wxString::FromUTF8(name).wc_str(), PIPE_ACCESS_OUTBOUND,
                                           type | PIPE_WAIT, instances, 4096, 4096, 0, nullptr));
}

UniqueHandle ConnectTo(const std::string& name) {
    return UniqueHandle(::CreateFileW(wxString::FromUTF8(name).wc_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
}

}  // namespace

// A service whose every instance is taken must not stall the tray: no waiting for one to free.
TEST(StatusNamedPipe, BusyInstancesFailAtOnce) {
    TestService place;  // only for its private name
    place.Stop();
    const UniqueHandle server = MakePipe(place.Path(), 1);
    ASSERT_TRUE(server.valid());
    const UniqueHandle other = ConnectTo(place.Path());
    ASSERT_TRUE(other.valid());
    const auto start = Clock::now();
    EXPECT_EQ(RefreshOnce().trace, kFailedToConnect);
    EXPECT_LT(Clock::now() - start, kStatusReadBound);
}

// A message pipe delivers an empty message as a read of no bytes, which succeeds: a record,
// all zero.
TEST(StatusNamedPipe, EmptyReadIsAnAllZeroRecord) {
    TestService place;
    place.Stop();
    const UniqueHandle server = MakePipe(place.Path(), 1, PIPE_TYPE_MESSAGE);
    ASSERT_TRUE(server.valid());
    std::thread serve([&server] {
        ::ConnectNamedPipe(server.get(), nullptr);
        DWORD written = 0;
        ::WriteFile(server.get(), "", 0, &written, nullptr);
        ::FlushFileBuffers(server.get());
    });
    const Refresh refresh = RefreshOnce();
    serve.join();
    EXPECT_EQ(refresh.trace, kDone);
    EXPECT_EQ(refresh.status, ServiceStatus());
}

// One service per name: a second one, started at once or late, is refused while the first
// serves, and the name is free again once it has stopped.
TEST(StatusNamedPipe, SecondServerOnTheSameNameIsRefused) {
    TestService service;
    ServeOptions late;
    late.startDelay = std::chrono::milliseconds(100);
    EXPECT_THROW(StatusServer(service.Path(), {}), std::runtime_error);
    EXPECT_THROW(StatusServer(service.Path(), late), std::runtime_error);
    EXPECT_EQ(RefreshOnce().trace, kDone) << "the first service still answers";
    service.Stop();
    EXPECT_NO_THROW(StatusServer(service.Path(), {}));
}
