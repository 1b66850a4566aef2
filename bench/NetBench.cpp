// Loopback costs of the datagram transport: the round trip of one request through the send
// thread and WaitForData, the processor time of a wait that sees nothing, and a burst of 1000
// answers arriving within one 20 ms cycle of waits as the record exchange makes them.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "net/MySocket.h"
#include "tests/net/LoopbackPeer.h"

using namespace qubra;

namespace {

// Sends every datagram straight back to where it came from.
class TEchoPeer {
public:
    TEchoPeer() : FThread([this](std::stop_token stop) { Run(stop); }) {}
    std::uint16_t Port() const { return FPeer.Port(); }

private:
    void Run(std::stop_token Stop)
    {
        std::uint8_t buffer[2048];
        while (!Stop.stop_requested()) {
            pollfd wait{FPeer.Handle(), POLLIN, 0};
            if (poll(&wait, 1, 50) != 1)
                continue;
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t size =
                recvfrom(FPeer.Handle(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (size >= 0)
                sendto(FPeer.Handle(), buffer, size, 0, reinterpret_cast<sockaddr*>(&from), length);
        }
    }

    test::TLoopbackPeer FPeer;
    std::jthread FThread; // declared last: stopped and joined before the socket closes
};

double ThreadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RoundTripThroughSendThread(benchmark::State& state)
{
    TEchoPeer echo;
    TMySocket socket;
    socket.SetSendThread(true);
    socket.SetLocalIP("127.0.0.1");
    socket.SetRemoteIP("127.0.0.1");
    socket.SetRemotePort(echo.Port());
    socket.Connect(true);
    const TBytes request{0x00, 0x00, 0x00, 0xE0};
    TMyPacket answer;
    std::int64_t lost = 0;
    for (auto _ : state) {
        socket.Send(request);
        if (!socket.WaitForData(1000, false))
            ++lost;
        while (socket.ReceiveQueue().Pop(answer)) {
        }
    }
    state.counters["lost"] = static_cast<double>(lost);
}
BENCHMARK(RoundTripThroughSendThread)->Unit(benchmark::kMicrosecond)->UseRealTime();

void IdleWaitForData(benchmark::State& state)
{
    TMySocket socket;
    socket.SetLocalIP("127.0.0.1");
    socket.Bind();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuBefore = ThreadCpuSeconds();
        const bool got = socket.WaitForData(3500, false);
        const double cpu = ThreadCpuSeconds() - cpuBefore;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_ms"] = cpu * 1000;
        state.counters["wall_ms"] = wall * 1000;
        state.counters["cpu_percent_of_core"] = 100 * cpu / wall;
        std::printf("idle WaitForData(3500): got=%d wall %.1f ms, cpu %.1f ms = %.2f %% of one core\n", got,
                    wall * 1000, cpu * 1000, 100 * cpu / wall);
    }
}
BENCHMARK(IdleWaitForData)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);

std::uint16_t LocalPortOf(const TMySocket& Socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(Socket.Handle(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A peer sends 1000 record-sized datagrams as the first of three 20 ms cycles begins: back to
// back (spread:0), or 50 each millisecond, spread over the first cycle (spread:1). Stored: what
// the three cycles put into the receive queue; late: what was still in the socket afterwards;
// lost: the rest, dropped because the socket's buffer ran full.
void BurstWithinOneCycle(benchmark::State& state)
{
    constexpr int kBurst = 1000;
    constexpr int kCycles = 3;
    test::TLoopbackPeer peer;
    TMySocket socket;
    socket.SetLocalIP("127.0.0.1");
    socket.Bind();
    const std::uint16_t port = LocalPortOf(socket);
    const TBytes answer(120, 0xD0);
    const bool spread = state.range(0) != 0;
    int receiveBuffer = 0;
    socklen_t length = sizeof receiveBuffer;
    getsockopt(socket.Handle(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, &length);
    std::printf("receive buffer: %d bytes (capped by net.core.rmem_max)\n", receiveBuffer);
    int worstLost = 0;
    for (auto _ : state) {
        std::atomic<double> burstMs{0};
        std::jthread burst([&] {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kBurst; ++i) {
                if (spread && i % 50 == 0)
                    std::this_thread::sleep_until(start + std::chrono::milliseconds(i / 50));
                peer.SendTo(port, answer);
            }
            burstMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        });
        for (int cycle = 0; cycle < kCycles; ++cycle)
            socket.WaitForData(20, true);
        burst.join();
        const int stored = socket.ReceiveQueue().Count();
        socket.ReceiveQueue().Clear();
        while (socket.WaitForData(50, true)) {
        }
        const int late = socket.ReceiveQueue().Count();
        socket.ReceiveQueue().Clear();
        const int lost = kBurst - stored - late;
        worstLost = std::max(worstLost, lost);
        std::printf("burst of %d (%s) sent in %.1f ms: %d stored in %d cycles of 20 ms, %d late, %d lost\n",
                    kBurst, spread ? "spread" : "back to back", burstMs.load(), stored, kCycles, late, lost);
    }
    state.counters["worst_lost"] = worstLost;
}
BENCHMARK(BurstWithinOneCycle)->ArgName("spread")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

BENCHMARK_MAIN();
