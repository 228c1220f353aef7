// The statusd command as a real process: its options become the record it serves, bad options
// stop it with a one-line error, and it shares its path with no one and leaves nothing behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "service/status_pipe.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A private folder for the socket and the captured standard error.
class Scratch {
public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "statusd-test-XXXXXX").string();
        m_dir = ::mkdtemp(pattern.data());
        ::setenv("QUENTHAL_PIPE", Socket().c_str(), 1);
    }
    ~Scratch() { fs::remove_all(m_dir); }
    std::string Socket() const { return (m_dir / "Quenthal").string(); }
    fs::path Dir() const { return m_dir; }

private:
    fs::path m_dir;
};

// One statusd process, killed if a test leaves it running.
class Statusd {
public:
    Statusd(const Scratch& scratch, std::vector<std::string> args)
        : m_stderr(scratch.Dir() / ("stderr-" + std::to_string(++s_count))) {
        args.insert(args.begin(), STATUSD_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, m_stderr.c_str(), O_WRONLY | O_CREAT, 0600);
        const int failed =
            posix_spawn(&m_pid, STATUSD_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed) m_pid = -1;
    }
    ~Statusd() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
    }
    void Signal(int signal) { ::kill(m_pid, signal); }
    // The exit status, or -1 when it did not exit normally.
    int Wait() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Stderr() const {
        std::ostringstream text;
        text << std::ifstream(m_stderr).rdbuf();
        return text.str();
    }

private:
    static inline int s_count = 0;
    pid_t m_pid = -1;
    fs::path m_stderr;
};

// The first refresh that gets connected once the service has started, and its outcome.
std::optional<ServiceStatus> ReadWhenServed() {
    const auto giveUp = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        std::wostringstream trace;
        auto status = ReadServiceStatus(trace);
        if (trace.str().find(L"Reading") != std::wstring::npos || Clock::now() > giveUp)
            return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool IsOneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

}  // namespace

TEST(Statusd, ServesTheRecordItsOptionsDescribe) {
    Scratch scratch;
    {
        const std::int64_t before = std::time(nullptr);
        Statusd defaults(scratch, {});
        const auto status = ReadWhenServed();
        ASSERT_TRUE(status);
        EXPECT_EQ(status->version(), "3.4.1");
        EXPECT_EQ(status->httpPort(), 8080);
        EXPECT_EQ(status->httpsPort(), 0);
        EXPECT_EQ(status->rtspPort(), 554);
        EXPECT_EQ(status->remotePort(), 0);
        EXPECT_GE(status->lastUpdate(), before);
        EXPECT_LE(status->lastUpdate(), std::time(nullptr));
        defaults.Signal(SIGTERM);
        EXPECT_EQ(defaults.Wait(), 0);
    }
    Statusd custom(scratch,
                   {"--path", scratch.Socket(), "--version-text", "5.0 \xCE\xB2", "--http=80",
                    "--https", "-443", "--rtsp", "0", "--remote", "9000", "--last-update", "-1"});
    const auto status = ReadWhenServed();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->version(), wxString::FromUTF8("5.0 \xCE\xB2"));
    EXPECT_EQ(status->httpPort(), 80);
    EXPECT_EQ(status->httpsPort(), -443);
    EXPECT_EQ(status->rtspPort(), 0);
    EXPECT_EQ(status->remotePort(), 9000);
    EXPECT_EQ(status->lastUpdate(), -1);
    EXPECT_TRUE(IsOneLine(custom.Stderr())) << custom.Stderr();
}

TEST(Statusd, BadOptionsGiveOneLineAndStatus2) {
    Scratch scratch;
    const std::vector<std::vector<std::string>> commandLines = {
        {"--bogus"},
        {"--http"},
        {"--http", "80x"},
        {"--rtsp", "2147483648"},
        {"--short", "161"},
        {"--oversize", "160"},
        {"--hang", "--close"},
        {"--close=yes"},
        {"--version-text", std::string(34, 'v')},
    };
    for (const auto& args : commandLines) {
        Statusd statusd(scratch, args);
        EXPECT_EQ(statusd.Wait(), 2) << args[0];
        EXPECT_TRUE(IsOneLine(statusd.Stderr())) << statusd.Stderr();
        EXPECT_FALSE(fs::exists(scratch.Socket())) << args[0];
    }
}

TEST(Statusd, OwnsItsPathAndRemovesItsSocketOnStop) {
    Scratch scratch;
    for (int signal : {SIGTERM, SIGINT}) {
        Statusd first(scratch, {"--hang"});
        ASSERT_FALSE(ReadWhenServed());  // connected, but never answered
        ASSERT_TRUE(fs::is_socket(scratch.Socket()));

        Statusd second(scratch, {});
        EXPECT_EQ(second.Wait(), 1) << "two services on one path";
        EXPECT_TRUE(IsOneLine(second.Stderr())) << second.Stderr();
        EXPECT_TRUE(fs::is_socket(scratch.Socket())) << "the refused one took the path away";

        first.Signal(signal);
        EXPECT_EQ(first.Wait(), 0);
        EXPECT_FALSE(fs::exists(scratch.Socket()));
    }

    // A socket file left by a server that died is taken over.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, scratch.Socket().c_str());
    const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(dead, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(dead);
    {
        Statusd statusd(scratch, {});
        EXPECT_TRUE(ReadWhenServed());
    }

    // Anything else at the path is not ours to replace.
    fs::remove(scratch.Socket());
    std::ofstream(scratch.Socket()) << "keep me";
    Statusd statusd(scratch, {});
    EXPECT_EQ(statusd.Wait(), 1);
    EXPECT_EQ(fs::file_size(scratch.Socket()), 7u);
}
