// The service control manager: commands, and the elevated helper when the user lacks the right.
#include "platform/windows/service_control.h"

#include <objbase.h>
#include <shellapi.h>
#include <wx/app.h>
#include <wx/event.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/stdpaths.h>
#include <wx/window.h>

#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#include "base/lifetime.h"
#include "platform/windows/service_manager.h"
#include "platform/windows/unique_handle.h"

wxString DefaultServiceName() { return "Quenthal"; }

bool IsValidServiceName(const wxString& name) {
    // The service control manager's own limit; slashes are not allowed in a service's name.
    return !name.empty() && name.length() <= 256 && !name.Contains("/") && !name.Contains("\\");
}

std::optional<wxString> ElevatedServiceName() {
    wchar_t name[257] = {};  // the longest name the manager accepts, and its end
    DWORD size = sizeof name;
    const LSTATUS read = ::RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Sentak", L"ServiceName",
                                        RRF_RT_REG_SZ, nullptr, name, &size);
    if (read == ERROR_FILE_NOT_FOUND) return DefaultServiceName();
    // Anything else there, too long, of another type or not a name, is no name to guess from.
    if (read != ERROR_SUCCESS || !IsValidServiceName(name)) return std::nullopt;
    return wxString(name);
}

namespace {

// No wait for the service's state gives up within this; after it, a wait goes on only while the
// service shows progress.
constexpr auto kPatience = std::chrono::seconds(30);
// No wait goes on longer than this, however much progress the service reports.
constexpr auto kWaitCap = std::chrono::minutes(10);
// How often the state is looked at meanwhile (the manager tells no one of a change).
constexpr DWORD kLookIntervalMs = 250;

// The system's own words for code, without the line end the message tables carry.
wxString SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0) return wxString::Format("Windows error %lu", code);
    wxString message(text, length);
    ::LocalFree(text);
    while (!message.empty() && wxString("\r\n ").Contains(message.Last())) message.RemoveLast();
    return message;
}

DWORD QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
    DWORD size = 0;
    return ::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                  sizeof status, &size)
               ? ERROR_SUCCESS
               : ::GetLastError();
}

// Whether a wait goes on: always within kPatience; after it, while the service's checkpoint (or
// state) has changed within the wait hint it gives, as services report a long stop or start.
class ProgressWatch {
public:
    bool KeepWaiting(const SERVICE_STATUS_PROCESS& status) {
        const auto now = Clock::now();
        if (status.dwCurrentState != m_state || status.dwCheckPoint != m_checkPoint) {
            m_state = status.dwCurrentState;
            m_checkPoint = status.dwCheckPoint;
            m_progress = now;
        }
        if (now - m_start < kPatience) return true;
        return now - m_start < kWaitCap &&
               now - m_progress <= std::chrono::milliseconds(status.dwWaitHint);
    }

private:
    using Clock = std::chrono::steady_clock;
    const Clock::time_point m_start = Clock::now();
    Clock::time_point m_progress = m_start;
    DWORD m_state = 0;
    DWORD m_checkPoint = 0;
};

// Waits until the service reports state. A wait for RUNNING begins only once the service has left
// STOPPED (the manager took the start, or reported it on its way up): back at STOPPED, its start
// has failed, with the manager's reason; exit code 0 gives none, so it gets one of ours.
DWORD WaitForState(SC_HANDLE service, DWORD state, HANDLE cancel) {
    ProgressWatch watch;
    for (;;) {
        SERVICE_STATUS_PROCESS status{};
        if (const DWORD error = QueryStatus(service, status)) return error;
        if (status.dwCurrentState == state) return ERROR_SUCCESS;
        if (state == SERVICE_RUNNING && status.dwCurrentState == SERVICE_STOPPED)
            return status.dwWin32ExitCode != NO_ERROR ? status.dwWin32ExitCode
                                                      : kStoppedWhileStarting;
        if (!watch.KeepWaiting(status)) return ERROR_SERVICE_REQUEST_TIMEOUT;
        if (::WaitForSingleObject(cancel, kLookIntervalMs) != WAIT_TIMEOUT) return ERROR_CANCELLED;
    }
}

// The manager refuses a start with ERROR_SERVICE_ALREADY_RUNNING in every state but stopped: a
// service on its way up is waited for, one on its way down is started again once it is down,
// and one that runs (a menu older than the service) is done.
DWORD Start(SC_HANDLE service, HANDLE cancel) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::StartServiceW(service, 0, nullptr))
            return WaitForState(service, SERVICE_RUNNING, cancel);
        const DWORD error = ::GetLastError();
        if (error != ERROR_SERVICE_ALREADY_RUNNING) return error;
        SERVICE_STATUS_PROCESS status{};
        if (const DWORD failed = QueryStatus(service, status)) return failed;
        switch (status.dwCurrentState) {
            case SERVICE_START_PENDING:
                return WaitForState(service, SERVICE_RUNNING, cancel);
            case SERVICE_STOP_PENDING:
                if (const DWORD failed = WaitForState(service, SERVICE_STOPPED, cancel))
                    return failed;
                break;
            case SERVICE_STOPPED:  // stopped since the manager answered
                break;
            default:
                return ERROR_SUCCESS;
        }
    }
    return ERROR_SERVICE_ALREADY_RUNNING;
}

// A service on its way down accepts no stop: that stop is waited for as ours. Nor does one on
// its way up (Windows says it cannot accept the control now, Wine that it takes no stop): its
// start is waited for, and then it is stopped (or found stopped already).
DWORD Stop(SC_HANDLE service, HANDLE cancel, bool afterStart = false) {
    SERVICE_STATUS ignored{};
    if (::ControlService(service, SERVICE_CONTROL_STOP, &ignored))
        return WaitForState(service, SERVICE_STOPPED, cancel);
    const DWORD error = ::GetLastError();
    if (error == ERROR_SERVICE_NOT_ACTIVE) return ERROR_SUCCESS;
    SERVICE_STATUS_PROCESS status{};
    if ((error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL && error != ERROR_INVALID_SERVICE_CONTROL) ||
        QueryStatus(service, status) != ERROR_SUCCESS)
        return error;
    if (status.dwCurrentState == SERVICE_STOP_PENDING)
        return WaitForState(service, SERVICE_STOPPED, cancel);
    if (status.dwCurrentState != SERVICE_START_PENDING || afterStart) return error;
    const DWORD started = WaitForState(service, SERVICE_RUNNING, cancel);
    if (started == ERROR_CANCELLED || started == ERROR_SERVICE_REQUEST_TIMEOUT) return started;
    return Stop(service, cancel, true);  // running now, or its start failed and it is down
}

// ShellExecuteEx may hand the work to shell extensions, which want COM on the calling thread.
class ComScope {
public:
    ComScope()
        : m_ok(SUCCEEDED(
              ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope() {
        if (m_ok) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool m_ok;
};

// The helper runs the same command with the right the user grants at the system's prompt; its
// exit status is the command's outcome. A declined prompt fails ShellExecuteEx with
// ERROR_CANCELLED. The prompt comes to the front for owner, the window the user just used.
DWORD RunElevated(const wxString& helper, ServiceCommand command, const wxString& name, HWND owner,
                  HANDLE cancel) {
    const ComScope com;
    // Names hold no backslash, so quoting needs only the quotes escaped.
    wxString quoted = name;
    quoted.Replace("\"", "\\\"");
    const wxString parameters = wxString(CommandWord(command)) + " \"" + quoted + "\"";
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = L"runas";
    info.lpFile = helper.wc_str();
    info.lpParameters = parameters.wc_str();
    info.nShow = SW_HIDE;
    if (!::ShellExecuteExW(&info)) return ::GetLastError();
    const UniqueHandle process(info.hProcess);
    if (!process.valid()) return ERROR_INVALID_HANDLE;
    const HANDLE handles[] = {cancel, process.get()};
    if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
        return ERROR_CANCELLED;  // the tray is going away; the helper finishes on its own
    DWORD code = 0;
    return ::GetExitCodeProcess(process.get(), &code) ? code : ::GetLastError();
}

ServiceOutcome OutcomeOf(DWORD code) {
    if (code == ERROR_SUCCESS) return {};
    if (code == ERROR_CANCELLED) return {ServiceOutcome::Result::Cancelled, {}};
    if (code == kStoppedWhileStarting)
        // TRANSLATORS: Why a start failed: the service ended on its way up without saying why.
        return {ServiceOutcome::Result::Failed, _("The service stopped while it was starting.")};
    return {ServiceOutcome::Result::Failed, SystemMessage(code)};
}

// Each command on a thread of its own, so that the waits never hold the tray up. The thread holds
// only what the command needs and is never waited for: when the control goes, the thread's wait
// is abandoned and its outcome dropped, even while it sits in the elevation prompt.
class WindowsServiceControl : public ServiceControl {
public:
    explicit WindowsServiceControl(ServiceControlOptions options) : m_options(std::move(options)) {
        if (m_options.helper.empty()) {
            wxFileName helper(wxStandardPaths::Get().GetExecutablePath());
            helper.SetFullName("sentak-control.exe");
            m_options.helper = helper.GetFullPath();
        }
    }
    ~WindowsServiceControl() override {
        m_lifetime.End();
        ::SetEvent(m_cancel->get());
    }

    void Run(ServiceCommand command, const wxString& name, Done done) override {
        m_done = std::move(done);
        const wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
        const HWND owner = top ? top->GetHWND() : nullptr;
        // Copies of the thread's own: wxString shares nothing, but its caches are not atomic.
        ServiceControlOptions options{m_options.forceElevation, m_options.helper.wc_str()};
        std::thread([this, command, name = wxString(name.wc_str()), owner,
                     options = std::move(options), cancel = m_cancel,
                     watch = m_lifetime.watch()]() {
            const DWORD code = Execute(options, command, name, owner, cancel->get());
            watch.Post([this, code] { Finished(OutcomeOf(code)); });
        }).detach();
    }

private:
    static DWORD Execute(const ServiceControlOptions& options, ServiceCommand command,
                         const wxString& name, HWND owner, HANDLE cancel) {
        const DWORD code =
            options.forceElevation ? ERROR_ACCESS_DENIED : CarryOut(command, name, cancel);
        // The usual case for a standard user: the helper asks for the right, once per command.
        return code == ERROR_ACCESS_DENIED
                   ? RunElevated(options.helper, command, name, owner, cancel)
                   : code;
    }

    void Finished(const ServiceOutcome& outcome) {
        if (Done done = std::exchange(m_done, nullptr)) done(outcome);
    }

    Lifetime m_lifetime;
    ServiceControlOptions m_options;
    // Set when the control goes; the threads hold it as long as they run.
    std::shared_ptr<const UniqueHandle> m_cancel =
        std::make_shared<const UniqueHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Done m_done;  // of the command under way
};

}  // namespace

DWORD CarryOut(ServiceCommand command, const wxString& name, HANDLE cancel) {
    const UniqueServiceHandle manager = OpenServiceManager();
    if (!manager.valid()) return ::GetLastError();
    // Only the rights this command needs: a standard user may hold some and not others.
    DWORD rights = SERVICE_QUERY_STATUS;
    if (command != ServiceCommand::Stop) rights |= SERVICE_START;
    if (command != ServiceCommand::Start) rights |= SERVICE_STOP;
    const UniqueServiceHandle service(::OpenServiceW(manager.get(), name.wc_str(), rights));
    if (!service.valid()) return ::GetLastError();
    switch (command) {
        case ServiceCommand::Start:
            return Start(service.get(), cancel);
        case ServiceCommand::Stop:
            return Stop(service.get(), cancel);
        case ServiceCommand::Restart:
            if (const DWORD stopped = Stop(service.get(), cancel); stopped != ERROR_SUCCESS)
                return stopped;
            return Start(service.get(), cancel);
    }
    return ERROR_INVALID_PARAMETER;
}

const wchar_t* CommandWord(ServiceCommand command) {
    switch (command) {
        case ServiceCommand::Start:
            return L"start";
        case ServiceCommand::Stop:
            return L"stop";
        case ServiceCommand::Restart:
            return L"restart";
    }
    return L"";
}

std::optional<ServiceCommand> ParseCommandWord(const wxString& word) {
    for (const auto command :
         {ServiceCommand::Start, ServiceCommand::Stop, ServiceCommand::Restart})
        if (word == CommandWord(command)) return command;
    return std::nullopt;
}

std::unique_ptr<ServiceControl> MakeServiceControl(ServiceControlOptions options) {
    return std::make_unique<WindowsServiceControl>(std::move(options));
}

std::unique_ptr<ServiceControl> MakeServiceControl() { return MakeServiceControl({}); }
