#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/Bytes.h"

namespace qubra {

// Longest dotted IPv4 text ("255.255.255.255"); a packet never keeps more.
constexpr std::size_t MaxPacketIPLength = 15;

// One datagram with its peer. In the send queue an empty IP with Port 0 means "the connected peer".
struct TMyPacket {
    TBytes Data;
    std::string IP;
    std::uint16_t Port = 0;
};

// The first MaxPacketIPLength characters of an address text.
inline std::string CutPacketIP(const std::string& IP) { return IP.substr(0, MaxPacketIPLength); }

} // namespace qubra
