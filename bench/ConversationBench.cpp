// Record exchange and search against a simulated device on loopback: the time of a read that the
// device answers at once (the floor is one 20 ms cycle), the CPU time of a read whose device
// never answers (177 cycles of 20 ms = 3540 ms by design), and a search by address that nobody
// answers (36 cycles of 100 ms for the answer time-out of 3500 ms). The silent waits run once on
// a quiet machine (load:0) and once with every core kept busy by spinning processes (load:1).
// CPU time is the whole process's: the engine's send thread and the simulated device's thread
// included (the spinning processes are not).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "bench/BusyLoad.h"
#include "conversation/DataSender.h"
#include "conversation/RecordingView.h"
#include "model/DeviceMapping.h"
#include "sim/TSimUdpHost.h"

namespace {

using namespace qubra;
using Clock = std::chrono::steady_clock;

// The designed length of the silent waits, in milliseconds.
constexpr double kSilentReadMs = (TfDataSender::kDefaultAnswerTimeout / 20 + 2) * 20;
constexpr double kSilentSearchMs = (TfDataSender::kDefaultAnswerTimeout / 100 + 1) * 100;

// An engine aimed at one simulated device on 127.0.0.1.
struct TBench {
    explicit TBench(bool Silent)
    {
        TSimKnobs knobs;
        knobs.Silent = Silent;
        Host.AddDevice(SimTextToMAC("00-20-4a-00-00-01"), SimTextToIP("127.0.0.1"), knobs);
        Host.Start();
        Sender.DevicePort = Host.Port();
    }
    TSimUdpHost Host;
    std::unique_ptr<TDataManager> Manager = LoadDeviceMapping("");
    TRecordingView View;
    TfDataSender Sender{View, Manager.get()};
};

// Runs Operation once per iteration and reports its wall time against Designed milliseconds,
// with the load that state.range(0) asks for.
template <typename TOperation>
void SilentWait(benchmark::State& state, const char* Name, double Designed, TOperation&& Operation)
{
    std::optional<bench::TBusyLoad> load;
    if (state.range(0) != 0)
        load.emplace();
    double worst = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        Operation();
        const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        worst = std::max(worst, wall);
        std::printf("%s (load %d): %.1f ms, designed %.0f ms (%+.2f %%), answer time-out 3500 ms (%+.2f %%)\n",
                    Name, static_cast<int>(state.range(0)), wall, Designed, 100 * (wall - Designed) / Designed,
                    100 * (wall - 3500) / 3500);
    }
    state.counters["worst_ms"] = worst;
    state.counters["worst_over_design_pct"] = 100 * (worst - Designed) / Designed;
}

void BM_QueryRecordsAnsweredAtOnce(benchmark::State& state)
{
    TBench bench(false);
    for (auto _ : state)
        if (bench.Sender.QueryRecords("127.0.0.1") != 1)
            state.SkipWithError("unexpected answer count");
}

void BM_QueryRecordsSilentDevice(benchmark::State& state)
{
    TBench bench(true);
    SilentWait(state, "silent read", kSilentReadMs, [&] {
        if (bench.Sender.QueryRecords("127.0.0.1") != 0)
            state.SkipWithError("unexpected answer count");
    });
}

void BM_SearchByIPNobodyAnswers(benchmark::State& state)
{
    TBench bench(true);
    SilentWait(state, "search nobody answers", kSilentSearchMs, [&] {
        if (!bench.Sender.SearchByIP("127.0.0.1").empty())
            state.SkipWithError("a silent device answered");
    });
}

BENCHMARK(BM_QueryRecordsAnsweredAtOnce)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(50);
BENCHMARK(BM_QueryRecordsSilentDevice)->ArgName("load")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(3);
BENCHMARK(BM_SearchByIPNobodyAnswers)->ArgName("load")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
