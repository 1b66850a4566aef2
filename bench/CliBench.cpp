// qubra-cli as a user runs it, wall time from the start of the process to its end, against
// simulated devices on loopback: the start of the program alone, a read by address of a device
// that answers at once (its floor: one 100 ms search cycle and one 20 ms exchange cycle; the
// median of 7 runs, and when its first datagram reached the device), a find by address that
// nobody answers (36 cycles of 100 ms), and a scan that 50 devices answer (it waits one whole
// answer time-out, 3500 ms by default). QUBRA_CLI_PROGRAM in the environment runs another
// build of the program than the one beside this benchmark.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/TSimUdpHost.h"
#include "tests/cli/ProgramRun.h"

namespace {

using namespace qubra;
using qubra::clitest::RunProgram;
using qubra::clitest::TProgramResult;

std::string Program()
{
    const char* chosen = std::getenv("QUBRA_CLI_PROGRAM");
    return chosen && *chosen ? chosen : QUBRA_CLI_PROGRAM;
}

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
void AddDevices(TSimUdpHost& Host, int Count, const TSimKnobs& Knobs = {})
{
    for (int i = 1; i <= Count; ++i)
        Host.AddDevice(SimTextToMAC(DeviceMAC(i)), SimTextToIP(DeviceIP(i)), Knobs);
    Host.Start();
}

TProgramResult Cli(const TSimUdpHost& Host, std::vector<std::string> Arguments)
{
    Arguments.insert(Arguments.begin(), {Program(), "--port", std::to_string(Host.Port()),
                                         "--broadcast", "127.255.255.255"});
    return RunProgram(std::move(Arguments));
}

double MillisecondsBetween(std::chrono::steady_clock::time_point From, std::chrono::steady_clock::time_point To)
{
    return std::chrono::duration<double, std::milli>(To - From).count();
}

void BM_ProgramStart(benchmark::State& state)
{
    for (auto _ : state)
        if (RunProgram({Program(), "--version"}).ExitCode != 0)
            state.SkipWithError("--version failed");
}

void BM_ReadByAddress(benchmark::State& state)
{
    TSimUdpHost host;
    AddDevices(host, 1);
    TSimDevice& device = host.Device(0);
    for (auto _ : state) {
        device.ClearReceived();
        const auto start = std::chrono::steady_clock::now();
        const TProgramResult result = Cli(host, {"read", "--ip", DeviceIP(1)});
        const double wall = MillisecondsBetween(start, std::chrono::steady_clock::now());
        if (result.ExitCode != 0 || result.Out.find("SetupRecord0.unit_ip=" + DeviceIP(1)) != 0)
            state.SkipWithError(("read failed: " + result.Err).c_str());
        const std::vector<TSimReceived> received = device.Received();
        // The clock is the system's monotonic one in both processes.
        const double first = received.empty() ? -1 : MillisecondsBetween(start, received.front().At);
        state.counters["first_datagram_ms"] = first;
        std::printf("read --ip: %.1f ms (floor 120 ms, x %.3f), first datagram at %.1f ms\n", wall, wall / 120,
                    first);
    }
}

void BM_FindNobodyAnswers(benchmark::State& state)
{
    TSimKnobs silent;
    silent.Silent = true;
    TSimUdpHost host;
    AddDevices(host, 1, silent);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const TProgramResult result = Cli(host, {"find", "--ip", DeviceIP(1)});
        const double wall = MillisecondsBetween(start, std::chrono::steady_clock::now());
        if (result.ExitCode != 1)
            state.SkipWithError(("a silent device was found: " + result.Out).c_str());
        std::printf("find --ip, nobody answers: %.1f ms (answer time-out 3500 ms, %+.2f %%)\n", wall,
                    100 * (wall - 3500) / 3500);
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
BENCHMARK(BM_ReadByAddress)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(7);
BENCHMARK(BM_FindNobodyAnswers)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_ScanFiftyDevices)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
