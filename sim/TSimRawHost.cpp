#include "sim/TSimRawHost.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/SimFrames.h"

namespace qubra {

namespace {

constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

// The netmask the device uses: its host bits, or the standard mask of its address class
// when they are 0.
std::uint32_t HostMask(std::uint32_t ip, std::uint8_t hostBits)
{
    const std::uint32_t first = ntohl(ip) >> 24;
    unsigned bits = hostBits;
    if (bits == 0)
        bits = first < 128 ? 24 : first < 192 ? 16 : 8;
    if (bits >= 32)
        return 0xFFFFFFFFu;
    return htonl((1u << bits) - 1);
}

bool HearsBroadcast(const TSimDevice& device, std::uint32_t destination)
{
    const std::uint32_t ip = device.IP();
    const std::uint32_t directed = ip | HostMask(ip, device.Record()[kSimHostBitsOffset]);
    return destination == kLimitedBroadcast || destination == ip || destination == directed;
}

} // namespace

TSimRawHost::TSimRawHost(const std::string& interfaceName, std::uint16_t port) : MyPort(port)
{
    InterfaceIndex = static_cast<int>(if_nametoindex(interfaceName.c_str()));
    if (InterfaceIndex == 0)
        throw ESimError("no interface '" + interfaceName + "'");
    Socket = socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ALL));
    if (Socket < 0)
        throw ESimError(std::string("cannot open a packet socket: ") + std::strerror(errno));
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(ETH_P_ALL);
    address.sll_ifindex = InterfaceIndex;
    packet_mreq promiscuous{};
    promiscuous.mr_ifindex = InterfaceIndex;
    promiscuous.mr_type = PACKET_MR_PROMISC;
    // Frames for the devices' MACs must reach the socket, not only those for the interface's.
    if (bind(Socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        setsockopt(Socket, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &promiscuous, sizeof promiscuous) !=
            0) {
        const std::string reason = std::strerror(errno);
        close(Socket);
        throw ESimError("cannot listen on '" + interfaceName + "': " + reason);
    }
}

TSimRawHost::~TSimRawHost()
{
    Stop();
    close(Socket);
}

void TSimRawHost::Receive(int descriptor, TSimClock::time_point now)
{
    TBytes buffer(65536);
    for (;;) {
        sockaddr_ll source{};
        socklen_t length = sizeof source;
        const ssize_t got = recvfrom(descriptor, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&source), &length);
        if (got < 0)
            return;
        if (source.sll_pkttype == PACKET_OUTGOING)
            continue;   // the devices' own frames
        const TBytes frame(buffer.begin(), buffer.begin() + got);
        const std::uint16_t type = SimEtherType(frame);
        if (type == kSimEtherARP)
            AnswerARP(frame, now);
        else if (type == kSimEtherIPv4)
            TakeDatagram(frame, now);
    }
}

void TSimRawHost::AnswerARP(const TBytes& frame, TSimClock::time_point now)
{
    const auto request = SimParseArpFrame(frame);
    if (!request || request->Operation != 1)
        return;
    for (const auto& device : Devices) {
        if (device->IP() != request->TargetIP || !device->AnswersARP(now))
            continue;
        SendFrame(SimBuildArpFrame(SimArpReply(*request, device->MAC(), device->IP())));
        Log("arp " + SimMACToText(device->MAC()) + " " + SimIPToText(device->IP()) + " > " +
            SimIPToText(request->SenderIP));
    }
}

void TSimRawHost::TakeDatagram(const TBytes& frame, TSimClock::time_point now)
{
    const auto datagram = SimParseUdpFrame(frame);
    if (!datagram || datagram->DestinationPort != MyPort)
        return;
    const TSimPeer from{datagram->SourceIP, datagram->SourcePort, datagram->SourceMAC};
    const bool broadcast = datagram->DestinationMAC == kSimBroadcastMAC;
    for (std::size_t i = 0; i < Devices.size(); ++i) {
        const TSimDevice& device = *Devices[i];
        // Sent to the device's MAC, the datagram is its own whatever address it names.
        if (datagram->DestinationMAC == device.MAC() ||
            (broadcast && HearsBroadcast(device, datagram->DestinationIP)))
            Dispatch(i, datagram->Payload, from, datagram->DestinationIP, now);
    }
}

void TSimRawHost::Transmit(std::size_t index, const TSimAnswer& answer)
{
    TSimUdpFrame datagram;
    datagram.DestinationMAC = answer.To.MAC;
    datagram.SourceMAC = Devices[index]->MAC();
    datagram.SourceIP = answer.From;
    datagram.DestinationIP = answer.To.IP;
    datagram.SourcePort = MyPort;
    datagram.DestinationPort = answer.To.Port;
    datagram.Payload = answer.Data;
    SendFrame(SimBuildUdpFrame(datagram, ++Identification));
}

void TSimRawHost::SendFrame(const TBytes& frame)
{
    if (send(Socket, frame.data(), frame.size(), 0) < 0)
        Log(std::string("error cannot send a frame: ") + std::strerror(errno));
}

} // namespace qubra
