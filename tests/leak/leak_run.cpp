// A few hundred ticks and menu builds of the real tray with the real desktop, through stops and
// comebacks of the service, for a leak checker to watch (scripts/leakcheck). Exits 0 when the
// tray saw what it should have.
#include <iostream>
#include <sstream>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/menu.h>

#include "test_service.h"
#include "tray/sentak.h"

namespace {

class LeakRunApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// A tray whose stop reports can be counted; everything else is the program's own.
class CountingDesktop : public Desktop {
public:
    explicit CountingDesktop(Desktop& real) : m_real(real) {}
    void LaunchBrowser(const wxString& url, std::function<void()> failed) override {
        m_real.LaunchBrowser(url, std::move(failed));
    }
    bool OpenServiceManager() override { return m_real.OpenServiceManager(); }
    int ShowMessage(const wxString& message, const wxString& caption, long style) override {
        return m_real.ShowMessage(message, caption, style);
    }
    bool CopyToClipboard(const wxString& text) override { return m_real.CopyToClipboard(text); }
    bool IsShiftDown() override { return m_real.IsShiftDown(); }
    void Notify(wxTaskBarIcon& icon, const wxString& title, const wxString& message) override {
        ++notifications;
        m_real.Notify(icon, title, message);
    }
    int notifications = 0;

private:
    Desktop& m_real;
};

void RunPendingEvents() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (loop->Pending()) loop->Dispatch();
    wxTheApp->ProcessIdle();
}

}  // namespace

int main(int argc, char** argv) {
    wxApp::SetInstance(new LeakRunApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return 1;
    wxSetAssertHandler(nullptr);  // as the program runs
    std::wostringstream trace;
    std::wstreambuf* const console = std::wcout.rdbuf(trace.rdbuf());

    int notifications = 0;
    {
        wxEventLoop loop;
        wxEventLoopActivator active(&loop);
        CountingDesktop desktop(DefaultDesktop());
        auto* tray = new Sentak(desktop);
        const auto tick = [tray] {
            wxTimer timer;
            wxTimerEvent event(timer);
            tray->OnTimer(event);
            RunPendingEvents();
        };
        TestService service;
        // Three rounds of 60 running ticks with a menu each, then a stop reported on the tenth
        // failed tick (menus would count as failures too, so they come after the report).
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 60; ++i) {
                tick();
                delete tray->CreatePopupMenu();
            }
            service.Stop();
            for (int i = 0; i < 10; ++i) tick();
            for (int i = 0; i < 10; ++i) delete tray->CreatePopupMenu();
            service.Start({});
        }
        notifications = desktop.notifications;
        delete tray;  // as the dialog does when the program exits
        RunPendingEvents();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    std::wcout.rdbuf(console);
    std::cout << "leak run: " << notifications << " stop reports\n";
    return notifications == 3 ? 0 : 1;
}
