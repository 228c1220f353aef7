// The service control manager's record of the service, which any user may query.
#include "platform/service_state.h"

#include <map>
#include <thread>
#include <vector>

#include "base/lifetime.h"
#include "platform/windows/scm_state.h"
#include "platform/windows/service_manager.h"
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
    const UniqueServiceHandle manager = OpenServiceManager();
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

// Each question on a thread of its own, so that a slow manager never holds the tray up. The
// thread holds only the name and is never waited for: once the reader is gone, its answer is
// dropped.
class ScmStateReader : public ServiceStateReader {
public:
    void Ask(const wxString& name, Got got) override {
        const unsigned question = ++m_questions;
        m_waiting.emplace(question, std::move(got));
        // A copy of the thread's own: wxString shares nothing, but its caches are not atomic.
        std::thread([this, question, name = wxString(name.wc_str()), watch = m_lifetime.watch()]() {
            const std::optional<ServiceFacts> facts = Read(name);
            watch.Post([this, question, facts] { Answered(question, facts); });
        }).detach();
    }

private:
    void Answered(unsigned question, const std::optional<ServiceFacts>& facts) {
        const auto waiting = m_waiting.find(question);
        if (waiting == m_waiting.end()) return;
        const Got got = std::move(waiting->second);
        m_waiting.erase(waiting);
        got(facts);
    }

    unsigned m_questions = 0;
    std::map<unsigned, Got> m_waiting;  // by question, until answered
};

}  // namespace

std::unique_ptr<ServiceStateReader> MakeServiceStateReader() {
    return std::make_unique<ScmStateReader>();
}
