#include "platform/single_instance.h"

#include <wx/filename.h>
#include <wx/window.h>

#include "base/main_window.h"
#include "platform/chosen_pipe.h"
#include "platform/windows/unique_handle.h"

namespace {

// What runs when a later start tells this one; set by WhenStartedAgain.
std::function<void()>& StartedAgainHandler() {
    static std::function<void()> handler;
    return handler;
}

// Names the mutex, without its namespace, and the window message a later start sends: with the
// pipe, so that a test's or demo's Sentak on a pipe of its own runs beside the installed one.
wxString InstanceName() {
    const wxString pipe = PipeKey();
    return pipe.empty() ? wxString("Sentak") : "Sentak-" + pipe;
}

UINT StartedAgainMessage() { return ::RegisterWindowMessageW(InstanceName().wc_str()); }

wxString ImageName(DWORD process) {
    const UniqueHandle opened(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    if (!opened.valid() || !::QueryFullProcessImageNameW(opened.get(), 0, path, &size)) return {};
    return wxFileName(wxString(path, size)).GetFullName();
}

// Found as the installer finds it: by the title of its main window and its program's name (a
// window of that title from another program is not ours). Posted, so that a Sentak that hangs
// does not hold up this one's end.
void TellStartedAgain() {
    wchar_t ownPath[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
    const wxString ownName = wxFileName(wxString(ownPath, length)).GetFullName();
    const UINT message = StartedAgainMessage();
    const wxString title(kMainWindowTitle);
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, nullptr, title.wc_str()))) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (ImageName(process).IsSameAs(ownName, false)) ::PostMessageW(window, message, 0, 0);
    }
}

// The hidden main window, the one a later start posts to; null while there is none.
HWND OwnMainWindow() {
    const wxString title(kMainWindowTitle);
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, nullptr, title.wc_str()))) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (process == ::GetCurrentProcessId()) return window;
    }
    return nullptr;
}

bool OnStartedAgain(wxWindowMSW*, WXUINT, WXWPARAM, WXLPARAM) {
    if (StartedAgainHandler()) StartedAgainHandler()();
    return true;
}

}  // namespace

// The named mutex, which exists while any process holds a handle to it.
struct InstanceClaim::ClaimHandles {
    UniqueHandle mutex;
};

// In the session's own namespace: another user's Sentak, or this user's in another session, has
// its own. One that runs elevated holds a mutex this one may not open.
InstanceClaim::InstanceClaim() {
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, ("Local\\" + InstanceName()).wc_str()));
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || (!mutex.valid() && error == ERROR_ACCESS_DENIED)) {
        m_anotherRuns = true;
        TellStartedAgain();
        return;
    }
    m_handles = std::make_unique<ClaimHandles>(ClaimHandles{std::move(mutex)});
}

InstanceClaim::~InstanceClaim() = default;

// The hidden main window receives the message; the toolkit hands it here whichever window it is.
void WhenStartedAgain(std::function<void()> handler) {
    StartedAgainHandler() = std::move(handler);
    const UINT message = StartedAgainMessage();
    // Heard also when this Sentak runs elevated and the later start does not, but by the hidden
    // window alone: no other window of this process takes it from a lower integrity level.
    if (const HWND window = StartedAgainHandler() ? OwnMainWindow() : nullptr)
        ::ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
    // The message registered with the toolkit, once per name: the pipe, and so the name, may
    // have changed since.
    static UINT registeredMessage = 0;
    if (message == registeredMessage) return;
    if (registeredMessage)
        wxWindow::MSWUnregisterMessageHandler(int(registeredMessage), &OnStartedAgain);
    if (wxWindow::MSWRegisterMessageHandler(int(message), &OnStartedAgain))
        registeredMessage = message;
}
