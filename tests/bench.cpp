// What the tray costs, for docs/performance.md: a refresh, a running tick and a menu build, and
// the resident memory each adds over 10,000 of them; and a read of the service's last words.
// Runs in a real wxApp (xvfb-run) beside the built Resources/, against the stand-in service in
// this process.
#include <benchmark/benchmark.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include <fstream>

#include "journal.h"
#include "platform/linux/service_log.h"
#include "support.h"

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// 0: a refresh; 1: a running tick; 2: a menu build; each followed by the event loop's pending
// work and idle processing, as between two timer events.
void Step(Sentak& tray, int what) {
    wxTimer timer;
    wxTimerEvent event(timer);
    what == 0   ? tray.RefreshStatus()
    : what == 1 ? tray.OnTimer(event)
                : delete tray.CreatePopupMenu();
    while (wxEventLoopBase::GetActive()->Pending()) wxEventLoopBase::GetActive()->Dispatch();
    wxTheApp->ProcessIdle();
}

// 10,000 steps of one kind, and the resident memory they add after a warm-up of 100.
void Tray(benchmark::State& state) {
    TestService service;
    FakeDesktop desktop;
    Sentak tray(desktop);
    for (int i = 0; i < 100; ++i) Step(tray, int(state.range(0)));
    const long before = ResidentKiB();
    for (auto _ : state) Step(tray, int(state.range(0)));
    state.counters["rss_growth_KiB"] = double(ResidentKiB() - before);
}
BENCHMARK(Tray)
    ->ArgName("refresh_tick_menu")
    ->DenseRange(0, 2)
    ->Iterations(10000)
    ->Unit(benchmark::kMicrosecond);

// The service's last words from a journal of 100,000 entries, every tenth the run's and none an
// error: the most the reader looks at, the run's last 1,000 entries.
void JournalRead(benchmark::State& state) {
    const std::string unit = "quenthal.service", run(32, 'a'), other(32, 'b'), boot(32, '1');
    std::string entries;
    for (int i = 0; i < 100000; ++i)
        entries += i % 10 ? Entry("other.service", other, boot, 6, "other " + std::to_string(i))
                          : Entry(unit, run, boot, 6, "the service's line " + std::to_string(i));
    const std::string folder = Journal(entries);
    for (auto _ : state) benchmark::DoNotOptimize(ReadLastWordsIn({unit, run}, folder));
    std::filesystem::remove_all(folder);
}
BENCHMARK(JournalRead)->Iterations(500)->Unit(benchmark::kMillisecond);

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
