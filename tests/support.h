#pragma once
// What the tests share: a real stand-in service on a pipe of the test's own, scoped changes of
// the environment, and a tray icon whose desktop and displays are recorded.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "service/status_pipe.h"
#include "status_server.h"
#include "tray/sentak.h"

inline void PrintTo(const wxString& text, std::ostream* out) {
    *out << '"' << text.utf8_str() << '"';
}

// Sets (or with nullptr removes) a variable, given as UTF-8, and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const wxString& name, const char* value)
        : m_name(name), m_had(wxGetEnv(name, &m_old)) {
        Set(value);
    }
    ~ScopedEnv() { Set(m_had ? m_old.utf8_str().data() : nullptr); }

private:
    // As the system keeps it: wide text on Windows, bytes elsewhere, whatever the locale.
    void Set(const char* value) {
#ifdef _WIN32
        value ? wxSetEnv(m_name, wxString::FromUTF8(value)) : wxUnsetEnv(m_name);
#else
        value ? ::setenv(m_name.utf8_str(), value, 1) : ::unsetenv(m_name.utf8_str());
#endif
    }

    wxString m_name, m_old;
    bool m_had;
};

// A file in the temporary folder, and a pipe name, that no other test or process uses.
inline std::string PrivateFile(const std::string& suffix) {
    static int count = 0;
    // And of this run: Wine gives its processes the same ids run after run, and a service that a
    // killed run left in the prefix keeps its name.
    static const std::string run =
        std::to_string(std::chrono::system_clock::now().time_since_epoch().count());
    const std::string name = "sentak-test-" + std::to_string(wxGetProcessId()) + "-" + run + "-" +
                             std::to_string(++count) + suffix;
    return (std::filesystem::temp_directory_path() / name).string();
}
inline std::string PrivatePipePath() {
#ifdef _WIN32
    return R"(\\.\pipe\)" + std::filesystem::path(PrivateFile("")).filename().string();
#else
    return PrivateFile("");
#endif
}

// The stand-in service's server on a thread, with QUENTHAL_PIPE pointing at it while it lives.
class TestService {
public:
    explicit TestService(ServeOptions options = {})
        : m_path(PrivatePipePath()), m_env("QUENTHAL_PIPE", m_path.c_str()) {
        Start(std::move(options));
    }
    void Start(ServeOptions options) { m_serving.Start(m_path, std::move(options)); }
    void Stop() { m_serving.Stop(); }  // the service goes away, as when it crashes or is stopped
    std::size_t Clients() const { return m_serving.ClientsServed(); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    ScopedEnv m_env;
    ServingThread m_serving;  // last: stops before the variable goes
};

// One refresh and the trace lines it wrote.
struct Refresh {
    std::optional<ServiceStatus> status;
    std::wstring trace;
};
inline Refresh RefreshOnce() {
    std::wostringstream trace;
    const std::optional<StatusRead> read = ReadServiceStatus(trace);
    return {read ? std::optional(read->status) : std::nullopt, trace.str()};
}
inline const std::wstring kFailedToConnect = L"Connecting to pipe...\nFailed to connect to pipe.\n";
inline const std::wstring kReadFailed = L"Connecting to pipe...\nReading data from pipe...\n";
inline const std::wstring kDone = kReadFailed + L"Done.\n";

// Records what the program asks of the desktop and answers as the test says.
class FakeDesktop : public Desktop {
public:
    void LaunchBrowser(const wxString& url, std::function<void()> failed) override {
        urls.push_back(url);
        if (!browserStarts) failed();
    }
    bool Run(const SystemCommand&) override { return managerStarts; }
    int ShowMessage(const wxString& text, const wxString& caption, long style) override {
        messages.push_back(wxString::Format("%s|%s|%lx", caption, text, style));
        return answer;
    }
    bool CopyToClipboard(const wxString& text) override { return clipboard.push_back(text), true; }
    bool WantsExtendedMenu() override { return shift; }
    bool ShiftKeyReadable() override { return true; }
    wxString WhereTheIconIs() override { return "in the tray"; }
    wxString NoTrayAdvice() override { return "start a tray"; }
    wxString SystemAndDesktop() override { return "Testix 1"; }
    wxString LogAccessAdvice() override { return "join the readers"; }
    // A notice as "title|message", with "|label" for its button.
    void Notify(wxTaskBarIcon&, const wxString& title, const wxString& message,
                std::optional<NoticeAction> action, std::function<void()> clicked) override {
        notifications.push_back(title + "|" + message + (action ? "|" + action->label : ""));
        chosen = action ? action->chosen : nullptr;
        this->clicked = std::move(clicked);
    }
    void CloseNotice() override { notifications.push_back("closed"); }
    // "brief|...", "no tray|..." and "restart|..." by kind, "... again|" when it updates the
    // last of its kind.
    void NotifyBriefly(wxTaskBarIcon&, BriefKind kind, const wxString& title,
                       const wxString& message, bool replaceLast) override {
        const char* const kinds[] = {"brief", "no tray", "restart"};
        wxString text = kinds[int(kind)];
        if (replaceLast && kind != BriefKind::News) text << " again";
        notifications.push_back(text + "|" + title + "|" + message);
    }

    bool browserStarts = true, managerStarts = true, shift = false;
    int answer = wxOK;
    std::vector<wxString> urls, messages, clipboard, notifications;
    std::function<void()> chosen, clicked;  // the last notice's button and click
};

// Answers as the test says: no facts (the manager cannot be asked) unless given some.
class FakeStateReader : public ServiceStateReader {
public:
    void Ask(const wxString&, Got got) override {
        ++questions;
        got(facts);
    }
    // What the manager tells unasked reaches the tray through this, once it watches.
    void Watch(const wxString&, Changed changed) override { tell = std::move(changed); }
    void AskLastWords(ServiceRun run, std::function<void(const LastWords&)> heard) override {
        runs.push_back(run.service + "|" + run.runId);
        heard(words);
    }
    std::optional<ServiceFacts> facts;
    LastWords words;  // what the log says
    std::vector<wxString> runs;
    int questions = 0;
    Changed tell;
};

// Records the commands sent to the service; the test ends each with the outcome it chooses, or
// the real control given ends it.
class FakeServiceControl : public ServiceControl {
public:
    explicit FakeServiceControl(std::unique_ptr<ServiceControl> real = nullptr)
        : m_real(std::move(real)) {}
    void Run(ServiceCommand command, const wxString& name, Done done) override {
        commands.push_back(command);
        names.push_back(name);
        if (m_real) return m_real->Run(command, name, std::move(done));
        m_done = std::move(done);
    }
    void End(ServiceOutcome outcome = {}) { std::exchange(m_done, nullptr)(outcome); }

    std::vector<ServiceCommand> commands;
    std::vector<wxString> names;

private:
    std::unique_ptr<ServiceControl> m_real;
    Done m_done;
};

// The real tray icon with its desktop, service control and service manager faked, the fakes
// given to it and kept for the test, and every display it shows recorded.
class RecordingSentak : public Sentak {
public:
    explicit RecordingSentak(FakeDesktop& desktop, std::unique_ptr<ServiceControl> real = nullptr)
        : RecordingSentak(desktop, new FakeServiceControl(std::move(real)), new FakeStateReader) {}
    FakeServiceControl& Control() { return m_control; }
    FakeStateReader& Manager() { return m_manager; }
    void Choose(int command) {
        wxCommandEvent event(wxEVT_MENU, command);
        SafelyProcessEvent(event);
    }
    bool Show(const TrayDisplay& display) override {
        displays.push_back(display);
        if (displayed) displayed();
        return true;
    }
    std::vector<wxString> Tooltips() const {
        std::vector<wxString> tooltips;
        for (const TrayDisplay& display : displays) tooltips.push_back(display.tooltip);
        return tooltips;
    }
    void Ticks(int count = 1) {
        wxTimer timer;
        wxTimerEvent event(timer);
        while (count-- > 0) OnTimer(event);
    }
    bool PopupMenu(wxMenu* menu) override {
        popups.push_back(menu->FindItem(ID_EXIT_TRAY) != nullptr);
        return true;
    }

    std::vector<TrayDisplay> displays;
    std::vector<bool> popups;         // each menu popped up: whether in the extended form
    std::function<void()> displayed;  // after each display is recorded

private:
    // Each fake is the tray's from here on.
    RecordingSentak(FakeDesktop& desktop, FakeServiceControl* control, FakeStateReader* manager)
        : Sentak(desktop, std::unique_ptr<ServiceControl>(control),
                 std::unique_ptr<ServiceStateReader>(manager)),
          m_control(*control),
          m_manager(*manager) {}

    FakeServiceControl& m_control;
    FakeStateReader& m_manager;
};

// Runs the toolkit's main loop with start as its first event, until the loop ends or limit has
// passed; false when the limit ended it.
inline bool RunMainLoop(std::chrono::milliseconds limit, std::function<void()> start) {
    bool timedOut = false;
    wxTimer safety;
    safety.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { timedOut = true, wxTheApp->ExitMainLoop(); });
    safety.StartOnce(int(limit.count()));
    wxTheApp->CallAfter(std::move(start));
    wxTheApp->OnRun();
    return !timedOut;
}
