// The system bus connection: one private connection of ours, let go of once it has closed, so
// that the next command connects anew (GLib's shared one would come back closed while anyone
// still holds it).
#include "platform/linux/system_bus.h"

#include <glib-unix.h>
#include <sys/inotify.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/lifetime.h"
#include "platform/linux/gio_owners.h"
#include "platform/linux/unique_fd.h"

namespace {

using Got = std::function<void(GDBusConnection* bus, const GError* error)>;

// A bus that has not let us in by then is not going to be of use to a command. Our own bound:
// GLib sends its Hello without the cancellable and waits 25 s for the answer.
constexpr guint kConnectTimeoutMs = 10000;

// The socket file a bus address names: "unix:path=...", unescaped; empty for any other kind of
// address (abstract, TCP, or several to try in turn).
std::string SocketPath(const char* address) {
    if (!g_str_has_prefix(address, "unix:") || std::strchr(address, ';')) return {};
    std::string path;
    gchar** const pairs = g_strsplit(address + 5, ",", -1);
    for (gchar** pair = pairs; *pair; ++pair)
        if (g_str_has_prefix(*pair, "path=")) {
            const StringPtr unescaped(g_uri_unescape_string(*pair + 5, nullptr));
            if (unescaped) path = unescaped.get();
        }
    g_strfreev(pairs);
    return path;
}

std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

class SystemBusOwner {
public:
    static SystemBusOwner& Get() {
        static SystemBusOwner owner;
        return owner;
    }

    // Whether the bus's socket is missing and now watched for: its appearance brings the next
    // try of every follower.
    bool WaitForSocket() {
        GError* error = nullptr;
        const StringPtr address(
            g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error));
        const ErrorPtr failed(error);
        return address && SocketMissing(address.get()) && m_socketFolder >= 0;
    }

    void Follow(SystemBusFollower* follower) { m_followers.push_back(follower); }
    void Forget(SystemBusFollower* follower) {
        m_followers.erase(std::remove(m_followers.begin(), m_followers.end(), follower),
                          m_followers.end());
    }

    void With(Got got) {
        m_waiting.push_back(std::move(got));
        // From the main loop, never from within the caller's own call.
        if (!std::exchange(m_round, true)) g_idle_add(&SystemBusOwner::OnRound, nullptr);
    }

private:
    // One try to connect: given up on when its time is up, its late result then dropped.
    struct Attempt {
        Lifetime lifetime;
        CancellablePtr cancel{g_cancellable_new()};
        Source timeout;
        ~Attempt() {
            lifetime.End();
            g_cancellable_cancel(cancel.get());
        }
    };
    using Self = Watched<SystemBusOwner>;

    // At the program's end, when every follower is gone.
    ~SystemBusOwner() {
        m_followers.clear();
        LetGo();
    }

    // Whether the address names a socket file that is not there. Then its nearest folder that
    // exists is watched, on the main loop: no thread, and no wake-up while nothing changes there
    // (GLib's file monitor would poll a folder that does not exist yet).
    bool SocketMissing(const char* address) {
        const std::string socket = SocketPath(address);
        if (socket.empty() || g_file_test(socket.c_str(), G_FILE_TEST_EXISTS)) {
            StopWatching();
            return false;
        }
        if (!m_inotify) {
            m_inotify = UniqueFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
            if (!m_inotify) return true;
            m_inotifySource =
                Source(g_unix_fd_add(m_inotify.get(), G_IO_IN, &SystemBusOwner::OnFolder, nullptr));
        }
        std::string folder = Parent(socket);
        while (!g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR) && folder != "/" && folder != ".")
            folder = Parent(folder);
        if (m_socketFolder >= 0 && folder == m_watchedFolder) return true;
        StopWatching();
        m_socketFolder =
            inotify_add_watch(m_inotify.get(), folder.c_str(),
                              IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
        m_watchedFolder = folder;
        return true;
    }

    void StopWatching() {
        if (m_socketFolder >= 0) inotify_rm_watch(m_inotify.get(), m_socketFolder);
        m_socketFolder = -1;
    }

    static gboolean OnFolder(gint fd, GIOCondition, gpointer) {
        // A watch taken off says so too (IN_IGNORED); heeding that would take it off again.
        bool changed = false;
        alignas(inotify_event) char events[4096];
        for (ssize_t got; (got = read(fd, events, sizeof events)) > 0;)
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                changed = changed || (event->mask & ~IN_IGNORED) != 0;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        if (changed) Guarded([] { Get().FolderChanged(); });
        return G_SOURCE_CONTINUE;
    }

    // Something came or went on the way to the socket: every follower tries at once when it is
    // there (one round for all), otherwise the watch moves to the nearest folder there is now.
    void FolderChanged() {
        if (WaitForSocket()) return;
        StopWatching();
        Tell(&SystemBusFollower::Appeared);
    }

    static gboolean OnRound(gpointer) {
        Guarded([] { Get().Round(); });
        return G_SOURCE_REMOVE;
    }

    void Round() {
        // Closed even if its signal has not come yet: the next command needs a new one.
        if (m_bus && g_dbus_connection_is_closed(m_bus.get())) LetGo();
        if (m_bus) return HandOut(nullptr);
        GError* error = nullptr;
        const StringPtr address(
            g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error));
        const ErrorPtr failed(error);
        if (!address) return HandOut(error);
        m_attempt = std::make_unique<Attempt>();
        const Self self(*this, m_attempt->lifetime);
        m_attempt->timeout =
            Source(g_timeout_add_full(G_PRIORITY_DEFAULT, kConnectTimeoutMs,
                                      &SystemBusOwner::OnTimeUp, self.Give(), &Self::Forget));
        // Asynchronously: a system bus that does not answer must not freeze the tray.
        g_dbus_connection_new_for_address(
            address.get(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, m_attempt->cancel.get(), &SystemBusOwner::OnConnected, self.Give());
    }

    static void OnConnected(GObject*, GAsyncResult* result, gpointer data) {
        SystemBusOwner* const self = Self::Take(data);
        GError* error = nullptr;
        ConnectionPtr bus(g_dbus_connection_new_for_address_finish(result, &error));
        const ErrorPtr failed(error);
        if (!self) {  // given up on: its waiters have had their answer
            if (bus) g_dbus_connection_close(bus.get(), nullptr, nullptr, nullptr);
            return;
        }
        self->m_attempt.reset();
        if (bus) self->Keep(std::move(bus));
        self->HandOut(error);
    }

    static gboolean OnTimeUp(gpointer data) {
        if (SystemBusOwner* const self = Self::Of(data)) Guarded([self] { self->GiveUp(); });
        return G_SOURCE_REMOVE;
    }

    void GiveUp() {
        m_attempt.reset();
        const ErrorPtr error(
            g_error_new_literal(G_IO_ERROR, G_IO_ERROR_TIMED_OUT, g_strerror(ETIMEDOUT)));
        HandOut(error.get());
    }

    void Keep(ConnectionPtr bus) {
        // The bus going away ends a command, never the program.
        g_dbus_connection_set_exit_on_close(bus.get(), FALSE);
        m_closed =
            g_signal_connect(bus.get(), "closed", G_CALLBACK(&SystemBusOwner::OnClosed), nullptr);
        m_bus = std::move(bus);
        Tell(&SystemBusFollower::Opened);
    }

    static void OnClosed(GDBusConnection*, gboolean, GError*, gpointer) {
        Guarded([] { Get().LetGo(); });
    }

    void LetGo() {
        if (!m_bus) return;
        if (m_closed) g_signal_handler_disconnect(m_bus.get(), std::exchange(m_closed, 0));
        Tell(&SystemBusFollower::Closed);
        m_bus.reset();
    }

    // Each follower, even one that comes or goes meanwhile: a copy, each checked before.
    void Tell(void (SystemBusFollower::*what)(GDBusConnection*)) {
        const std::vector<SystemBusFollower*> followers = m_followers;
        for (SystemBusFollower* follower : followers)
            if (std::find(m_followers.begin(), m_followers.end(), follower) != m_followers.end())
                Guarded([&] { (follower->*what)(m_bus.get()); });
    }

    void HandOut(const GError* error) {
        m_round = false;
        // Held while they run: one of them may start the next round or see the bus close.
        const ConnectionPtr bus(m_bus ? G_DBUS_CONNECTION(g_object_ref(m_bus.get())) : nullptr);
        for (Got& got : std::exchange(m_waiting, {})) Guarded([&] { got(bus.get(), error); });
    }

    ConnectionPtr m_bus;
    UniqueFd m_inotify;
    Source m_inotifySource;
    int m_socketFolder = -1;  // the watch on the nearest folder of the missing socket
    std::string m_watchedFolder;
    gulong m_closed = 0;   // our handler of its closing
    bool m_round = false;  // a round of handing out is under way
    std::unique_ptr<Attempt> m_attempt;
    std::vector<Got> m_waiting;
    std::vector<SystemBusFollower*> m_followers;
};

}  // namespace

void WithSystemBus(Got got) { SystemBusOwner::Get().With(std::move(got)); }

SystemBusFollower::SystemBusFollower(Connected connected) : m_connected(std::move(connected)) {
    SystemBusOwner::Get().Follow(this);
    Try();
}

SystemBusFollower::~SystemBusFollower() {
    m_lifetime.End();
    SystemBusOwner::Get().Forget(this);
}

void SystemBusFollower::Opened(GDBusConnection* bus) {
    if (bus == m_bus.get()) return;
    m_retry = Source();
    m_bus.reset(G_DBUS_CONNECTION(g_object_ref(bus)));
    m_connected(bus);
}

void SystemBusFollower::Closed(GDBusConnection* bus) {
    if (!m_bus || bus != m_bus.get()) return;
    m_connected(nullptr);
    m_bus.reset();
    Retry();
}

void SystemBusFollower::Appeared(GDBusConnection*) {
    m_retry = Source();
    Try();
}

void SystemBusFollower::Retry() {
    // Nothing to try while the bus's socket is missing: its appearance starts the next try.
    if (SystemBusOwner::Get().WaitForSocket()) {
        m_retry = Source();
        return;
    }
    if (m_retry) return;
    using Self = Watched<SystemBusFollower>;
    m_retry = Source(g_timeout_add_seconds_full(
        G_PRIORITY_DEFAULT, kSystemBusRetrySeconds,
        [](gpointer data) {
            if (SystemBusFollower* const self = Self::Of(data)) Guarded([self] { self->Try(); });
            return gboolean(G_SOURCE_CONTINUE);
        },
        Self(*this, m_lifetime).Give(), &Self::Forget));
}

// The connection comes to Opened, from whoever asked for it.
void SystemBusFollower::Try() {
    WithSystemBus(m_lifetime.Guard([this](GDBusConnection* bus, const GError*) {
        if (bus)
            Opened(bus);
        else
            Retry();
    }));
}
