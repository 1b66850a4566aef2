// qubra-cli as a user runs it, wall time from the start of the process to its end, against
// simulated devices on loopback: the start of the program alone, a read by address of a device
// that answers at once (its floor: one 100 ms search cycle and one 20 ms exchange cycle; the
// median of 7 runs, and when its first datagram reached the device), a find by address that
// nobody answers (36 cycles of 100 ms), and a scan that 50 devices answer (it waits one whole
// answer time-out, 3500 ms by default), and an import of one tested configuration onto 1, 10 and
// 50 devices that restart for 1.5 s after a write, set up side by side. QUBRA_CLI_PROGRAM in the environment runs another
// build of the program than the one beside this benchmark.
#include <unistd.h>

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

// Wall time of `import` onto Count fresh devices that restart for 1.5 s after the write.
double ImportOnto(int Count, const std::string& File, benchmark::State& State, const std::string& Jobs = "")
{
    TSimKnobs restarting;
    restarting.RestartMs = 1500;
    TSimUdpHost host;
    AddDevices(host, Count, restarting);
    std::vector<std::string> arguments{"import", "--in", File, "--yes", "--json"};
    if (!Jobs.empty())
        arguments.insert(arguments.end(), {"--jobs", Jobs});
    for (int i = 1; i <= Count; ++i)
        arguments.insert(arguments.end(), {"--ip", DeviceIP(i)});
    const auto start = std::chrono::steady_clock::now();
    const TProgramResult result = Cli(host, arguments);
    const double wall = MillisecondsBetween(start, std::chrono::steady_clock::now());
    std::size_t written = 0;
    for (int i = 0; i < Count; ++i)
        written += host.Device(i).Restarts() == 1 ? 1 : 0;
    if (result.ExitCode != 0 || written != static_cast<std::size_t>(Count))
        State.SkipWithError(("import failed: " + std::to_string(written) + " written\n" + result.Err).c_str());
    return wall;
}

void BM_ImportOntoRestartingDevices(benchmark::State& state)
{
    const std::string file = "/tmp/qubra-cli-bench-" + std::to_string(getpid()) + ".json";
    {
        TSimUdpHost host;
        AddDevices(host, 1);
        const TProgramResult exported = Cli(host, {"export", "--ip", DeviceIP(1), "--out", file});
        if (exported.ExitCode != 0) {
            state.SkipWithError(("export failed: " + exported.Err).c_str());
            return;
        }
    }
    for (auto _ : state) {
        const double one = ImportOnto(1, file, state);
        const double ten = ImportOnto(10, file, state);
        // By default 32 at a time: 50 devices go in two rounds.
        const double fifty = ImportOnto(50, file, state);
        const double fiftyAtOnce = ImportOnto(50, file, state, "50");
        state.counters["one_ms"] = one;
        state.counters["ten_x"] = ten / one;
        state.counters["fifty_x"] = fifty / one;
        state.counters["fifty_jobs50_x"] = fiftyAtOnce / one;
        std::printf("import, restart 1.5 s: 1 device %.0f ms, 10 devices %.0f ms (x %.2f, limit 1.3), "
                    "50 devices %.0f ms (x %.3f, limit 2), 50 devices with --jobs 50 %.0f ms (x %.2f)\n",
                    one, ten, ten / one, fifty, fifty / one, fiftyAtOnce, fiftyAtOnce / one);
    }
    std::remove(file.c_str());
}

BENCHMARK(BM_ProgramStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_ReadByAddress)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(7);
BENCHMARK(BM_FindNobodyAnswers)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_ScanFiftyDevices)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ImportOntoRestartingDevices)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);

} // namespace

BENCHMARK_MAIN();
