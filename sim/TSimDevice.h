#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "sim/SimBytes.h"
#include "sim/SimRecords.h"
#include "sim/SimText.h"

namespace qubra {

using TSimClock = std::chrono::steady_clock;

// The other end of a datagram: address, UDP port and (at Ethernet level only) MAC.
struct TSimPeer {
    std::uint32_t IP = 0;
    std::uint16_t Port = 0;
    TSimMAC MAC{};
};

enum class TSimWrongCode {
    None,     // answers carry their proper code
    Replace,  // every answer carries kSimWrongCode instead
    Prepend   // every answer is preceded by a copy carrying kSimWrongCode
};

// How far the device departs from a well-behaved one.
struct TSimKnobs {
    int AnswerDelayMs = 0;       // every answer leaves this long after its request
    double LossRate = 0.0;       // chance that one answer datagram is lost (0..1)
    std::uint32_t LossPattern = 1; // picks which answers are lost, so a run can be repeated
    int Duplicates = 0;          // extra copies sent of every answer
    TSimWrongCode WrongCode = TSimWrongCode::None;
    bool Silent = false;         // receives, never answers
    int RestartMs = -1;          // >= 0: after a completed write or a set-IP the device restarts,
                                 // deaf for this long, then answers at its new address
    bool SilentToARP = false;    // Ethernet level: never answers ARP requests
    int ShortAnswers = 0;        // > 0: an answer to a record query carries only this many bytes
    int StaleByte = -1;          // >= 0: a write of the setup record leaves this byte as it was
};

// One datagram the device received: payload, sender and the address it was sent to.
struct TSimReceived {
    TBytes Data;
    TSimPeer From;
    std::uint32_t To = 0;
    TSimClock::time_point At;
};

// One datagram the device sends: to the requester, from the address the device had when it
// handled the request, not before SendAt.
struct TSimAnswer {
    TBytes Data;
    TSimPeer To;
    std::uint32_t From = 0;
    TSimClock::time_point SendAt;
    bool Lost = false;   // chosen to be lost: not sent, only logged
};

// The protocol of one device, free of any I/O: a datagram goes in, answers come out and the
// device's state changes. Time is given by the caller. Safe to use from several threads: a
// transport feeds it while a test reads what it received and what it holds.
class TSimDevice {
public:
    TSimDevice(const TSimMAC& mac, std::uint32_t ip, const TSimKnobs& knobs = {});

    // Handles one datagram from `from` sent to address `to`. Datagrams that arrive while the
    // device restarts are not received at all.
    std::vector<TSimAnswer> Handle(const TBytes& data, const TSimPeer& from, std::uint32_t to,
                                   TSimClock::time_point now);

    const TSimMAC& MAC() const { return MyMAC; }
    // The address the device answers at; a restart switches it at once to the new address.
    std::uint32_t IP() const;
    bool Restarting(TSimClock::time_point now) const;
    bool AnswersARP(TSimClock::time_point now) const;
    int Restarts() const;

    TSimKnobs Knobs() const;
    void SetKnobs(const TSimKnobs& knobs);

    // The setup record (120 bytes) as the device holds it; its header bytes are not meaningful.
    TBytes Record() const;
    void SetRecord(const TBytes& bytes);
    // Further records that the device answers like the setup record, under their own codes.
    // Only the first (setup) record gives the device its address after a write.
    void AddRecord(const TSimRecordCodes& codes, const TBytes& bytes);
    TBytes RecordAt(std::size_t index) const;

    std::vector<TSimReceived> Received() const;
    // The received datagrams whose code byte is Code, and their payloads alone.
    std::vector<TSimReceived> ReceivedWithCode(std::uint8_t Code) const;
    std::vector<TBytes> PayloadsWithCode(std::uint8_t Code) const;
    void ClearReceived();

private:
    struct TStored {
        TSimRecordCodes Codes;
        TBytes Bytes;
    };

    TBytes AnswerFor(const TBytes& data, bool& completed, std::uint32_t& newIP);
    TBytes WithCode(TBytes bytes, std::uint8_t code) const;
    TBytes SearchAnswer() const;
    TBytes SettingsAnswer(std::uint8_t code) const;
    std::vector<TSimAnswer> Schedule(const TBytes& answer, const TSimPeer& to,
                                     TSimClock::time_point now);

    mutable std::mutex Lock;
    const TSimMAC MyMAC;
    std::uint32_t MyIP;
    TSimKnobs MyKnobs;
    std::mt19937 Random;
    std::vector<TStored> Records;
    std::vector<TSimReceived> Log;
    TSimClock::time_point RestartEnd{};
    int RestartCount = 0;
};

} // namespace qubra
