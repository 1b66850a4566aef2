#include "channel/LoopbackTest.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "channel/TcpConnection.h"

namespace qubra {

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kConnectTimeoutMs = 3000;
constexpr std::size_t kChunk = 4096;

} // namespace

TLoopbackTest::TLoopbackTest(const TChannelSettings& Channel, std::size_t Bytes)
    : FChannel(Channel), FPattern(Pattern(Bytes))
{
    const double perSecond = Channel.BytesPerSecond();
    FIdleMs = 1000 + (perSecond > 0 ? static_cast<int>(20 * 1000 / perSecond) : 1000);
}

std::string TLoopbackTest::Pattern(std::size_t Bytes)
{
    std::string pattern(Bytes, '\0');
    std::uint32_t state = 0x2545F491u;
    for (char& byte : pattern) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state >> 24);
    }
    return pattern;
}

TLoopbackResult TLoopbackTest::Run(int StopFd)
{
    TLoopbackResult result;
    result.LineBytesPerSecond = FChannel.BytesPerSecond();
    TTcpConnection connection;
    if (!connection.Connect(FChannel.DeviceIP, FChannel.DataPort, kConnectTimeoutMs, StopFd)) {
        if (connection.Error().empty()) {
            result.Interrupted = true;
            return result;
        }
        throw EChannelError(FChannel.EndpointText() + ": " + connection.Error());
    }
    const std::size_t burst = std::min(kBurstBytes, FPattern.size());
    result.BurstBytes = burst;
    result.RoundTripMs = 1000 * Exchange(connection.Handle(), StopFd, 0, burst, result);
    // Without the burst back there is no loopback to measure.
    if (result.Received >= burst && !result.Interrupted && burst < FPattern.size()) {
        const std::size_t before = result.Received;
        const double seconds = Exchange(connection.Handle(), StopFd, burst, FPattern.size(), result);
        if (seconds > 0)
            result.BytesPerSecond = static_cast<double>(result.Received - before) / seconds;
    }
    if (result.FirstWrong < 0 && result.Received < result.Sent)
        result.FirstWrong = static_cast<std::int64_t>(result.Received);
    return result;
}

double TLoopbackTest::Exchange(int Socket, int StopFd, std::size_t From, std::size_t To,
                               TLoopbackResult& Result)
{
    const TClock::time_point start = TClock::now();
    TClock::time_point lastByte = start;
    TClock::time_point lastArrival = start;
    std::size_t next = From;
    while (Result.Received < To) {
        const int waited = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - lastArrival).count());
        // The idle wait starts once everything is out.
        if (next == To && waited >= FIdleMs)
            break;
        pollfd watched[2] = {{Socket, static_cast<short>(POLLIN | (next < To ? POLLOUT : 0)), 0},
                             {StopFd, POLLIN, 0}};
        if (poll(watched, StopFd >= 0 ? 2 : 1, std::max(1, FIdleMs - waited)) < 0 && errno != EINTR)
            throw EChannelError(std::string("poll: ") + std::strerror(errno));
        if (StopFd >= 0 && (watched[1].revents & POLLIN)) {
            Result.Interrupted = true;
            break;
        }
        if (watched[0].revents & POLLOUT) {
            const ssize_t sent = send(Socket, FPattern.data() + next, std::min(kChunk, To - next), MSG_NOSIGNAL);
            if (sent > 0) {
                next += static_cast<std::size_t>(sent);
                Result.Sent += static_cast<std::size_t>(sent);
                if (next == To)
                    lastArrival = TClock::now();
            }
        }
        if (watched[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char chunk[kChunk];
            const ssize_t got = recv(Socket, chunk, sizeof chunk, 0);
            if (got <= 0 && !(got < 0 && (errno == EAGAIN || errno == EINTR)))
                break;  // the device closed the connection
            if (got > 0) {
                Take(chunk, static_cast<std::size_t>(got), Result);
                lastByte = lastArrival = TClock::now();
            }
        }
    }
    return std::chrono::duration<double>(lastByte - start).count();
}

void TLoopbackTest::Take(const char* Data, std::size_t Size, TLoopbackResult& Result)
{
    for (std::size_t i = 0; i < Size; ++i, ++Result.Received) {
        if (Result.Received < FPattern.size() && Data[i] == FPattern[Result.Received])
            continue;
        if (Result.FirstWrong < 0)
            Result.FirstWrong = static_cast<std::int64_t>(Result.Received);
        ++Result.WrongBytes;
    }
}

} // namespace qubra
