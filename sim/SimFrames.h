#pragma once

#include <cstdint>
#include <optional>

#include "sim/SimBytes.h"
#include "sim/SimText.h"

namespace qubra {

inline constexpr TSimMAC kSimBroadcastMAC{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
inline constexpr std::uint16_t kSimEtherIPv4 = 0x0800;
inline constexpr std::uint16_t kSimEtherARP = 0x0806;

// An Ethernet frame carrying one IPv4/UDP datagram.
struct TSimUdpFrame {
    TSimMAC DestinationMAC{};
    TSimMAC SourceMAC{};
    std::uint32_t SourceIP = 0;
    std::uint32_t DestinationIP = 0;
    std::uint16_t SourcePort = 0;
    std::uint16_t DestinationPort = 0;
    TBytes Payload;
};

// An Ethernet frame carrying an ARP packet for IPv4 over Ethernet.
struct TSimArpFrame {
    TSimMAC DestinationMAC{};
    TSimMAC SourceMAC{};
    std::uint16_t Operation = 0;   // 1 request, 2 reply
    TSimMAC SenderMAC{};
    std::uint32_t SenderIP = 0;
    TSimMAC TargetMAC{};
    std::uint32_t TargetIP = 0;
};

std::uint16_t SimEtherType(const TBytes& frame);   // 0 for a frame too short to tell

// A whole, unfragmented datagram with a valid IPv4 header; the UDP checksum is not checked,
// since a sender that offloads it leaves it unfinished on virtual links.
std::optional<TSimUdpFrame> SimParseUdpFrame(const TBytes& frame);
// Builds the frame with both checksums filled in.
TBytes SimBuildUdpFrame(const TSimUdpFrame& frame, std::uint16_t identification);

std::optional<TSimArpFrame> SimParseArpFrame(const TBytes& frame);
TBytes SimBuildArpFrame(const TSimArpFrame& frame);
// The reply of the station owning (mac, ip) to an ARP request.
TSimArpFrame SimArpReply(const TSimArpFrame& request, const TSimMAC& mac, std::uint32_t ip);

// The Internet checksum (ones' complement of the ones' complement sum) of the bytes.
std::uint16_t SimInternetChecksum(const TBytes& bytes, std::size_t offset, std::size_t length,
                                  std::uint32_t initialSum = 0);

} // namespace qubra
