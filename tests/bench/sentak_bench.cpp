// What the tray costs: a refresh beside the bare socket round trip it is built on, a running
// tick, a menu build, and resident memory over a long soak. Runs under a real wxApp on a display
// (xvfb-run), against the stand-in service in this process.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <streambuf>
#include <string>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/menu.h>

#include "fake_desktop.h"
#include "test_service.h"
#include "tray/sentak.h"

namespace {

// The trace lines of every refresh go nowhere, as they do when the program has no console.
class NullBuffer : public std::wstreambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

// Resident memory of this process in KiB.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// What the event loop does between two timer events: the display's events and idle work.
void RunPendingEvents() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (loop->Pending()) loop->Dispatch();
    wxTheApp->ProcessIdle();
}

struct Tray {
    FakeDesktop desktop;
    Sentak icon{desktop};

    void Tick() {
        wxTimer timer;
        wxTimerEvent event(timer);
        icon.OnTimer(event);
    }
    void Menu() { delete icon.CreatePopupMenu(); }  // built, then deleted as the toolkit does
};

void BareSocketRoundTrip(benchmark::State& state) {
    TestService service;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, service.Path().c_str(), sizeof(address.sun_path) - 1);
    unsigned char record[160];
    for (auto _ : state) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::read(fd, record, sizeof(record)) <= 0)
            state.SkipWithError("the service did not answer");
        ::close(fd);
    }
}
BENCHMARK(BareSocketRoundTrip)->Unit(benchmark::kMicrosecond);

void Refresh(benchmark::State& state) {
    TestService service;
    Tray tray;
    for (auto _ : state) tray.icon.RefreshStatus();
}
BENCHMARK(Refresh)->Unit(benchmark::kMicrosecond);

void RunningTick(benchmark::State& state) {
    TestService service;
    Tray tray;
    for (auto _ : state) {
        tray.Tick();
        state.PauseTiming();
        RunPendingEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(RunningTick)->Unit(benchmark::kMicrosecond);

void MenuBuild(benchmark::State& state) {
    TestService service;
    Tray tray;
    for (auto _ : state) tray.Menu();
}
BENCHMARK(MenuBuild)->Unit(benchmark::kMicrosecond);

// Ten thousand ticks or menu builds, with the event loop's work between them, as in 5.5 hours of
// running; resident memory after a warm-up and at the end.
template <void (Tray::*step)()>
void Soak(benchmark::State& state) {
    TestService service;
    Tray tray;
    for (int i = 0; i < 100; ++i) (tray.*step)(), RunPendingEvents();
    const long before = ResidentKiB();
    for (auto _ : state) {
        (tray.*step)();
        RunPendingEvents();
    }
    const long after = ResidentKiB();
    state.counters["rss_before_KiB"] = double(before);
    state.counters["rss_after_KiB"] = double(after);
    state.counters["rss_growth_KiB"] = double(after - before);
}
BENCHMARK_TEMPLATE(Soak, &Tray::Tick)
    ->Name("SoakTicks")
    ->Iterations(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Soak, &Tray::Menu)
    ->Name("SoakMenus")
    ->Iterations(10000)
    ->Unit(benchmark::kMillisecond);

// The console report, and at its end the refresh's cost as a multiple of the bare round trip.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}  // plain text, for logs and the docs

    void ReportRuns(const std::vector<Run>& runs) override {
        // The median of repetitions when there are any, else the one run.
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            if (run.run_type == Run::RT_Iteration && m_medians.count(run.run_name.str()) == 0)
                m_time[run.run_name.str()] = run.GetAdjustedRealTime();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_time[run.run_name.str()] = run.GetAdjustedRealTime();
                m_medians.insert(run.run_name.str());
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto bare = m_time.find("BareSocketRoundTrip"), refresh = m_time.find("Refresh");
        if (bare != m_time.end() && refresh != m_time.end())
            GetOutputStream() << "Refresh / bare socket round trip: "
                              << refresh->second / bare->second << "\n";
    }

private:
    std::map<std::string, double> m_time;
    std::set<std::string> m_medians;
};

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    wxApp::SetInstance(new BenchApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return 1;
    wxSetAssertHandler(nullptr);  // as the program runs
    NullBuffer nowhere;
    std::wstreambuf* const console = std::wcout.rdbuf(&nowhere);
    {
        wxEventLoop loop;
        wxEventLoopActivator active(&loop);
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    std::wcout.rdbuf(console);
    return 0;
}
