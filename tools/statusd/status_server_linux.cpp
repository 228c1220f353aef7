#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/linux/unique_fd.h"
#include "status_answer.h"
#include "status_server.h"

namespace {

// A client that does not take its bytes within this long is given up, so that one stuck
// client cannot stall the service for everyone after it.
constexpr int kSendBoundMs = 2000;

std::runtime_error Failure(const std::string& what, const std::string& path) {
    return std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        throw std::runtime_error("socket path is empty or too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// True when a server accepts connections at the path (a full backlog counts: it is alive).
bool SomeoneAnswers(const sockaddr_un& address) {
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (probe.get() < 0) throw Failure("cannot create a socket for", address.sun_path);
    if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
        return true;
    if (errno == EAGAIN || errno == EINPROGRESS) return true;
    if (errno == ECONNREFUSED || errno == ENOENT) return false;
    throw Failure("cannot reach", address.sun_path);
}

}  // namespace

struct StatusServer::Impl {
    std::string path;
    ServeOptions options;
    sockaddr_un address;
    UniqueFd listener;
    UniqueFd wakeRead, wakeWrite;  // Stop() writes one byte here, which poll() sees
    std::atomic<std::size_t> served{0};
    std::vector<UniqueFd> held;  // hung clients, kept until they leave or the server stops
    dev_t device = 0;            // identity of our socket file, so that we only ever remove our own
    ino_t inode = 0;

    void Listen() {
        if (SomeoneAnswers(address)) throw std::runtime_error("another server answers at " + path);
        struct stat existing;
        if (::lstat(path.c_str(), &existing) == 0) {
            if (!S_ISSOCK(existing.st_mode))
                throw std::runtime_error("refusing to replace " + path + ": not a socket");
            ::unlink(path.c_str());  // stale: its server is gone
        }
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (fd.get() < 0) throw Failure("cannot create a socket for", path);
        if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
            throw Failure("cannot bind", path);
        struct stat ours;
        if (::stat(path.c_str(), &ours) == 0) device = ours.st_dev, inode = ours.st_ino;
        listener = std::move(fd);
        if (::listen(listener.get(), SOMAXCONN) != 0) throw Failure("cannot listen at", path);
    }

    bool StopRequested(int timeoutMs) {
        pollfd wake{wakeRead.get(), POLLIN, 0};
        return ::poll(&wake, 1, timeoutMs) > 0;
    }

    // Writes all bytes unless the client goes away, stalls, or the server is stopped; true when
    // all were written.
    bool Send(int client, const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t sent = ::send(client, data, size, MSG_NOSIGNAL);
            if (sent > 0) {
                data += sent, size -= std::size_t(sent);
                continue;
            }
            if (sent < 0 && errno == EINTR) continue;
            if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
            pollfd ready[] = {{client, POLLOUT, 0}, {wakeRead.get(), POLLIN, 0}};
            if (::poll(ready, 2, kSendBoundMs) <= 0 || ready[1].revents) return false;
        }
        return true;
    }

    void Serve(UniqueFd client) {
        ++served;  // before answering, so that a client that has its answer sees itself counted
        const bool sent = SendAnswer(
            options,
            [&](const std::uint8_t* data, std::size_t size) {
                return Send(client.get(), data, size);
            },
            [&](std::chrono::milliseconds time) { return !StopRequested(int(time.count())); });
        if (options.mode == ServeOptions::Mode::Hang ||
            (options.mode == ServeOptions::Mode::KeepOpen && sent)) {
            held.push_back(std::move(client));
        } else if (options.mode == ServeOptions::Mode::Reset) {
            // Abortive close. A Unix socket has no reset to send: the bytes already written
            // stay readable and the client then sees the end of the stream.
            const linger abort{1, 0};
            ::setsockopt(client.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
        }
    }
};

StatusServer::StatusServer(std::string path, ServeOptions options) : m_impl(new Impl) {
    m_impl->address = AddressOf(path);
    m_impl->path = std::move(path);
    m_impl->options = std::move(options);
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Failure("cannot create the stop pipe for", m_impl->path);
    m_impl->wakeRead = UniqueFd(wake[0]);
    m_impl->wakeWrite = UniqueFd(wake[1]);
    // A slow start listens only later, in Run(), but refuses a taken path at once.
    if (m_impl->options.startDelay.count() > 0) {
        if (SomeoneAnswers(m_impl->address))
            throw std::runtime_error("another server answers at " + m_impl->path);
    } else {
        m_impl->Listen();
    }
}

StatusServer::~StatusServer() {
    m_impl->held.clear();
    if (m_impl->listener.get() < 0) return;
    m_impl->listener = UniqueFd();
    struct stat current;
    if (::stat(m_impl->path.c_str(), &current) == 0 && current.st_dev == m_impl->device &&
        current.st_ino == m_impl->inode)
        ::unlink(m_impl->path.c_str());
}

void StatusServer::Run() {
    Impl& impl = *m_impl;
    if (impl.listener.get() < 0) {
        if (impl.StopRequested(int(impl.options.startDelay.count()))) return;
        impl.Listen();
    }
    std::vector<pollfd> watched;
    for (;;) {
        watched.assign({{impl.wakeRead.get(), POLLIN, 0}, {impl.listener.get(), POLLIN, 0}});
        for (const UniqueFd& client : impl.held) watched.push_back({client.get(), POLLIN, 0});
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (watched[0].revents) return;
        // A held client that hung up (or wrote, which no client should) is let go.
        for (std::size_t i = watched.size(); i-- > 2;)
            if (watched[i].revents) impl.held.erase(impl.held.begin() + (i - 2));
        if (watched[1].revents & POLLIN) {
            UniqueFd client(
                ::accept4(impl.listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (client.get() >= 0)
                impl.Serve(std::move(client));
            else if (errno == EMFILE || errno == ENFILE)
                impl.StopRequested(100);  // out of descriptors: back off instead of spinning
        }
    }
}

void StatusServer::Stop() {
    // Only async-signal-safe calls here: one write to a non-blocking pipe.
    const char wake = 1;
    const ssize_t written = ::write(m_impl->wakeWrite.get(), &wake, 1);
    (void)written;
}

std::size_t StatusServer::ClientsServed() const { return m_impl->served.load(); }
