#include "channel/TerminalBridge.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qubra {

namespace {

constexpr std::size_t kChunk = 16 * 1024;
// Bytes from the device waiting for the terminal beyond which the device is not read.
constexpr std::size_t kTerminalBacklog = 64 * 1024;
// A connection that lasts this long makes the next pause short again.
constexpr auto kSteadyConnection = std::chrono::seconds(1);
// How often the terminal's line settings are looked at.
constexpr int kSettingsCheckMs = 200;

bool WouldBlock(int Code)
{
    return Code == EAGAIN || Code == EWOULDBLOCK || Code == EINTR;
}

} // namespace

int TReconnectPause::Next()
{
    const int pause = FNext;
    FNext = std::min(FNext * 2, FLongest);
    return pause;
}

TTerminalBridge::TTerminalBridge(const TChannelSettings& Channel, TOptions Options, TBridgeEvents& Events)
    : FChannel(Channel), FOptions(Options), FEvents(Events),
      FPause(Options.FirstPauseMs, Options.LongestPauseMs)
{
}

TBridgeCounts TTerminalBridge::Run(int StopFd)
{
    FNextAttempt = TClock::now();
    for (;;) {
        const TClock::time_point now = TClock::now();
        if (!FSocket.Open() && now >= FNextAttempt)
            StartConnecting();
        else if (FSocket.Open() && !FConnected && now >= FNextAttempt)
            RetryLater(std::strerror(ETIMEDOUT));
        if (FTerminal.LineSettingsChanged())
            FEvents.LineSettingsIgnored();

        const bool holdRoom = FToDevice.size() < FOptions.HoldLimit;
        // While away the terminal is always read, so that what it writes is held or counted.
        short terminal = FConnected && !holdRoom ? 0 : POLLIN;
        if (!FToTerminal.empty())
            terminal |= POLLOUT;
        short device = 0;
        if (FSocket.Open() && !FConnected)
            device = POLLOUT;
        else if (FConnected)
            device = static_cast<short>((FToTerminal.size() < kTerminalBacklog ? POLLIN : 0) |
                                        (FToDevice.empty() ? 0 : POLLOUT));
        pollfd watched[3] = {{StopFd, POLLIN, 0}, {FTerminal.Handle(), terminal, 0},
                             {FSocket.Handle(), device, 0}};
        if (poll(watched, FSocket.Open() ? 3 : 2, PollTimeout(now)) < 0 && errno != EINTR)
            throw EChannelError(std::string("poll: ") + std::strerror(errno));
        if (watched[0].revents & POLLIN)
            break;
        if (watched[1].revents & POLLOUT)
            WriteTerminal();
        if (watched[1].revents & POLLIN)
            ReadTerminal();
        if (FSocket.Open() && watched[2].revents) {
            if (!FConnected)
                ConnectDone();
            else {
                if (watched[2].revents & (POLLIN | POLLHUP | POLLERR))
                    ReadDevice();
                if (FConnected && (watched[2].revents & POLLOUT))
                    WriteDevice();
            }
        }
    }
    FCounts.Dropped += FDroppedAway;
    return FCounts;
}

int TTerminalBridge::PollTimeout(TClock::time_point Now) const
{
    if (FSocket.Open())
        return kSettingsCheckMs;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(FNextAttempt - Now).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, kSettingsCheckMs));
}

void TTerminalBridge::StartConnecting()
{
    if (!FSocket.Begin(FChannel.DeviceIP, FChannel.DataPort))
        RetryLater(FSocket.Error());
    else
        FNextAttempt = TClock::now() + std::chrono::milliseconds(FOptions.ConnectTimeoutMs);
}

void TTerminalBridge::RetryLater(const std::string& Reason)
{
    FSocket.Close();
    const int pause = FPause.Next();
    FEvents.ConnectFailed(Reason, pause);
    FNextAttempt = TClock::now() + std::chrono::milliseconds(pause);
}

void TTerminalBridge::ConnectDone()
{
    if (!FSocket.Finish())
        return RetryLater(FSocket.Error());
    FConnected = true;
    FConnectedAt = TClock::now();
    ++FCounts.Connections;
    FCounts.Held += FCounts.Connections > 1 ? FToDevice.size() : 0;
    FCounts.Dropped += FDroppedAway;
    FEvents.Connected(FCounts.Connections > 1 ? FToDevice.size() : 0, FDroppedAway);
    FDroppedAway = 0;
    FHoldFullTold = false;
    WriteDevice();
}

void TTerminalBridge::Lost(const std::string& Reason)
{
    FSocket.Close();
    FConnected = false;
    if (TClock::now() - FConnectedAt >= kSteadyConnection)
        FPause.Reset();
    FEvents.Disconnected(Reason);
    FNextAttempt = TClock::now() + std::chrono::milliseconds(FPause.Next());
    // What had not yet gone out stays for the next connection; beyond the hold it is dropped.
    if (FToDevice.size() > FOptions.HoldLimit) {
        FDroppedAway += FToDevice.size() - FOptions.HoldLimit;
        FToDevice.resize(FOptions.HoldLimit);
    }
}

void TTerminalBridge::ReadTerminal()
{
    char chunk[kChunk];
    const ssize_t got = read(FTerminal.Handle(), chunk, sizeof chunk);
    if (got <= 0)
        return;
    const std::size_t room = FToDevice.size() < FOptions.HoldLimit ? FOptions.HoldLimit - FToDevice.size() : 0;
    // While connected the terminal is read only when there is room, so nothing is dropped.
    const std::size_t taken = FConnected ? static_cast<std::size_t>(got) : std::min<std::size_t>(got, room);
    FToDevice.append(chunk, taken);
    if (taken < static_cast<std::size_t>(got)) {
        FDroppedAway += static_cast<std::size_t>(got) - taken;
        if (!FHoldFullTold)
            FEvents.HoldFull(FOptions.HoldLimit);
        FHoldFullTold = true;
    }
    if (FConnected)
        WriteDevice();
}

void TTerminalBridge::WriteDevice()
{
    while (!FToDevice.empty()) {
        const ssize_t sent = send(FSocket.Handle(), FToDevice.data(), FToDevice.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (!WouldBlock(errno))
                Lost(std::strerror(errno));
            return;
        }
        FCounts.ToDevice += static_cast<std::uint64_t>(sent);
        FToDevice.erase(0, static_cast<std::size_t>(sent));
    }
}

void TTerminalBridge::ReadDevice()
{
    char chunk[kChunk];
    const ssize_t got = recv(FSocket.Handle(), chunk, sizeof chunk, 0);
    if (got == 0)
        return Lost("");
    if (got < 0) {
        if (!WouldBlock(errno))
            Lost(std::strerror(errno));
        return;
    }
    FToTerminal.append(chunk, static_cast<std::size_t>(got));
    WriteTerminal();
}

void TTerminalBridge::WriteTerminal()
{
    const ssize_t written = write(FTerminal.Handle(), FToTerminal.data(), FToTerminal.size());
    if (written > 0) {
        FCounts.FromDevice += static_cast<std::uint64_t>(written);
        FToTerminal.erase(0, static_cast<std::size_t>(written));
    }
}

} // namespace qubra
