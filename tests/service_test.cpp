// The service's data: the record's layout, one refresh against a real service in every way a
// service answers or fails to, and the brand file.
#include <chrono>
#include <fstream>

#ifdef _WIN32
#include "platform/windows/pipe_trust.h"
#include "platform/windows/unique_handle.h"
// After windows.h.
#include <sddl.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "platform/service_control.h"
#include "service/brand.h"
#include "support.h"

using Mode = ServeOptions::Mode;
using Clock = std::chrono::steady_clock;

namespace {

std::size_t OpenHandles() {
#ifdef _WIN32
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return count;
#else
    const auto fds = std::filesystem::directory_iterator("/proc/self/fd");
    return std::distance(begin(fds), end(fds));
#endif
}

}  // namespace

// Written out byte by byte here, not by the stand-in service, which could share a wrong offset.
TEST(Record, EachFieldAtItsOffsetLittleEndian) {
    ServiceStatus record;
    auto put = [&](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), record.bytes.begin() + at);
    };
    // "7.β", a lone surrogate, a tab, a paragraph separator: on one line as written.
    put(66, {'7', 0, '.', 0, 0xB2, 0x03, 0x3D, 0xD8, '\t', 0, 0x29, 0x20});
    put(132, {0x04, 0x03, 0x02, 0x01});
    put(136, {0xFB, 0xFF, 0xFF, 0xFF});
    put(140, {0x2A, 0x02});
    put(144, {0xFF, 0xFF, 0xFF, 0x7F});
    put(152, {8, 7, 6, 5, 4, 3, 2, 0x81});
    EXPECT_EQ(record.version(), wxString::FromUTF8("7.\xCE\xB2\xEF\xBF\xBD  "));
    EXPECT_EQ(record.httpPort(), 0x01020304);
    EXPECT_EQ(record.httpsPort(), -5);
    EXPECT_EQ(record.rtspPort(), 554);
    EXPECT_EQ(record.remotePort(), 0x7FFFFFFF);
    EXPECT_EQ(record.lastUpdate(), std::int64_t(0x8102030405060708));

    // A version filling all 33 units ends with the field, not in the HTTP port after it.
    for (std::size_t unit = 0; unit < 33; ++unit) put(66 + 2 * unit, {'v', 0});
    EXPECT_EQ(record.version(), wxString(33, 'v'));
}

TEST(Pipe, EachWayAServiceAnswers) {
    const ServiceStatus record = MakeRecord(u"3.4.1", 8080, 8443, 554, 9000, 1700000000);
    ServiceStatus head;  // the first 140 bytes, the rest zero
    std::copy_n(record.bytes.begin(), 140, head.bytes.begin());
    const struct {
        Mode mode;
        std::size_t length;  // or for Drip the milliseconds between bytes
        std::optional<ServiceStatus> read;
    } cases[] = {
        {Mode::Record, 0, record},        {Mode::Short, 140, head},
        {Mode::Oversize, 4096, record},   {Mode::KeepOpen, 0, record},
        {Mode::Close, 0, std::nullopt},   {Mode::Short, 0, std::nullopt},
        {Mode::Hang, 0, std::nullopt},
#ifndef _WIN32  // a stream may cut the record: read until all of it or the close, in one bound
        {Mode::Drip, 1, record},          {Mode::Drip, 10, std::nullopt},
        {Mode::Drip, 3000, std::nullopt},
#endif
    };
    TestService service;
    for (const auto& c : cases) {
        ServeOptions options{record, c.mode};
        options.shortLength = options.oversizeLength = c.length;
        options.dripInterval = std::chrono::milliseconds(c.length);
        service.Start(options);
        const auto start = Clock::now();
        const Refresh refresh = RefreshOnce();
        EXPECT_EQ(refresh.status, c.read) << int(c.mode) << " " << c.length;
        EXPECT_EQ(refresh.trace, c.read ? kDone : kReadFailed) << int(c.mode);
        // A hung service is given up at the read bound; nothing else waits for it.
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << int(c.mode);
        EXPECT_EQ(service.Clients(), 1u) << int(c.mode);
    }
    service.Stop();
    EXPECT_EQ(RefreshOnce().trace, kFailedToConnect);
}

// A service too busy for another client must not stall the tray: the open fails at once.
TEST(Pipe, BusyServiceFailsAtOnce) {
    TestService service;
    service.Stop();
#ifdef _WIN32
    const std::wstring name = wxString::FromUTF8(service.Path()).ToStdWstring();
    const UniqueHandle server(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_WAIT, 1,
                                                 4096, 4096, 0, nullptr));
    const UniqueHandle other(
        ::CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(other.valid()) << "the only instance is taken";
#else
    sockaddr_un address{AF_UNIX, {}};
    service.Path().copy(address.sun_path, sizeof address.sun_path - 1);
    const auto* at = reinterpret_cast<const sockaddr*>(&address);
    std::vector<int> fds{::socket(AF_UNIX, SOCK_STREAM, 0)};
    ASSERT_EQ(::bind(fds[0], at, sizeof address) | ::listen(fds[0], 0), 0);  // never accepts
    do fds.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
    while (::connect(fds.back(), at, sizeof address) == 0 && fds.size() < 100);
    ASSERT_LT(fds.size(), 100u) << "the backlog never filled";
#endif
    const auto start = Clock::now();
    EXPECT_EQ(RefreshOnce().trace, kFailedToConnect);
    EXPECT_LT(Clock::now() - start, kStatusReadBound);
#ifndef _WIN32
    for (int fd : fds) ::close(fd);
    ::unlink(service.Path().c_str());
#endif
}

TEST(Pipe, NoHandleLeaksWhateverTheService) {
    TestService service;
    service.Stop();
    RefreshOnce();  // whatever the first use sets up for good
    const std::size_t before = OpenHandles();
    for (Mode mode : {Mode::Record, Mode::Close, Mode::Hang}) {
        service.Start(ServeOptions{{}, mode});
        for (int i = 0; i < (mode == Mode::Hang ? 2 : 50); ++i) RefreshOnce();
    }
    service.Stop();
    for (int i = 0; i < 50; ++i) RefreshOnce();
    EXPECT_EQ(OpenHandles(), before);
}

TEST(Pipe, DefaultPathWithoutOrWithEmptyQuenthalPipe) {
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        const ScopedEnv unset("QUENTHAL_PIPE", value);
#ifdef _WIN32
        // A pipe on the system's own name, in the test's private Wine prefix, where the manager
        // knows of no such service: not read, though LocalSystem, as the service's could be, owns
        // it.
        PSECURITY_DESCRIPTOR system = nullptr;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:SY", SDDL_REVISION_1,
                                                                           &system, nullptr));
        SECURITY_ATTRIBUTES attributes{sizeof attributes, system, FALSE};
        const UniqueHandle pipe(::CreateNamedPipeW(LR"(\\.\pipe\Quenthal)", PIPE_ACCESS_OUTBOUND, 0,
                                                   1, 0, 0, 0, &attributes));
        ::LocalFree(system);
        const Refresh refresh = RefreshOnce();
        EXPECT_EQ(refresh.trace, L"Connecting to pipe...\nPipe server is not the service.\n");
        EXPECT_FALSE(refresh.status);
#else
        EXPECT_EQ(StatusPipePath(), "/run/Quenthal");
#endif
    }
}

// The user's pipe as named, in any characters: Windows keeps the environment as wide text.
TEST(Pipe, ChosenPathInAnyCharacters) {
    const std::string path = PrivatePipePath() + "-\u03A9\u20AC";
    const ScopedEnv chosen("QUENTHAL_PIPE", path.c_str());
    EXPECT_EQ(StatusPipePath(), path);
    ServingThread server;
    server.Start(path, {});
    EXPECT_EQ(RefreshOnce().trace, kDone);
}

#ifdef _WIN32
// Who may serve the default pipe: the service's own process, or, when the manager cannot be
// asked, an owner no standard user can make a pipe's owner and no unrelated service shares.
TEST(Pipe, ServedByTheServiceProcessOrItsOwnAccounts) {
    const auto sid = [](WELL_KNOWN_SID_TYPE type) {
        std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
        DWORD size = DWORD(sid.size());
        EXPECT_TRUE(::CreateWellKnownSid(type, nullptr, sid.data(), &size)) << int(type);
        return sid;
    };
    std::vector<BYTE> users = sid(WinBuiltinUsersSid);
    std::vector<BYTE> service = ServiceSid("Quenthal"), other = ServiceSid("Spooler");
    EXPECT_TRUE(ServedByService(42, 42, users.data(), service.data()));
    EXPECT_FALSE(ServedByService(42, 43, users.data(), service.data()));
    EXPECT_FALSE(ServedByService(0, 0, users.data(), service.data())) << "neither process known";
    EXPECT_FALSE(ServedByService(42, 43, nullptr, service.data()));
    // The owner only when the manager cannot say (nullopt), however well it would do.
    EXPECT_TRUE(ServedByService(42, std::nullopt, service.data(), service.data()));
    for (const DWORD reported : {0, 43})
        EXPECT_FALSE(ServedByService(42, reported, service.data(), service.data())) << reported;
    EXPECT_FALSE(ServedByService(42, std::nullopt, other.data(), service.data())) << "another's";
    for (const auto type : {WinLocalSystemSid, WinBuiltinAdministratorsSid})
        EXPECT_TRUE(ServedByService(42, std::nullopt, sid(type).data(), service.data()))
            << int(type);
    // LocalService and NetworkService: accounts that many unrelated services run as.
    for (const auto type :
         {WinLocalServiceSid, WinNetworkServiceSid, WinWorldSid, WinAuthenticatedUserSid,
          WinInteractiveSid, WinBuiltinPowerUsersSid, WinCreatorOwnerSid})
        EXPECT_FALSE(ServedByService(42, std::nullopt, sid(type).data(), service.data()))
            << int(type);
    // As Windows names a service's account, whatever case the name is given in.
    wchar_t* text = nullptr;
    ASSERT_TRUE(::ConvertSidToStringSidW(ServiceSid("trustedINSTALLER").data(), &text));
    EXPECT_EQ(wxString(text), "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
    ::LocalFree(text);
}
#endif

TEST(Brand, NameUnderItsExactKeyWithinTheReadLimit) {
    const std::string path = PrivateFile(".json");
    const struct {
        std::string text;
        const char* name;
    } cases[] = {
        {"{\n    \"productname\": \"Acme Recorder\"\n}", "Acme Recorder"},
        {"\"productname\": \"R\xC3\xA9\xFF\t\x1B\"", "R\xC3\xA9\xEF\xBF\xBD  "},  // one line
        {"{\"productname\":\"Acme\"}", "Vantora 3"},  // only the exact spelling
        {"\"productname\": \"\"", "Vantora 3"},
        {std::string(1024, ' ') + "\"productname\": \"Acme\"", "Vantora 3"},
    };
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary) << c.text;
        EXPECT_EQ(ReadProductNameFrom(path), wxString::FromUTF8(c.name)) << c.text.substr(0, 40);
    }
    std::filesystem::remove(path);
    FILE* shown = std::tmpfile();  // what the log would show the user: an error box at start
    wxLogStderr log(shown);
    wxLog* const previous = wxLog::SetActiveTarget(&log);
    EXPECT_EQ(ReadProductNameFrom(path), "Vantora 3");
    wxLog::SetActiveTarget(previous);
    EXPECT_EQ(std::ftell(shown), 0) << "a missing brand file is no error";
    std::fclose(shown);
}

// The brand file may name the service; a name this system's manager would refuse keeps the
// default rather than reaching the manager.
TEST(Brand, ServiceNameOnlyWhenTheSystemAcceptsIt) {
    const auto parse = [](const std::string& name) {
        const std::string text = "{ \"productname\": \"Acme\", \"servicename\": \"" + name + "\" }";
        return ParseServiceName(text.data(), text.size());
    };
    EXPECT_EQ(parse(""), DefaultServiceName());
#ifdef _WIN32
    EXPECT_EQ(DefaultServiceName(), "Quenthal");
    using Names = std::vector<std::string>;
    for (const std::string& name : Names{"Acme Service", "quenthal.service", std::string(256, 'a')})
        EXPECT_EQ(parse(name), name);
    for (const std::string& name : Names{"a/b", "a\\\\b", std::string(257, 'a')})
        EXPECT_EQ(parse(name), "Quenthal") << name;
#else
    EXPECT_EQ(DefaultServiceName(), "quenthal.service");
    for (const std::string name : {"acme-2:x_y.z@1.service", "A.service"})
        EXPECT_EQ(parse(name), name);
    for (const std::string name : {"acme", "acme.socket", ".service", "a b.service",
                                   "a;reboot.service", "\xC3\xA9.service", "a/b.service"})
        EXPECT_EQ(parse(name), "quenthal.service") << name;
#endif
}
