#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "service/service_status.h"

// How the stand-in service answers each client. Record is a well-behaved service; the others
// are the faults a real service shows when it is broken or overloaded.
struct ServeOptions {
    enum class Mode {
        Record,    // the 160-byte record, then close
        Short,     // only the first shortLength bytes of the record, then close
        Close,     // accept and close without writing
        Hang,      // accept and never write (the connection is held until the server stops)
        Oversize,  // the record followed by more bytes, oversizeLength in all, then close
        Drip,      // the record one byte every dripInterval, then close
        Reset,     // the first shortLength bytes of the record, then an abortive close
        KeepOpen,  // the record, then the connection is held until the server stops
    };
    ServiceStatus record;
    Mode mode = Mode::Record;
    std::size_t shortLength = 0;
    std::size_t oversizeLength = 0;
    std::chrono::milliseconds dripInterval{100};
    std::chrono::milliseconds startDelay{0};  // waits this long before listening (slow start)
    // As a service: stop pending this long after serving has ended, the checkpoint advancing
    // every second, as a service that flushes its files does.
    std::chrono::milliseconds stopDelay{0};
    // As a service: the wait hint its start reports, however long the start takes (without it,
    // the start delay and 3 s more), and an exit code to stop with when the start delay is over,
    // instead of serving: a service that hangs or fails on its way up.
    std::optional<std::chrono::milliseconds> startHint{};
    std::optional<std::uint32_t> startExit{};
};

// Builds a record from its fields, as a real service would fill it.
ServiceStatus MakeRecord(const std::u16string& version, std::int32_t httpPort,
                         std::int32_t httpsPort, std::int32_t rtspPort, std::int32_t remotePort,
                         std::int64_t lastUpdate);

// Serves the status pipe at path (a Unix-domain socket, or a named pipe on Windows): one answer
// to each client as soon as it connects, one client after another, until Stop().
class StatusServer {
public:
    // Throws std::runtime_error with a one-line reason when it cannot listen, for example while
    // another server answers at path. A stale socket file left by a dead server is replaced.
    StatusServer(std::string path, ServeOptions options);
    ~StatusServer();  // stops serving and removes the socket file
    StatusServer(const StatusServer&) = delete;
    StatusServer& operator=(const StatusServer&) = delete;

    // Serves until Stop(); returns then.
    void Run();
    // Safe from another thread or a signal handler.
    void Stop();
    // Clients accepted so far; each is counted before it gets its answer.
    std::size_t ClientsServed() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A server on a thread of its own while it serves: the stand-in service as the tests and the
// stand-in of systemd's manager start and stop it.
class ServingThread {
public:
    ServingThread() = default;
    ~ServingThread() { Stop(); }
    ServingThread(const ServingThread&) = delete;
    ServingThread& operator=(const ServingThread&) = delete;

    // Serves path with options from now on, in place of what it served before. Throws as
    // StatusServer does.
    void Start(const std::string& path, ServeOptions options) {
        Stop();
        m_server = std::make_unique<StatusServer>(path, std::move(options));
        m_thread = std::thread([server = m_server.get()] { server->Run(); });
    }
    // Serves no more, as when the service crashes or is stopped.
    void Stop() {
        if (!m_server) return;
        m_server->Stop();
        m_thread.join();
        m_server.reset();
    }
    bool Serving() const { return bool(m_server); }
    std::size_t ClientsServed() const { return m_server ? m_server->ClientsServed() : 0; }

private:
    std::unique_ptr<StatusServer> m_server;
    std::thread m_thread;
};
