// statusd as a real service of the service control manager: what the tray's start, stop and
// restart act on when the manager is Windows' own.
#include <wx/msw/wrapwin.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <iostream>
#include <mutex>
#include <optional>

#include "status_service.h"

namespace {

// What ServiceMain needs and the dispatcher cannot pass: set once before the dispatcher starts.
const std::string* g_path = nullptr;
const ServeOptions* g_options = nullptr;

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
std::mutex g_statusMutex;  // the control handler and ServiceMain report from their own threads
SERVICE_STATUS g_status{};
StatusServer* g_server = nullptr;  // set while it serves, the only time STOP is accepted

void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHintMs = 0) {
    const std::lock_guard<std::mutex> lock(g_statusMutex);
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    g_status.dwWin32ExitCode = exitCode == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    g_status.dwServiceSpecificExitCode = exitCode;
    g_status.dwWaitHint = waitHintMs;
    g_status.dwCheckPoint =
        state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : g_status.dwCheckPoint + 1;
    ::SetServiceStatus(g_statusHandle, &g_status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            Report(SERVICE_STOP_PENDING, NO_ERROR, 3000);
            g_server->Stop();  // ServiceMain reports STOPPED once the server has let go
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Stop pending for delay after serving has ended, a checkpoint every second within the wait
// hint: a service that needs long to stop and says it is still on its way.
void StopSlowly(std::chrono::milliseconds delay) {
    constexpr DWORD kStepMs = 1000;
    for (auto left = delay.count(); left > 0; left -= kStepMs) {
        Report(SERVICE_STOP_PENDING, NO_ERROR, 3 * kStepMs);
        ::Sleep(DWORD(std::min<long long>(left, kStepMs)));
    }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    g_statusHandle = ::RegisterServiceCtrlHandlerExW(L"", OnControl, nullptr);
    if (!g_statusHandle) return;
    // A slow start is a service that takes that long to become ready: pending all the while,
    // with no progress after the first report.
    const DWORD delayMs = DWORD(g_options->startDelay.count());
    Report(SERVICE_START_PENDING, NO_ERROR,
           DWORD(g_options->startHint.value_or(g_options->startDelay + std::chrono::seconds(3))
                     .count()));
    if (delayMs > 0) ::Sleep(delayMs);
    if (g_options->startExit) {
        Report(SERVICE_STOPPED, *g_options->startExit);
        return;
    }
    ServeOptions options = *g_options;
    options.startDelay = {};
    std::optional<StatusServer> server;
    try {
        server.emplace(*g_path, options);
    } catch (const std::exception&) {
        Report(SERVICE_STOPPED, 1);  // the pipe is taken or cannot be made
        return;
    }
    g_server = &*server;
    Report(SERVICE_RUNNING);
    server->Run();
    StopSlowly(g_options->stopDelay);
    server.reset();  // the pipe is gone before the manager says the service is
    Report(SERVICE_STOPPED);
}

}  // namespace

int RunAsService(const std::string& path, const ServeOptions& options) {
    g_path = &path;
    g_options = &options;
    // The name is ignored for a service that has its process to itself.
    wchar_t name[] = L"";
    const SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(table)) return 0;
    // Most often: started from a console rather than by the manager.
    std::cerr << "statusd: --service: not started by the service control manager (Windows error "
              << ::GetLastError() << ")\n";
    return 1;
}

int GiveUpSignal() { return 0; }
