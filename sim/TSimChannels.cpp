#include "sim/TSimChannels.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace qubra {

namespace {

// How often the records and knobs are looked at while nothing happens.
constexpr int kFollowMs = 10;
// Echo bytes waiting beyond which the connection is not read (the device's buffer is full).
constexpr std::size_t kBacklog = 64 * 1024;

} // namespace

struct TSimChannels::TChannel {
    TSimDevice* Device = nullptr;
    int Listener = -1;
    std::uint32_t ListenIP = 0;
    std::uint16_t ListenPort = 0;
    std::string BindError;  // the last failure to listen, logged once
    int Connection = -1;
    TBytes Echo;                  // bytes taken, not yet sent back
    long long Taken = 0;          // bytes the connection brought
    bool DropDue = false;         // close once the echo is out
    double BytesPerSecond = 0;    // 0: unpaced
    TSimClock::time_point Origin; // the line's present run of characters began here...
    long long SentInRun = 0;      // ...and this many have gone back in it
};

TSimChannels::TSimChannels()
{
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        throw ESimError("cannot create the wake-up pipe");
    WakeRead = ends[0];
    WakeWrite = ends[1];
}

TSimChannels::~TSimChannels()
{
    Stop();
    close(WakeRead);
    close(WakeWrite);
}

void TSimChannels::Serve(TSimDevice& device)
{
    if (Worker.joinable())
        throw ESimError("devices are added before the host starts");
    Channels.push_back({});
    Channels.back().Device = &device;
}

void TSimChannels::Start()
{
    if (Worker.joinable())
        return;
    Stopping = false;
    Worker = std::thread([this] { Run(); });
}

void TSimChannels::Stop()
{
    if (!Worker.joinable())
        return;
    Stopping = true;
    const char byte = 0;
    [[maybe_unused]] auto written = write(WakeWrite, &byte, 1);
    Worker.join();
    for (TChannel& channel : Channels) {
        if (channel.Connection >= 0)
            close(channel.Connection);
        if (channel.Listener >= 0)
            close(channel.Listener);
        TSimDevice* device = channel.Device;
        channel = TChannel();
        channel.Device = device;
    }
}

void TSimChannels::Log(const TChannel& channel, const std::string& what) const
{
    if (OnLog)
        OnLog("channel " + SimMACToText(channel.Device->MAC()) + " " + what);
}

void TSimChannels::Run()
{
    while (!Stopping) {
        std::vector<pollfd> watched{{WakeRead, POLLIN, 0}};
        int timeout = kFollowMs;
        const TSimClock::time_point now = TSimClock::now();
        for (TChannel& channel : Channels) {
            Follow(channel);
            Echo(channel, now);
            if (channel.Listener >= 0)
                watched.push_back({channel.Listener, POLLIN, 0});
            if (channel.Connection >= 0) {
                const bool room = channel.Echo.size() < kBacklog && !channel.DropDue;
                // Unpaced, the echo goes as fast as the connection takes it.
                const bool waiting = !channel.Echo.empty() && channel.BytesPerSecond <= 0;
                watched.push_back({channel.Connection,
                                   static_cast<short>((room ? POLLIN : 0) | (waiting ? POLLOUT : 0)), 0});
                timeout = std::min(timeout, MillisecondsToNextByte(channel, now));
            }
        }
        if (poll(watched.data(), watched.size(), timeout) < 0 && errno != EINTR)
            break;
        char drain[64];
        while (read(WakeRead, drain, sizeof drain) > 0) {
        }
        for (const pollfd& ready : watched)
            for (TChannel& channel : Channels) {
                if (ready.revents && ready.fd == channel.Listener)
                    Accept(channel);
                else if ((ready.revents & (POLLIN | POLLHUP | POLLERR)) && ready.fd == channel.Connection)
                    Take(channel);
            }
    }
}

void TSimChannels::Follow(TChannel& channel)
{
    const TSimLine line = SimLineOf(channel.Device->Record());
    const TSimKnobs knobs = channel.Device->Knobs();
    channel.BytesPerSecond = knobs.Unpaced ? 0 : line.BytesPerSecond();
    const std::uint32_t ip = channel.Device->IP();
    const bool wanted = line.Accepts && !knobs.RefuseConnections && line.Port != 0;
    if (channel.Listener >= 0 && (!wanted || ip != channel.ListenIP || line.Port != channel.ListenPort)) {
        close(channel.Listener);
        channel.Listener = -1;
    }
    if (!wanted || channel.Listener >= 0)
        return;
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ip;
    address.sin_port = htons(line.Port);
    const std::string where = SimIPToText(ip) + ":" + std::to_string(line.Port);
    if (socket < 0 || bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket, 4) != 0) {
        const std::string error = "error cannot listen on " + where + ": " + std::strerror(errno);
        if (socket >= 0)
            close(socket);
        if (error != channel.BindError)
            Log(channel, error);
        channel.BindError = error;
        return;
    }
    channel.BindError.clear();
    channel.Listener = socket;
    channel.ListenIP = ip;
    channel.ListenPort = line.Port;
}

void TSimChannels::Accept(TChannel& channel)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int connection = accept4(channel.Listener, reinterpret_cast<sockaddr*>(&peer), &length,
                                   SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (connection < 0)
        return;
    const std::string from = SimIPToText(peer.sin_addr.s_addr) + ":" + std::to_string(ntohs(peer.sin_port));
    // A peer that closed and connected again at once: its old connection has ended, even if
    // the loop has not seen that yet.
    if (char byte; channel.Connection >= 0 && recv(channel.Connection, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
        EndConnection(channel, "closed by the peer");
    // The serial port serves one connection at a time.
    if (channel.Connection >= 0) {
        close(connection);
        Log(channel, "refuses " + from + ": a connection is open");
        return;
    }
    channel.Connection = connection;
    channel.Echo.clear();
    channel.Taken = 0;
    channel.DropDue = false;
    channel.SentInRun = 0;
    Log(channel, "connection from " + from);
}

void TSimChannels::Take(TChannel& channel)
{
    std::uint8_t buffer[8192];
    const ssize_t got = recv(channel.Connection, buffer, sizeof buffer, 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
        return EndConnection(channel, got == 0 ? "closed by the peer" : std::strerror(errno));
    if (got < 0)
        return;
    const TSimKnobs knobs = channel.Device->Knobs();
    long long taken = got;
    if (knobs.DropAfterBytes > 0 && channel.Taken + taken >= knobs.DropAfterBytes) {
        taken = knobs.DropAfterBytes - channel.Taken;
        channel.DropDue = true;
    }
    if (channel.Echo.empty() && channel.BytesPerSecond > 0 &&
        TSimClock::now() >= channel.Origin + std::chrono::duration<double>(channel.SentInRun / channel.BytesPerSecond)) {
        // The line was idle: a new run of characters starts now.
        channel.Origin = TSimClock::now();
        channel.SentInRun = 0;
    }
    for (long long i = 0; i < taken; ++i, ++channel.Taken)
        channel.Echo.push_back(channel.Taken == knobs.CorruptAt ? buffer[i] ^ 0xFF : buffer[i]);
    Echo(channel, TSimClock::now());
}

void TSimChannels::Echo(TChannel& channel, TSimClock::time_point now)
{
    if (channel.Connection < 0)
        return;
    std::size_t due = channel.Echo.size();
    if (channel.BytesPerSecond > 0) {
        // A character is back once the line has carried it whole.
        const double elapsed = std::chrono::duration<double>(now - channel.Origin).count();
        const long long carried = static_cast<long long>(std::floor(elapsed * channel.BytesPerSecond));
        due = static_cast<std::size_t>(std::clamp<long long>(carried - channel.SentInRun, 0, due));
    }
    if (due > 0) {
        const ssize_t sent = send(channel.Connection, channel.Echo.data(), due, MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN && errno != EINTR)
            return EndConnection(channel, std::strerror(errno));
        if (sent > 0) {
            channel.Echo.erase(channel.Echo.begin(), channel.Echo.begin() + sent);
            channel.SentInRun += sent;
        }
    }
    if (channel.DropDue && channel.Echo.empty()) {
        // A hard close, as a device that drops the connection sends.
        const linger hard{1, 0};
        setsockopt(channel.Connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        EndConnection(channel, "dropped after " + std::to_string(channel.Taken) + " bytes");
    }
}

int TSimChannels::MillisecondsToNextByte(const TChannel& channel, TSimClock::time_point now) const
{
    if (channel.Echo.empty())
        return kFollowMs;
    if (channel.BytesPerSecond <= 0)
        return 1;
    const auto next = channel.Origin + std::chrono::duration<double>((channel.SentInRun + 1) / channel.BytesPerSecond);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, kFollowMs));
}

void TSimChannels::EndConnection(TChannel& channel, const std::string& why)
{
    close(channel.Connection);
    channel.Connection = -1;
    channel.Echo.clear();
    Log(channel, "connection ended: " + why);
}

} // namespace qubra
