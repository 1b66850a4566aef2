// The data channel's terminal bridge against a direct TCP connection to the same simulated
// channel (loopback plug, unpaced): round trip of one byte and throughput of a long stream.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "sim/SimFreePort.h"
#include "channel/TerminalBridge.h"
#include "sim/SimRecords.h"
#include "sim/TSimUdpHost.h"

using namespace qubra;
using TClock = std::chrono::steady_clock;

namespace {

constexpr int kRoundTrips = 2000;
constexpr std::size_t kStreamBytes = 16 << 20;

bool WaitFor(int Fd, short Events)
{
    pollfd watched{Fd, Events, 0};
    return poll(&watched, 1, 5000) > 0;
}

struct TFigures {
    double MedianMicroseconds;
    double P99Microseconds;
    double MegabytesPerSecond;
};

// Both ways over one descriptor (a socket or the terminal), which must be non-blocking.
TFigures Measure(int Fd)
{
    std::vector<double> trips;
    for (int i = 0; i < kRoundTrips; ++i) {
        const char byte = static_cast<char>(i);
        char back = 0;
        const auto start = TClock::now();
        while (write(Fd, &byte, 1) != 1)
            WaitFor(Fd, POLLOUT);
        while (read(Fd, &back, 1) != 1)
            WaitFor(Fd, POLLIN);
        trips.push_back(std::chrono::duration<double, std::micro>(TClock::now() - start).count());
    }
    std::sort(trips.begin(), trips.end());

    std::vector<char> chunk(16 * 1024, 'x');
    std::vector<char> in(64 * 1024);
    std::size_t sent = 0, received = 0;
    const auto start = TClock::now();
    while (received < kStreamBytes) {
        pollfd watched{Fd, static_cast<short>(POLLIN | (sent < kStreamBytes ? POLLOUT : 0)), 0};
        poll(&watched, 1, 5000);
        if ((watched.revents & POLLOUT) && sent < kStreamBytes) {
            const ssize_t n = write(Fd, chunk.data(), std::min(chunk.size(), kStreamBytes - sent));
            sent += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        if (watched.revents & POLLIN) {
            const ssize_t n = read(Fd, in.data(), in.size());
            received += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    return {trips[trips.size() / 2], trips[trips.size() * 99 / 100], kStreamBytes / seconds / 1e6};
}

class TQuietEvents : public TBridgeEvents {
public:
    std::atomic<bool> Up{false};
    void Connected(std::size_t, std::uint64_t) override { Up = true; }
    void ConnectFailed(const std::string&, int) override {}
    void Disconnected(const std::string&) override { Up = false; }
    void HoldFull(std::size_t) override {}
    void LineSettingsIgnored() override {}
};

void Print(const char* What, const TFigures& Figures)
{
    std::printf("%-28s round trip median %7.1f us, p99 %7.1f us; stream %7.1f MB/s\n", What,
                Figures.MedianMicroseconds, Figures.P99Microseconds, Figures.MegabytesPerSecond);
}

} // namespace

int main()
{
    TSimUdpHost host;
    TSimKnobs knobs;
    knobs.Unpaced = true;
    TSimDevice& device = host.AddDevice(SimTextToMAC("00-20-4a-00-b0-01"), SimTextToIP("127.0.24.200"), knobs);
    TBytes record = device.Record();
    const std::uint16_t port = SimFreeTcpPort();
    record[kSimUnitPortOffset] = static_cast<std::uint8_t>(port);
    record[kSimUnitPortOffset + 1] = static_cast<std::uint8_t>(port >> 8);
    device.SetRecord(record);
    host.Start();

    TChannelSettings channel;
    channel.DeviceIP = SimTextToIP("127.0.24.200");
    channel.DataPort = port;

    TFigures direct{};
    {
        TTcpConnection connection;
        for (int attempt = 0; attempt < 100 && !connection.Connect(channel.DeviceIP, port, 1000, -1); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!connection.Open()) {
            std::fprintf(stderr, "the simulated channel does not answer: %s\n", connection.Error().c_str());
            return 1;
        }
        direct = Measure(connection.Handle());
    }
    // The channel takes one connection at a time: let it see the direct one end.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    TQuietEvents events;
    TTerminalBridge bridge(channel, {}, events);
    int stop[2];
    if (pipe(stop) != 0)
        return 1;
    std::thread runner([&] { bridge.Run(stop[0]); });
    const int terminal = open(bridge.TerminalPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    tcgetattr(terminal, &raw);
    cfmakeraw(&raw);
    tcsetattr(terminal, TCSANOW, &raw);
    while (!events.Up)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const TFigures bridged = Measure(terminal);
    [[maybe_unused]] auto written = write(stop[1], "x", 1);
    runner.join();
    close(terminal);

    Print("direct TCP connection", direct);
    Print("through the terminal bridge", bridged);
    std::printf("added by the bridge: %.1f us per round trip (median), stream %.0f %% of direct\n",
                bridged.MedianMicroseconds - direct.MedianMicroseconds,
                100 * bridged.MegabytesPerSecond / direct.MegabytesPerSecond);
    return 0;
}
