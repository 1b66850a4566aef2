// qubra-cli as a user runs it, wall time from the start of the process to its end, against
// simulated devices on loopback that answer at once: the start of the program alone, a read by
// address (its floor: one 100 ms search cycle and one 20 ms exchange cycle), and a scan that
// 50 devices answer (it waits one whole answer time-out, 3500 ms by default).
#include <benchmark/benchmark.h>

#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/TSimUdpHost.h"
#include "tests/cli/ProgramRun.h"

namespace {

using namespace qubra;
using qubra::clitest::RunProgram;
using qubra::clitest::TProgramResult;

std::string DeviceMAC(int Index)
{
    char text[18];
    std::snprintf(text, sizeof text, "00-20-4a-00-01-%02x", Index);
    return text;
}

std::string DeviceIP(int Index)
{
    return "127.0.1." + std::to_string(Index);
}

// Devices 1..Count, started.
void AddDevices(TSimUdpHost& Host, int Count)
{
    for (int i = 1; i <= Count; ++i)
        Host.AddDevice(SimTextToMAC(DeviceMAC(i)), SimTextToIP(DeviceIP(i)));
    Host.Start();
}

TProgramResult Cli(const TSimUdpHost& Host, std::vector<std::string> Arguments)
{
    Arguments.insert(Arguments.begin(), {QUBRA_CLI_PROGRAM, "--port", std::to_string(Host.Port()),
                                         "--broadcast", "127.255.255.255"});
    return RunProgram(std::move(Arguments));
}

void BM_ProgramStart(benchmark::State& state)
{
    for (auto _ : state)
        if (RunProgram({QUBRA_CLI_PROGRAM, "--version"}).ExitCode != 0)
            state.SkipWithError("--version failed");
}

void BM_ReadByAddress(benchmark::State& state)
{
    TSimUdpHost host;
    AddDevices(host, 1);
    for (auto _ : state) {
        const TProgramResult result = Cli(host, {"read", "--ip", DeviceIP(1)});
        if (result.ExitCode != 0 || result.Out.find("SetupRecord0.unit_ip=" + DeviceIP(1)) != 0)
            state.SkipWithError(("read failed: " + result.Err).c_str());
    }
}

void BM_ScanFiftyDevices(benchmark::State& state)
{
    constexpr int kDevices = 50;
    TSimUdpHost host;
    AddDevices(host, kDevices);
    std::size_t listed = 0;
    for (auto _ : state) {
        const TProgramResult result = Cli(host, {"scan", "--json"});
        if (result.ExitCode != 0) {
            state.SkipWithError(("scan failed: " + result.Err).c_str());
            break;
        }
        // Every device once, at its own address.
        std::set<std::string> seen;
        for (const auto& entry : nlohmann::json::parse(result.Out)) {
            const std::string mac = entry["mac"];
            if (!seen.insert(mac).second)
                state.SkipWithError(("listed twice: " + mac).c_str());
        }
        for (int i = 1; i <= kDevices; ++i)
            if (!seen.count(DeviceMAC(i)))
                state.SkipWithError(("not listed: " + DeviceMAC(i)).c_str());
        listed = seen.size();
    }
    state.counters["listed"] = static_cast<double>(listed);
}

BENCHMARK(BM_ProgramStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_ReadByAddress)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_ScanFiftyDevices)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
