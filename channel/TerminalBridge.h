#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "channel/ChannelSettings.h"
#include "channel/PseudoTerminal.h"
#include "channel/TcpConnection.h"

namespace qubra {

// What the bridge tells as it goes; called on the thread that runs it.
class TBridgeEvents {
public:
    virtual ~TBridgeEvents() = default;
    // HeldSent bytes written while away go out now; Dropped of them were lost for want of room.
    virtual void Connected(std::size_t HeldSent, std::uint64_t Dropped) = 0;
    virtual void ConnectFailed(const std::string& Reason, int PauseMs) = 0;
    // Reason: the system's text, empty when the device closed the connection.
    virtual void Disconnected(const std::string& Reason) = 0;
    // The hold is full: bytes written from now on until the reconnect are dropped and counted.
    virtual void HoldFull(std::size_t Limit) = 0;
    // Once: a program changed the terminal's line settings, which do not reach the device.
    virtual void LineSettingsIgnored() = 0;
};

struct TBridgeCounts {
    std::uint64_t ToDevice = 0;    // bytes sent to the device
    std::uint64_t FromDevice = 0;  // bytes written to the terminal
    std::uint64_t Held = 0;        // bytes written while away and sent after a reconnect
    std::uint64_t Dropped = 0;     // bytes written while away and dropped
    int Connections = 0;
};

// The pause before the next connection attempt: it doubles from First up to Longest and starts
// again at First once a connection has lasted a while.
class TReconnectPause {
public:
    TReconnectPause(int FirstMs, int LongestMs) : FFirst(FirstMs), FLongest(LongestMs), FNext(FirstMs) {}
    int Next();
    void Reset() { FNext = FFirst; }

private:
    int FFirst;
    int FLongest;
    int FNext;
};

// Bridges a pseudo-terminal to the device's data port over TCP. When the connection drops or
// cannot be made the terminal stays open and the bridge connects again after a growing pause;
// what the terminal writes meanwhile is held up to HoldLimit bytes and sent after the
// reconnect, the rest dropped and counted. Bytes from the device wait when no program reads
// the terminal, and the device is then read no further (TCP's own flow control).
class TTerminalBridge {
public:
    struct TOptions {
        std::size_t HoldLimit = 64 * 1024;
        int FirstPauseMs = 100;
        int LongestPauseMs = 3000;
        int ConnectTimeoutMs = 3000;
    };

    TTerminalBridge(const TChannelSettings& Channel, TOptions Options, TBridgeEvents& Events);

    const std::string& TerminalPath() const { return FTerminal.Path(); }
    // Runs until StopFd becomes readable.
    TBridgeCounts Run(int StopFd);

private:
    using TClock = std::chrono::steady_clock;

    void StartConnecting();
    void ConnectDone();
    void RetryLater(const std::string& Reason);
    void Lost(const std::string& Reason);
    void ReadTerminal();
    void ReadDevice();
    void WriteDevice();
    void WriteTerminal();
    int PollTimeout(TClock::time_point Now) const;

    const TChannelSettings FChannel;
    const TOptions FOptions;
    TBridgeEvents& FEvents;
    TPseudoTerminal FTerminal;
    TTcpConnection FSocket;
    bool FConnected = false;
    TClock::time_point FNextAttempt;
    TClock::time_point FConnectedAt;
    TReconnectPause FPause;
    // To the device: while connected its send queue, while away the hold.
    std::string FToDevice;
    std::string FToTerminal;
    std::uint64_t FDroppedAway = 0;
    bool FHoldFullTold = false;
    TBridgeCounts FCounts;
};

} // namespace qubra
