#include <wx/string.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/windows/unique_handle.h"
#include "status_answer.h"
#include "status_server.h"

namespace {

// A client that does not take its bytes within this long is given up, so that one stuck
// client cannot stall the service for everyone after it.
constexpr DWORD kSendBoundMs = 2000;
constexpr DWORD kPipeBufferSize = 4096;
// WaitForMultipleObjects watches at most 64 handles: the stop event, the listening instance
// and this many held clients. Past it the oldest held client is let go.
constexpr std::size_t kMaxHeld = MAXIMUM_WAIT_OBJECTS - 2;

std::runtime_error Failure(const std::string& what, const std::string& path) {
    return std::runtime_error(what + " " + path + ": Windows error " +
                              std::to_string(::GetLastError()));
}

UniqueHandle MakeEvent() {
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.valid()) throw std::runtime_error("cannot create an event");
    return event;
}

// One overlapped operation on a pipe instance; if it is still pending when this goes away, it
// is cancelled and waited for, so the system never writes into a freed OVERLAPPED.
class PendingIo {
public:
    PendingIo() : m_event(MakeEvent()) { m_io.hEvent = m_event.get(); }
    PendingIo(const PendingIo&) = delete;
    PendingIo& operator=(const PendingIo&) = delete;
    ~PendingIo() { Cancel(); }

    OVERLAPPED* Start(HANDLE pipe) {
        m_pipe = pipe;
        m_pending = true;
        return &m_io;
    }
    // The call that was handed Start()'s OVERLAPPED finished or failed without going pending.
    void Finished() { m_pending = false; }
    bool Pending() const { return m_pending; }
    HANDLE Event() const { return m_event.get(); }
    // The outcome once Event() is signalled (or at once when it already finished).
    bool Succeeded() {
        DWORD ignored = 0;
        const bool ok = ::GetOverlappedResult(m_pipe, &m_io, &ignored, TRUE);
        m_pending = false;
        return ok;
    }
    void Cancel() {
        if (!m_pending) return;
        ::CancelIoEx(m_pipe, &m_io);
        Succeeded();
    }

private:
    UniqueHandle m_event;
    OVERLAPPED m_io{};
    HANDLE m_pipe = nullptr;
    bool m_pending = false;
};

// A hung client's instance, held open. A read is kept pending on it (no client writes), which
// ends when the client closes its end, so the instance is let go then.
struct HeldClient {
    UniqueHandle pipe;
    std::uint8_t byte = 0;
    PendingIo watch;  // declared after pipe: cancelled before the instance is closed

    explicit HeldClient(UniqueHandle instance) : pipe(std::move(instance)) {
        if (::ReadFile(pipe.get(), &byte, 1, nullptr, watch.Start(pipe.get())) ||
            ::GetLastError() != ERROR_IO_PENDING)
            watch.Finished();
    }
};

}  // namespace

struct StatusServer::Impl {
    std::string path;
    wxString name;
    ServeOptions options;
    UniqueHandle stop = MakeEvent();
    UniqueHandle listening;  // the instance the next client connects to
    std::atomic<std::size_t> served{0};
    std::vector<std::unique_ptr<HeldClient>> held;

    // A service already owns the pipe when its name exists; WaitNamedPipe says so without
    // taking one of its instances.
    bool SomeoneAnswers() const {
        if (::WaitNamedPipeW(name.wc_str(), 1)) return true;
        const DWORD error = ::GetLastError();
        if (error == ERROR_SEM_TIMEOUT) return true;  // every instance is busy: it is alive
        if (error == ERROR_FILE_NOT_FOUND) return false;
        throw Failure("cannot reach", path);
    }

    UniqueHandle NewInstance(bool first) {
        // Duplex only so that a held instance can notice its client leaving; clients open it for
        // reading. The first instance claims the name: a second server is refused.
        UniqueHandle instance(::CreateNamedPipeW(
            name.wc_str(),
            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
            PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0, nullptr));
        if (!instance.valid()) {
            if (first && ::GetLastError() == ERROR_ACCESS_DENIED)
                throw std::runtime_error("another server answers at " + path);
            throw Failure("cannot create the pipe", path);
        }
        return instance;
    }

    void Listen() {
        if (SomeoneAnswers()) throw std::runtime_error("another server answers at " + path);
        listening = NewInstance(true);
    }

    // Writes all bytes unless the client goes away, stalls, or the server is stopped; true when
    // all were written.
    bool Send(HANDLE client, const std::uint8_t* data, std::size_t size) {
        if (size == 0) return true;
        PendingIo write;
        if (!::WriteFile(client, data, DWORD(size), nullptr, write.Start(client)) &&
            ::GetLastError() != ERROR_IO_PENDING) {
            write.Finished();
            return false;
        }
        const HANDLE events[] = {stop.get(), write.Event()};
        if (::WaitForMultipleObjects(2, events, FALSE, kSendBoundMs) != WAIT_OBJECT_0 + 1) {
            write.Cancel();
            return false;
        }
        return write.Succeeded();
    }

    // Keeps a client's instance open until it leaves or the server stops.
    void Hold(UniqueHandle client) {
        auto hung = std::make_unique<HeldClient>(std::move(client));
        if (!hung->watch.Pending()) return;  // the client has already gone
        if (held.size() == kMaxHeld) held.erase(held.begin());
        held.push_back(std::move(hung));
    }

    void Serve(UniqueHandle client) {
        ++served;  // before answering, so that a client that has its answer sees itself counted
        const bool sent = SendAnswer(
            options,
            [&](const std::uint8_t* data, std::size_t size) {
                return Send(client.get(), data, size);
            },
            [&](std::chrono::milliseconds time) {
                return ::WaitForSingleObject(stop.get(), DWORD(time.count())) != WAIT_OBJECT_0;
            });
        if (options.mode == ServeOptions::Mode::Hang ||
            (options.mode == ServeOptions::Mode::KeepOpen && sent)) {
            Hold(std::move(client));
        } else if (options.mode == ServeOptions::Mode::Close ||
                   options.mode == ServeOptions::Mode::Reset) {
            // Disconnecting is the abortive close of a pipe: it breaks the client's end at once,
            // and what the client has not read yet is thrown away.
            ::DisconnectNamedPipe(client.get());
        }
        // Closing (not disconnecting) our end leaves what was written for the client to read.
    }
};

StatusServer::StatusServer(std::string path, ServeOptions options) : m_impl(new Impl) {
    m_impl->name = wxString::FromUTF8(path);
    m_impl->path = std::move(path);
    m_impl->options = std::move(options);
    if (m_impl->path.empty()) throw std::runtime_error("the pipe name is empty");
    // A slow start creates the pipe only later, in Run(), but refuses a taken name at once.
    if (m_impl->options.startDelay.count() > 0) {
        if (m_impl->SomeoneAnswers())
            throw std::runtime_error("another server answers at " + m_impl->path);
    } else {
        m_impl->Listen();
    }
}

StatusServer::~StatusServer() = default;

void StatusServer::Run() {
    Impl& impl = *m_impl;
    if (!impl.listening.valid()) {
        if (::WaitForSingleObject(impl.stop.get(), DWORD(impl.options.startDelay.count())) ==
            WAIT_OBJECT_0)
            return;
        impl.Listen();
    }
    std::vector<HANDLE> events;
    for (;;) {
        if (::WaitForSingleObject(impl.stop.get(), 0) == WAIT_OBJECT_0) return;
        PendingIo connect;
        bool connected = false, pending = false;
        if (!::ConnectNamedPipe(impl.listening.get(), connect.Start(impl.listening.get()))) {
            const DWORD error = ::GetLastError();
            connected = error == ERROR_PIPE_CONNECTED;  // the client came before we asked
            pending = error == ERROR_IO_PENDING;
        }
        if (!pending) connect.Finished();
        while (pending) {
            events.assign({impl.stop.get(), connect.Event()});
            for (const auto& client : impl.held) events.push_back(client->watch.Event());
            const DWORD signalled =
                ::WaitForMultipleObjects(DWORD(events.size()), events.data(), FALSE, INFINITE);
            if (signalled == WAIT_OBJECT_0 || signalled == WAIT_FAILED) return;
            const std::size_t index = signalled - WAIT_OBJECT_0;
            if (index == 1) {
                connected = connect.Succeeded();  // false: the client left before we saw it
                pending = false;
            } else if (index < events.size()) {
                // A held client that hung up (or wrote, which no client should) is let go.
                impl.held.erase(impl.held.begin() + std::ptrdiff_t(index - 2));
            }
        }
        if (!connected) {
            impl.listening = impl.NewInstance(false);
            continue;
        }
        // The next instance listens before this client is answered, so the name never lapses.
        UniqueHandle client = std::move(impl.listening);
        impl.listening = impl.NewInstance(false);
        impl.Serve(std::move(client));
    }
}

void StatusServer::Stop() {
    // Safe from any thread, a console control handler among them.
    ::SetEvent(m_impl->stop.get());
}

std::size_t StatusServer::ClientsServed() const { return m_impl->served.load(); }
