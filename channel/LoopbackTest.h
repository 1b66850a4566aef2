#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "channel/ChannelSettings.h"
#include "channel/PseudoTerminal.h"

namespace qubra {

struct TLoopbackResult {
    std::size_t Sent = 0;
    std::size_t Received = 0;
    // Bytes that came back other than sent, at the offset they came back at.
    std::size_t WrongBytes = 0;
    // The first wrong byte, else the first missing one; -1 when all came back right.
    std::int64_t FirstWrong = -1;
    std::size_t BurstBytes = 0;
    double RoundTripMs = 0;       // the short burst, from sending it until it was all back
    double BytesPerSecond = 0;    // the rest, from sending its first byte until its last came back
    double LineBytesPerSecond = 0;
    bool Interrupted = false;

    bool Passed() const { return !Interrupted && Received == Sent && WrongBytes == 0; }
};

// The test of a device's serial port with a loopback plug (TX joined to RX): a known pattern
// goes out through the data channel and must come back byte for byte in order. A short burst
// first gives the round trip; the rest streams through and gives the throughput. The wait for
// bytes ends when nothing has come back for a second plus twenty characters' time.
class TLoopbackTest {
public:
    static constexpr std::size_t kBurstBytes = 16;

    TLoopbackTest(const TChannelSettings& Channel, std::size_t Bytes);

    // Raises EChannelError with the system's text when the data port cannot be reached. A
    // readable StopFd ends the test early.
    TLoopbackResult Run(int StopFd);

    // The pattern: a pseudo-random sequence, so that a lost, repeated or swapped byte cannot
    // line up with the bytes around it.
    static std::string Pattern(std::size_t Bytes);

private:
    // Sends the pattern from From to To and takes what comes back; the seconds until the last
    // expected byte came back (or until the wait gave up).
    double Exchange(int Socket, int StopFd, std::size_t From, std::size_t To, TLoopbackResult& Result);
    void Take(const char* Data, std::size_t Size, TLoopbackResult& Result);

    TChannelSettings FChannel;
    std::string FPattern;
    int FIdleMs;
};

} // namespace qubra
