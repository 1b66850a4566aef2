// Record exchange against a simulated device on loopback: the time of a read that the device
// answers at once (the floor is one 20 ms cycle), and the CPU time of a read whose device never
// answers (3.5 s of polling). CPU time is the whole process's: the engine's send thread and the
// simulated device's thread included.
#include <benchmark/benchmark.h>

#include "conversation/DataSender.h"
#include "conversation/RecordingView.h"
#include "model/DeviceMapping.h"
#include "sim/TSimUdpHost.h"

namespace {

using namespace qubra;

void QueryRecords(benchmark::State& state, bool silent)
{
    TSimUdpHost host;
    TSimKnobs knobs;
    knobs.Silent = silent;
    host.AddDevice(SimTextToMAC("00-20-4a-00-00-01"), SimTextToIP("127.0.0.1"), knobs);
    host.Start();
    std::unique_ptr<TDataManager> manager = LoadDeviceMapping("");
    TRecordingView view;
    TfDataSender sender(view, manager.get());
    sender.DevicePort = host.Port();
    for (auto _ : state) {
        const int answered = sender.QueryRecords("127.0.0.1");
        if (answered != (silent ? 0 : 1))
            state.SkipWithError("unexpected answer count");
    }
}

void BM_QueryRecordsAnsweredAtOnce(benchmark::State& state) { QueryRecords(state, false); }
void BM_QueryRecordsSilentDevice(benchmark::State& state) { QueryRecords(state, true); }

BENCHMARK(BM_QueryRecordsAnsweredAtOnce)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(50);
BENCHMARK(BM_QueryRecordsSilentDevice)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
