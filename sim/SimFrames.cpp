#include "sim/SimFrames.h"

#include <algorithm>
#include <cstring>

namespace qubra {

namespace {

constexpr std::size_t kEtherHeader = 14;
constexpr std::size_t kIPHeader = 20;
constexpr std::size_t kUdpHeader = 8;
constexpr std::size_t kArpBody = 28;
constexpr std::size_t kMinimumFrame = 60;
constexpr std::uint8_t kProtocolUDP = 17;

std::uint16_t Get16(const TBytes& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void Put16(TBytes& bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(value);
}

std::uint32_t GetIP(const TBytes& bytes, std::size_t at)
{
    std::uint32_t ip;
    std::memcpy(&ip, bytes.data() + at, sizeof ip);
    return ip;
}

void PutIP(TBytes& bytes, std::size_t at, std::uint32_t ip)
{
    std::memcpy(bytes.data() + at, &ip, sizeof ip);
}

TSimMAC GetMAC(const TBytes& bytes, std::size_t at)
{
    TSimMAC mac;
    std::copy_n(bytes.begin() + at, mac.size(), mac.begin());
    return mac;
}

void PutMAC(TBytes& bytes, std::size_t at, const TSimMAC& mac)
{
    std::copy(mac.begin(), mac.end(), bytes.begin() + at);
}

TBytes EtherFrame(const TSimMAC& destination, const TSimMAC& source, std::uint16_t type,
                  std::size_t bodyLength)
{
    TBytes frame(std::max(kEtherHeader + bodyLength, kMinimumFrame), 0);
    PutMAC(frame, 0, destination);
    PutMAC(frame, 6, source);
    Put16(frame, 12, type);
    return frame;
}

std::uint32_t PseudoHeaderSum(std::uint32_t source, std::uint32_t destination,
                              std::size_t udpLength)
{
    TBytes pseudo(12, 0);
    PutIP(pseudo, 0, source);
    PutIP(pseudo, 4, destination);
    pseudo[9] = kProtocolUDP;
    Put16(pseudo, 10, static_cast<std::uint16_t>(udpLength));
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < pseudo.size(); i += 2)
        sum += Get16(pseudo, i);
    return sum;
}

} // namespace

std::uint16_t SimEtherType(const TBytes& frame)
{
    return frame.size() < kEtherHeader ? 0 : Get16(frame, 12);
}

std::uint16_t SimInternetChecksum(const TBytes& bytes, std::size_t offset, std::size_t length,
                                  std::uint32_t initialSum)
{
    std::uint64_t sum = initialSum;
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += Get16(bytes, offset + i);
    if (length % 2)
        sum += static_cast<std::uint32_t>(bytes[offset + length - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

std::optional<TSimUdpFrame> SimParseUdpFrame(const TBytes& frame)
{
    if (SimEtherType(frame) != kSimEtherIPv4 || frame.size() < kEtherHeader + kIPHeader)
        return std::nullopt;
    const std::size_t ip = kEtherHeader;
    const std::size_t headerLength = (frame[ip] & 0x0F) * 4u;
    const std::size_t totalLength = Get16(frame, ip + 2);
    if (frame[ip] >> 4 != 4 || headerLength < kIPHeader ||
        totalLength < headerLength + kUdpHeader || ip + totalLength > frame.size())
        return std::nullopt;
    const bool fragment = (Get16(frame, ip + 6) & 0x3FFF) != 0;
    if (fragment || frame[ip + 9] != kProtocolUDP ||
        SimInternetChecksum(frame, ip, headerLength) != 0)
        return std::nullopt;
    const std::size_t udp = ip + headerLength;
    const std::size_t udpLength = Get16(frame, udp + 4);
    if (udpLength < kUdpHeader || udpLength > totalLength - headerLength)
        return std::nullopt;

    TSimUdpFrame parsed;
    parsed.DestinationMAC = GetMAC(frame, 0);
    parsed.SourceMAC = GetMAC(frame, 6);
    parsed.SourceIP = GetIP(frame, ip + 12);
    parsed.DestinationIP = GetIP(frame, ip + 16);
    parsed.SourcePort = Get16(frame, udp);
    parsed.DestinationPort = Get16(frame, udp + 2);
    parsed.Payload.assign(frame.begin() + udp + kUdpHeader, frame.begin() + udp + udpLength);
    return parsed;
}

TBytes SimBuildUdpFrame(const TSimUdpFrame& datagram, std::uint16_t identification)
{
    const std::size_t udpLength = kUdpHeader + datagram.Payload.size();
    TBytes frame = EtherFrame(datagram.DestinationMAC, datagram.SourceMAC, kSimEtherIPv4,
                              kIPHeader + udpLength);
    const std::size_t ip = kEtherHeader;
    frame[ip] = 0x45;
    Put16(frame, ip + 2, static_cast<std::uint16_t>(kIPHeader + udpLength));
    Put16(frame, ip + 4, identification);
    Put16(frame, ip + 6, 0x4000);   // don't fragment
    frame[ip + 8] = 64;
    frame[ip + 9] = kProtocolUDP;
    PutIP(frame, ip + 12, datagram.SourceIP);
    PutIP(frame, ip + 16, datagram.DestinationIP);
    Put16(frame, ip + 10, SimInternetChecksum(frame, ip, kIPHeader));

    const std::size_t udp = ip + kIPHeader;
    Put16(frame, udp, datagram.SourcePort);
    Put16(frame, udp + 2, datagram.DestinationPort);
    Put16(frame, udp + 4, static_cast<std::uint16_t>(udpLength));
    std::copy(datagram.Payload.begin(), datagram.Payload.end(), frame.begin() + udp + kUdpHeader);
    std::uint16_t checksum = SimInternetChecksum(
        frame, udp, udpLength,
        PseudoHeaderSum(datagram.SourceIP, datagram.DestinationIP, udpLength));
    Put16(frame, udp + 6, checksum == 0 ? 0xFFFF : checksum);   // 0 would mean "none"
    return frame;
}

std::optional<TSimArpFrame> SimParseArpFrame(const TBytes& frame)
{
    if (SimEtherType(frame) != kSimEtherARP || frame.size() < kEtherHeader + kArpBody)
        return std::nullopt;
    const std::size_t arp = kEtherHeader;
    if (Get16(frame, arp) != 1 || Get16(frame, arp + 2) != kSimEtherIPv4 || frame[arp + 4] != 6 ||
        frame[arp + 5] != 4)
        return std::nullopt;
    TSimArpFrame parsed;
    parsed.DestinationMAC = GetMAC(frame, 0);
    parsed.SourceMAC = GetMAC(frame, 6);
    parsed.Operation = Get16(frame, arp + 6);
    parsed.SenderMAC = GetMAC(frame, arp + 8);
    parsed.SenderIP = GetIP(frame, arp + 14);
    parsed.TargetMAC = GetMAC(frame, arp + 18);
    parsed.TargetIP = GetIP(frame, arp + 24);
    return parsed;
}

TBytes SimBuildArpFrame(const TSimArpFrame& packet)
{
    TBytes frame = EtherFrame(packet.DestinationMAC, packet.SourceMAC, kSimEtherARP, kArpBody);
    const std::size_t arp = kEtherHeader;
    Put16(frame, arp, 1);
    Put16(frame, arp + 2, kSimEtherIPv4);
    frame[arp + 4] = 6;
    frame[arp + 5] = 4;
    Put16(frame, arp + 6, packet.Operation);
    PutMAC(frame, arp + 8, packet.SenderMAC);
    PutIP(frame, arp + 14, packet.SenderIP);
    PutMAC(frame, arp + 18, packet.TargetMAC);
    PutIP(frame, arp + 24, packet.TargetIP);
    return frame;
}

TSimArpFrame SimArpReply(const TSimArpFrame& request, const TSimMAC& mac, std::uint32_t ip)
{
    TSimArpFrame reply;
    reply.DestinationMAC = request.SenderMAC;
    reply.SourceMAC = mac;
    reply.Operation = 2;
    reply.SenderMAC = mac;
    reply.SenderIP = ip;
    reply.TargetMAC = request.SenderMAC;
    reply.TargetIP = request.SenderIP;
    return reply;
}

} // namespace qubra
