#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/unique_fd.h"
#include "platform/status_pipe.h"

namespace {

class SocketPipe : public StatusPipe {
public:
    explicit SocketPipe(int fd) : m_socket(fd) {}

    // The process that accepted us: where the service itself listens, a new one means a new
    // process of the service.
    std::optional<std::uint32_t> ServerProcess() const override {
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(m_socket.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
            peer.pid <= 0)
            return std::nullopt;
        return std::uint32_t(peer.pid);
    }

    std::optional<std::size_t> Read(std::uint8_t* buffer, std::size_t size) override {
        using Clock = std::chrono::steady_clock;
        // One deadline for the whole record: a service dripping it byte by byte must not hold
        // the tray longer than one that hangs.
        const auto deadline = Clock::now() + kStatusReadBound;
        std::size_t got = 0;
        while (got < size) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return std::nullopt;  // a torn record is no record
            pollfd ready{m_socket.get(), POLLIN, 0};
            const int polled = ::poll(&ready, 1, int(left.count()));
            if (polled < 0 && errno == EINTR) continue;
            if (polled <= 0) return std::nullopt;  // error, or silent until the deadline
            const ssize_t received = ::recv(m_socket.get(), buffer + got, size - got, MSG_DONTWAIT);
            if (received < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (received < 0) return std::nullopt;
            if (received == 0) break;  // the service closed: what came is the record, the rest zero
            got += std::size_t(received);
        }
        // A stream has no empty record: closing without writing is a failed read.
        if (got == 0) return std::nullopt;
        return got;
    }

private:
    UniqueFd m_socket;
};

}  // namespace

const char kDefaultStatusPipePath[] = "/run/Quenthal";

// Only a system service can create the default path, so any server of it is the service's.
std::unique_ptr<StatusPipe> StatusPipe::Open(const wxString&) {
    const std::string path = StatusPipePath();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return nullptr;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return nullptr;
    // Non-blocking: a service whose backlog is full refuses at once (EAGAIN), like a busy pipe.
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return nullptr;
    return std::make_unique<SocketPipe>(fd.release());
}
