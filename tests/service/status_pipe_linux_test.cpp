// What only the socket transport can get wrong: a connect that blocks, and descriptors that leak.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "one_refresh.h"
#include "test_service.h"

namespace {

using Clock = std::chrono::steady_clock;

std::size_t OpenDescriptors() {
    const auto fds = std::filesystem::directory_iterator("/proc/self/fd");
    return std::distance(begin(fds), end(fds));
}

}  // namespace

// A service too busy to take more clients must not stall the tray: the connect fails at once,
// like a pipe whose instances are all busy.
TEST(StatusSocket, FullBacklogOrNoSocketFailsAtOnce) {
    TestService place;  // only for its private path
    place.Stop();
    const std::string path = place.Path();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    const auto* generic = reinterpret_cast<const sockaddr*>(&address);

    const int busy = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(busy, generic, sizeof(address)), 0);
    ASSERT_EQ(::listen(busy, 0), 0);  // never accepts
    std::vector<int> waiting;
    for (;;) {
        const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (::connect(client, generic, sizeof(address)) != 0) {
            ::close(client);
            break;
        }
        waiting.push_back(client);
        ASSERT_LT(waiting.size(), 100u) << "the backlog never filled";
    }
    auto start = Clock::now();
    EXPECT_EQ(RefreshOnce().trace, kFailedToConnect);
    EXPECT_LT(Clock::now() - start, kStatusReadBound);
    for (int fd : waiting) ::close(fd);
    ::close(busy);
    ::unlink(path.c_str());

    std::ofstream(path) << "not a socket";
    start = Clock::now();
    EXPECT_EQ(RefreshOnce().trace, kFailedToConnect);
    EXPECT_LT(Clock::now() - start, kStatusReadBound);
    std::filesystem::remove(path);
}

// Hours of polling must not use up descriptors, whatever the service does; the service's own
// descriptors are counted too.
TEST(StatusSocket, NoDescriptorLeaksOnAnyOutcome) {
    const std::size_t before = OpenDescriptors();
    {
        TestService service;
        const ServeOptions::Mode modes[] = {ServeOptions::Mode::Record, ServeOptions::Mode::Short,
                                            ServeOptions::Mode::Close,
                                            ServeOptions::Mode::Oversize};
        for (ServeOptions::Mode mode : modes) {
            ServeOptions options;
            options.mode = mode;
            options.shortLength = 140;
            options.oversizeLength = 1000;
            service.Start(options);
            for (int i = 0; i < 40; ++i) RefreshOnce();
        }
        service.Stop();
        for (int i = 0; i < 38; ++i) RefreshOnce();
        ServeOptions hang;
        hang.mode = ServeOptions::Mode::Hang;
        service.Start(hang);
        for (int i = 0; i < 2; ++i) RefreshOnce();
        EXPECT_EQ(service.ClientsServed(), 2u);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}
