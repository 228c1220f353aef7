// Start, stop and restart through Wine's real service control manager, acting on statusd.exe
// registered as a service of each test's own that serves a pipe of its own.
#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/thread.h>

#include "platform/windows/service_control.h"
#include "platform/windows/unique_handle.h"
#include "support.h"
#include "tray/outage_reason.h"

namespace {

using Result = ServiceOutcome::Result;

// A program built beside the tray, in bin/ beside the tests' folder.
wxString Built(const wxString& program) {
    return wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath() + "\\..\\bin\\" +
           program;
}

// Runs command on the GUI thread's loop and returns what reached done there.
ServiceOutcome RunCommand(ServiceControl& control, ServiceCommand command, const wxString& name) {
    std::optional<ServiceOutcome> outcome;
    EXPECT_TRUE(RunMainLoop(std::chrono::seconds(120), [&] {
        control.Run(command, name, [&](const ServiceOutcome& ended) {
            EXPECT_TRUE(wxThread::IsMain());
            outcome = ended;
            wxTheApp->ExitMainLoop();
        });
    }));
    return outcome.value_or(ServiceOutcome{Result::Failed, "no outcome"});
}

void ExpectFailure(ServiceControl& control, ServiceCommand command, const wxString& name,
                   DWORD code) {
    const ServiceOutcome outcome = RunCommand(control, command, name);
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_EQ(outcome.message, wxString(wxSysErrorMsgStr(code)).Trim());
}

const wxString kMissing = "SentakTestNoSuchService";

// The machine's value naming the one service the elevated helper acts on, as the installer writes
// it, while this lives.
struct HelperServiceValue {
    explicit HelperServiceValue(const wxString& name) {
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Sentak", L"ServiceName", REG_SZ,
                          name.wc_str(), DWORD((name.length() + 1) * sizeof(wchar_t)));
    }
    ~HelperServiceValue() { ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Sentak"); }
};

// What the tray makes of the manager's facts about the service called name.
wxString ReasonOf(const wxString& name) {
    const auto reader = MakeServiceStateReader();
    std::optional<ServiceFacts> facts;
    EXPECT_TRUE(RunMainLoop(std::chrono::seconds(30), [&] {
        reader->Ask(name, [&](const std::optional<ServiceFacts>& got) {
            facts = got;
            wxTheApp->ExitMainLoop();
        });
    }));
    const std::optional<OutageReason> reason = facts ? DecideReason(*facts) : std::nullopt;
    return reason ? ReasonText(*reason) : "none";
}

class ServiceControlTest : public testing::Test {
protected:
    explicit ServiceControlTest(const wxString& name = wxFileName(PrivateFile("")).GetFullName(),
                                const wxString& options = "")
        : m_name(name), m_options(options) {}
    void TearDown() override {
        SERVICE_STATUS ignored;
        ::ControlService(m_service.get(), SERVICE_CONTROL_STOP, &ignored);
        ::DeleteService(m_service.get());  // gone once stopped and its handles closed
    }
    UniqueServiceHandle Register(const wxString& name) const {
        const UniqueServiceHandle manager(
            ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
        const wxString command = wxString::Format("\"%s\" --service --path %s %s",
                                                  Built("statusd.exe"), m_pipe, m_options);
        return UniqueServiceHandle(
            ::CreateServiceW(manager.get(), name.wc_str(), name.wc_str(), SERVICE_ALL_ACCESS,
                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                             command.wc_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    }
    SERVICE_STATUS_PROCESS Status() const {
        SERVICE_STATUS_PROCESS status{};
        DWORD size = 0;
        ::QueryServiceStatusEx(m_service.get(), SC_STATUS_PROCESS_INFO,
                               reinterpret_cast<BYTE*>(&status), sizeof status, &size);
        return status;
    }
    // Done, with the state the manager reports and what a refresh of the pipe then finds.
    void ExpectDone(ServiceControl& control, ServiceCommand command, DWORD state) {
        const ServiceOutcome outcome = RunCommand(control, command, m_name);
        EXPECT_EQ(outcome.result, Result::Done) << outcome.message;
        EXPECT_EQ(Status().dwCurrentState, state);
        EXPECT_EQ(RefreshOnce().status.has_value(), state == SERVICE_RUNNING);
    }

    const std::string m_pipe = PrivatePipePath();
    const ScopedEnv m_env{"QUENTHAL_PIPE", m_pipe.c_str()};
    const wxString m_name;
    const wxString m_options;
    const UniqueServiceHandle m_service = Register(m_name);
};

// A service of the test's own that statusd serves with options: slow stops and starts, which it
// reports as on their way.
template <const char* options>
struct ServiceWith : ServiceControlTest {
    ServiceWith() : ServiceControlTest(wxFileName(PrivateFile("")).GetFullName(), options) {}
};
constexpr char kStopPast30s[] = "--slow-stop 35000";
constexpr char kSlowStartAndStop[] = "--slow-start 3000 --slow-stop 3000";
// Pending for 8 s on a 1 s wait hint, without progress, then stopped with exit code 0.
constexpr char kStartHangsThenEnds[] = "--slow-start 8000 --start-hint 1000 --start-exit 0";
using StopPast30s = ServiceWith<kStopPast30s>;
using SlowStartAndStop = ServiceWith<kSlowStartAndStop>;
using StartHangsThenEnds = ServiceWith<kStartHangsThenEnds>;

// The service the tray commands, under its default name in the test's own Wine prefix.
class TrayServiceControl : public ServiceControlTest {
protected:
    TrayServiceControl() : ServiceControlTest(DefaultServiceName()) {}
};

}  // namespace

TEST_F(ServiceControlTest, StartStopRestartReachTheStateAskedFor) {
    const auto control = MakeServiceControl();
    EXPECT_EQ(ReasonOf(m_name), "The service is stopped.");
    ExpectDone(*control, ServiceCommand::Start, SERVICE_RUNNING);
    EXPECT_EQ(ReasonOf(m_name), "The service is running but does not answer.");
    ExpectDone(*control, ServiceCommand::Start, SERVICE_RUNNING);  // already running: done
    const DWORD before = Status().dwProcessId;
    ExpectDone(*control, ServiceCommand::Restart, SERVICE_RUNNING);
    EXPECT_NE(Status().dwProcessId, before);
    ExpectDone(*control, ServiceCommand::Stop, SERVICE_STOPPED);
    ExpectDone(*control, ServiceCommand::Stop, SERVICE_STOPPED);  // not running: done
    ExpectFailure(*control, ServiceCommand::Start, kMissing, ERROR_SERVICE_DOES_NOT_EXIST);

    // A second service on the same pipe stops at once, with an exit code.
    ExpectDone(*control, ServiceCommand::Start, SERVICE_RUNNING);
    const UniqueServiceHandle twin = Register(m_name + "-twin");
    ExpectFailure(*control, ServiceCommand::Start, m_name + "-twin", ERROR_SERVICE_SPECIFIC_ERROR);
    EXPECT_EQ(ReasonOf(m_name + "-twin"), "The service exited with code 1.");
    EXPECT_EQ(ReasonOf(kMissing), "The service is not installed.");
    ::DeleteService(twin.get());
}

// Wine grants every right, so the helper's path is taken by force; what it does and its exit
// status are the outcome. It acts only on the service the machine's value names (without one,
// the default) and refuses any other name before it asks the manager: a name that no service
// has is refused (87), not found missing (1060). A value that names no service refuses all.
TEST_F(ServiceControlTest, TheElevatedHelperActsOnlyOnSentaksService) {
    const auto control = MakeServiceControl({true, Built("sentak-control.exe")});
    ExpectFailure(*control, ServiceCommand::Start, m_name, ERROR_INVALID_PARAMETER);
    for (const wxString& unusable : {wxString("bad/name"), wxString(257, 'x')}) {
        const HelperServiceValue value(unusable);
        ExpectFailure(*control, ServiceCommand::Start, DefaultServiceName(),
                      ERROR_INVALID_PARAMETER);
    }
    const HelperServiceValue value(m_name);
    ExpectDone(*control, ServiceCommand::Start, SERVICE_RUNNING);
    ExpectFailure(*control, ServiceCommand::Stop, kMissing, ERROR_INVALID_PARAMETER);
    ExpectFailure(*control, ServiceCommand::Stop, DefaultServiceName(), ERROR_INVALID_PARAMETER);
}

// A slow stop that reports progress is waited for past 30 s: Restart ends with the service
// running again.
TEST_F(StopPast30s, RestartWaitsForTheStopAsLongAsItProgresses) {
    const auto control = MakeServiceControl();
    ExpectDone(*control, ServiceCommand::Start, SERVICE_RUNNING);
    const DWORD before = Status().dwProcessId;
    ExpectDone(*control, ServiceCommand::Restart, SERVICE_RUNNING);
    EXPECT_NE(Status().dwProcessId, before);
}

// The manager refuses a start while the service is on its way up or down, and a stop while it
// is on its way up: Start waits for it to run, or starts it again once it is down; Stop (and so
// Restart) waits for the start, then stops.
TEST_F(SlowStartAndStop, CommandsWhileStartingOrStoppingEndAsAsked) {
    const auto control = MakeServiceControl();
    ASSERT_TRUE(::StartServiceW(m_service.get(), 0, nullptr));
    ExpectDone(*control, ServiceCommand::Start, SERVICE_RUNNING);
    SERVICE_STATUS ignored;
    ASSERT_TRUE(::ControlService(m_service.get(), SERVICE_CONTROL_STOP, &ignored));
    ExpectDone(*control, ServiceCommand::Start, SERVICE_RUNNING);
    ExpectDone(*control, ServiceCommand::Stop, SERVICE_STOPPED);
    ASSERT_TRUE(::StartServiceW(m_service.get(), 0, nullptr));
    ExpectDone(*control, ServiceCommand::Stop, SERVICE_STOPPED);
}

// A start without progress within its wait hint is still waited for within the first 30 s; one
// that then ends with exit code 0 has failed at once, for a reason of ours (the manager has none).
TEST_F(StartHangsThenEnds, StartFailsWhenTheServiceStopsOnItsWayUp) {
    const ServiceOutcome outcome = RunCommand(*MakeServiceControl(), ServiceCommand::Start, m_name);
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_EQ(outcome.message, "The service stopped while it was starting.");
}

// A tray that goes away while a command is under way hears nothing more of it.
TEST_F(ServiceControlTest, NoOutcomeAfterTheControlIsGone) {
    bool called = false;
    EXPECT_FALSE(RunMainLoop(std::chrono::seconds(3), [&] {
        MakeServiceControl()->Run(ServiceCommand::Start, m_name, [&](auto&) { called = true; });
    }));
    EXPECT_FALSE(called);
}

// From the menu to what the tray shows: the stop asked for at once and without a notification,
// the start the service's own display.
TEST_F(TrayServiceControl, TheTrayShowsWhatItsCommandsDid) {
    FakeDesktop desktop;
    RecordingSentak tray(desktop, MakeServiceControl());
    tray.displayed = [] { wxTheApp->ExitMainLoop(); };
    const auto choose = [&](int id) {
        EXPECT_TRUE(RunMainLoop(std::chrono::seconds(120), [&] { tray.Choose(id); }));
        return tray.displays.back().tooltip;
    };
    EXPECT_EQ(choose(ID_START_SERVICE), "Vantora 3 Service running");
    EXPECT_EQ(Status().dwCurrentState, DWORD(SERVICE_RUNNING));
    EXPECT_EQ(choose(ID_STOP_SERVICE), "Vantora 3 Service not running anymore");
    EXPECT_EQ(Status().dwCurrentState, DWORD(SERVICE_STOPPED));
    EXPECT_EQ(choose(ID_START_SERVICE), "Vantora 3 Service running");
    EXPECT_TRUE(desktop.notifications.empty());
    EXPECT_TRUE(desktop.messages.empty());
}

// A service whose process never reports to the manager holds StartService up until the manager
// gives up (30 s on Windows, 10 s under Wine), as the elevation prompt holds the helper's start:
// the control goes at once meanwhile, as at exit, and hears nothing more of its command.
TEST_F(ServiceControlTest, AControlGoesAtOnceWhileItsCommandIsHeldUp) {
    const wxString never = wxString::Format("\"%s\" --path %s", Built("statusd.exe"), m_pipe);
    ASSERT_TRUE(::ChangeServiceConfigW(m_service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                       SERVICE_NO_CHANGE, never.wc_str(), nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr));
    auto control = MakeServiceControl();
    bool called = false;
    control->Run(ServiceCommand::Start, m_name, [&](auto&) { called = true; });
    RunMainLoop(std::chrono::seconds(2), [] {});
    const auto going = std::chrono::steady_clock::now();
    control.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - going, std::chrono::seconds(2));
    RunMainLoop(std::chrono::seconds(12), [] {});  // the manager's answer comes, and is dropped
    EXPECT_FALSE(called);
}

// Restarted by hand through the manager between two of the tray's polls, neither of them failed:
// the pipe's server is a new process, and the restart is told once.
TEST_F(TrayServiceControl, ARestartByHandBetweenTwoPollsIsToldOnce) {
    ExpectDone(*MakeServiceControl(), ServiceCommand::Start, SERVICE_RUNNING);
    FakeDesktop desktop;
    RecordingSentak tray(desktop);
    tray.Ticks();
    ExpectDone(*MakeServiceControl(), ServiceCommand::Restart, SERVICE_RUNNING);
    tray.Ticks(2);  // the second poll reads the same process: nothing more
    ASSERT_EQ(desktop.notifications.size(), 1u);
    EXPECT_TRUE(desktop.notifications[0].StartsWith(
        "restart|Service restarted|The Vantora 3 Service stopped and was started again.\n\nIt "
        "has restarted 1 time since "))
        << desktop.notifications[0];
}
