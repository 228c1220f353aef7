// What the tray costs, for docs/performance.md: a refresh, a running tick, a menu build, and
// resident memory over 10,000 ticks or menus. Runs in a real wxApp (xvfb-run) beside the built
// Resources/, against the stand-in service in this process.
#include <benchmark/benchmark.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include <fstream>

#include "support.h"

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// One timer event as the loop delivers it, then the display's events and idle work after it.
void Step(Sentak& tray, bool menu) {
    wxTimer timer;
    wxTimerEvent event(timer);
    menu ? delete tray.CreatePopupMenu() : tray.OnTimer(event);
    while (wxEventLoopBase::GetActive()->Pending()) wxEventLoopBase::GetActive()->Dispatch();
    wxTheApp->ProcessIdle();
}

// 0: Sentak::RefreshStatus; 1: a running tick; 2: a menu build.
void Tray(benchmark::State& state) {
    TestService service;
    FakeDesktop desktop;
    Sentak tray(desktop);
    for (auto _ : state) state.range(0) ? Step(tray, state.range(0) == 2) : tray.RefreshStatus();
}

void Soak(benchmark::State& state) {
    TestService service;
    FakeDesktop desktop;
    Sentak tray(desktop);
    for (int i = 0; i < 100; ++i) Step(tray, state.range(0));
    const long before = ResidentKiB();
    for (auto _ : state) Step(tray, state.range(0));
    state.counters["rss_growth_KiB"] = double(ResidentKiB() - before);
}

BENCHMARK(Tray)->ArgName("refresh_tick_menu")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(Soak)->ArgName("menu")->DenseRange(0, 1)->Iterations(10000)->Unit(
    benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) return 1;
    wxSetAssertHandler(nullptr);
    std::wcout.rdbuf(nullptr);
    {
        wxEventLoop loop;
        wxEventLoopActivator active(&loop);
        benchmark::RunSpecifiedBenchmarks();
    }
    wxEntryCleanup();
}
