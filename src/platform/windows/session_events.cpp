#include "platform/session_events.h"

#include <wx/app.h>
#include <wx/event.h>
#include <wx/msw/wrapwin.h>  // windows.h as the toolkit includes it
#include <wx/power.h>

#include <cstdint>
#include <utility>

namespace {

// The toolkit hands the application a power event and a query of the session's end from each
// of its top-level windows that Windows tells: as many as it has. The watch passes each change
// on once.
class WindowsSessionWatch : public SessionWatch {
public:
    explicit WindowsSessionWatch(SessionEvents events) : m_events(std::move(events)) {
        wxTheApp->Bind(wxEVT_POWER_SUSPENDED, &WindowsSessionWatch::OnSuspended, this);
        wxTheApp->Bind(wxEVT_POWER_RESUME, &WindowsSessionWatch::OnResume, this);
        wxTheApp->Bind(wxEVT_QUERY_END_SESSION, &WindowsSessionWatch::OnQueryEnd, this);
        m_window = ::CreateWindowExW(0, WindowClass(), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
        if (m_window) ::SetWindowLongPtrW(m_window, GWLP_USERDATA, LONG_PTR(this));
    }

    ~WindowsSessionWatch() override {
        if (m_window) ::DestroyWindow(m_window);
        wxTheApp->Unbind(wxEVT_POWER_SUSPENDED, &WindowsSessionWatch::OnSuspended, this);
        wxTheApp->Unbind(wxEVT_POWER_RESUME, &WindowsSessionWatch::OnResume, this);
        wxTheApp->Unbind(wxEVT_QUERY_END_SESSION, &WindowsSessionWatch::OnQueryEnd, this);
    }

private:
    // Each skipped: the application's own handlers, and whoever else listens, get them too.
    void OnSuspended(wxPowerEvent& event) {
        event.Skip();
        if (!std::exchange(m_asleep, true) && m_events.sleeping) m_events.sleeping();
    }
    void OnResume(wxPowerEvent& event) {
        event.Skip();
        if (std::exchange(m_asleep, false) && m_events.resumed) m_events.resumed();
    }
    void OnQueryEnd(wxCloseEvent& event) {
        event.Skip();
        if (!std::exchange(m_ending, true) && m_events.ending) m_events.ending(true);
    }

    // An end of the session that another program refused comes as WM_ENDSESSION with FALSE,
    // which the toolkit drops: heard by a window of the watch's own, hidden and top-level (a
    // message-only window is told nothing the system broadcasts).
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* watch =
            reinterpret_cast<WindowsSessionWatch*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (watch && message == WM_ENDSESSION && !wParam && std::exchange(watch->m_ending, false) &&
            watch->m_events.ending)
            watch->m_events.ending(false);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    static const wchar_t* WindowClass() {
        static const ATOM registered = [] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = &WindowProc;
            windowClass.hInstance = ::GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"SentakSessionWatch";
            return ::RegisterClassW(&windowClass);
        }();
        return reinterpret_cast<const wchar_t*>(std::uintptr_t(registered));
    }

    SessionEvents m_events;
    HWND m_window = nullptr;
    bool m_asleep = false, m_ending = false;
};

}  // namespace

std::unique_ptr<SessionWatch> WatchSession(SessionEvents events) {
    if (!wxTheApp) return std::make_unique<SessionWatch>();
    return std::make_unique<WindowsSessionWatch>(std::move(events));
}
