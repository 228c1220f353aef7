#pragma once
// What the Linux tests on a bus share: waiting in the main loop, a connection of the test's own,
// and a private bus in place of the system's with systemd's stand-in on it.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "platform/linux/gio_owners.h"
#include "support.h"

// Waits in the main loop, where the program answers calls and gets replies, until done or limit.
inline bool Until(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(5000);
    return done();
}

// A client's own connection to the bus at address, as another program has.
inline ConnectionPtr Connect(const char* address) {
    return ConnectionPtr(g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr));
}

// A private bus in place of the system's, and on it systemd-standin with the options given.
class SystemBus {
public:
    explicit SystemBus(const std::string& address = "unix:tmpdir=/tmp") : m_address(address) {
        Start();
    }
    ~SystemBus() { StopManager(), End(m_daemon); }
    void StartManager(std::vector<std::string> options) {
        StopManager();
        options.insert(options.begin(), SENTAK_BIN_DIR "/systemd-standin");
        m_manager = Spawn(options, false);
        ASSERT_TRUE(m_manager.line.StartsWith("systemd-standin: ready")) << m_manager.line;
    }
    void StopManager() { End(m_manager); }
    // The bus and its manager gone, and a new bus at the same address, as when the system's bus
    // restarts.
    void Restart() { StopManager(), End(m_daemon), Start(); }

private:
    struct Process {
        GPid pid = 0;
        wxString line;  // the first line it wrote
        int out = -1;   // kept open while it runs: it and its service write more
    };
    void Start() {
        m_daemon = Spawn({"dbus-daemon", "--session", "--nofork", "--print-address=1",
                          "--address=" + m_address});
        m_env.reset();
        m_env.emplace("DBUS_SYSTEM_BUS_ADDRESS", m_daemon.line.c_str());
    }
    // Started, with the first line it writes to its standard output, or its error output, read.
    static Process Spawn(std::vector<std::string> args, bool fromStdout = true) {
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        Process process;
        int& out = process.out;
        g_spawn_async_with_pipes(nullptr, argv.data(), nullptr,
                                 GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                                 nullptr, nullptr, &process.pid, nullptr,
                                 fromStdout ? &out : nullptr, fromStdout ? nullptr : &out, nullptr);
        for (char c; out >= 0 && read(out, &c, 1) == 1 && c != '\n';) process.line += c;
        return process;
    }
    static void End(Process& process) {
        if (process.pid) kill(process.pid, SIGTERM), waitpid(process.pid, nullptr, 0);
        if (process.out >= 0) close(process.out);
        process = {};
    }
    const std::string m_address;
    Process m_daemon, m_manager;
    std::optional<ScopedEnv> m_env;
};
