// The service control manager's record of the service, which any user may query.
#include "platform/service_state.h"

#include <wx/event.h>

#include <thread>
#include <vector>

#include "platform/windows/scm_state.h"
#include "platform/windows/unique_handle.h"

namespace {

bool IsDisabled(SC_HANDLE service) {
    DWORD size = 0;
    ::QueryServiceConfigW(service, nullptr, 0, &size);  // fails, saying how much it needs
    if (size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    return ::QueryServiceConfigW(service, config, size, &size) &&
           config->dwStartType == SERVICE_DISABLED;
}

std::optional<ServiceFacts> Read(const wxString& name) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager.valid()) return std::nullopt;
    ScmAnswer answer;
    const UniqueServiceHandle service(
        ::OpenServiceW(manager.get(), name.wc_str(), SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service.valid()) {
        answer.openError = ::GetLastError();
        return DecodeScm(answer);
    }
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    if (!::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                                reinterpret_cast<BYTE*>(&status), sizeof status, &size))
        return std::nullopt;
    answer.state = status.dwCurrentState;
    answer.win32ExitCode = status.dwWin32ExitCode;
    if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR)
        answer.serviceExitCode = status.dwServiceSpecificExitCode;
    answer.disabled = IsDisabled(service.get());
    return DecodeScm(answer);
}

// Each question on a thread of its own, so that a slow manager never holds the tray up; the
// answer comes back through m_events, whose queued calls die with it.
class ScmStateReader : public ServiceStateReader {
public:
    ~ScmStateReader() override {
        if (m_worker.joinable()) m_worker.join();
    }

    void Ask(const wxString& name, Got got) override {
        if (m_worker.joinable()) m_worker.join();  // the last question's, which has answered
        // A copy of the thread's own: wxString shares nothing, but its caches are not atomic.
        m_worker = std::thread([this, name = wxString(name.wc_str()), got]() {
            const std::optional<ServiceFacts> facts = Read(name);
            m_events.CallAfter([got, facts] { got(facts); });
        });
    }

private:
    wxEvtHandler m_events;  // first: destroyed last, after the worker has been joined
    std::thread m_worker;
};

}  // namespace

std::unique_ptr<ServiceStateReader> MakeServiceStateReader() {
    return std::make_unique<ScmStateReader>();
}
