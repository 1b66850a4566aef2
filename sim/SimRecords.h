#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/SimBytes.h"

namespace qubra {

// The header code bytes (offset 3 of a datagram) and the size of one record the device holds.
struct TSimRecordCodes {
    std::uint8_t Query;
    std::uint8_t Answer;
    std::uint8_t Set;
    std::uint8_t SetAnswer;
    std::size_t Size;
};

inline constexpr TSimRecordCodes kSimSetupRecord{0xE0, 0xD0, 0xC0, 0xB0, 120};
inline constexpr TSimRecordCodes kSimSettingsRecord{0xF8, 0xF9, 0xFD, 0xFB, 124};
inline constexpr std::uint8_t kSimSearchQuery = 0xF6;
inline constexpr std::uint8_t kSimSearchAnswer = 0xF7;
inline constexpr std::size_t kSimSearchSize = 30;
// A code byte that no request of the engine expects in an answer.
inline constexpr std::uint8_t kSimWrongCode = 0xA5;

inline constexpr std::size_t kSimCodeOffset = 3;
inline constexpr std::size_t kSimBatchOffset = 1;   // 01 here: more set requests follow
inline constexpr std::size_t kSimIPOffset = 4;
inline constexpr std::size_t kSimHostBitsOffset = 10;
inline constexpr std::size_t kSimGatewayOffset = 16;
inline constexpr std::size_t kSimMACOffset = 24;

// The setup record's serial line and data channel fields.
inline constexpr std::size_t kSimLineModeOffset = 20;   // bits 2-3 data bits, 4-5 parity, 6-7 stop
inline constexpr std::size_t kSimLineSpeedOffset = 21;  // bits 0-3: the speed code
inline constexpr std::size_t kSimUnitPortOffset = 24;   // 2 bytes, little-endian
inline constexpr std::size_t kSimConnectOffset = 32;    // bits 6-7 acceptance, 0-3 12: datagrams
inline constexpr std::size_t kSimDisconnectOffset = 33; // 1: datagram mode
inline constexpr std::uint8_t kSimDirectedUDP = 12;

// How the data channel of a setup record is reached and how fast its line runs.
struct TSimLine {
    std::uint16_t Port = 0;
    bool Accepts = false;    // incoming TCP connections taken
    int Speed = 0;           // baud; 0 for a code the device does not know
    int CharacterBits = 10;  // start, data, parity and stop bits of one character

    double BytesPerSecond() const { return Speed > 0 ? static_cast<double>(Speed) / CharacterBits : 0; }
};
TSimLine SimLineOf(const TBytes& record);

// The setup record a device holds when it leaves the factory: all zero with the built-in
// defaults applied, its own address at bytes 4 to 7.
TBytes SimDefaultSetupRecord(std::uint32_t ip);

std::uint32_t SimReadIP(const TBytes& bytes, std::size_t offset);
void SimWriteIP(TBytes& bytes, std::size_t offset, std::uint32_t ip);

} // namespace qubra
