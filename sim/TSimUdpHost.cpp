#include "sim/TSimUdpHost.h"

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qubra {

namespace {

bool IsLoopback(std::uint32_t ip)
{
    return (ntohl(ip) >> 24) == 127;
}

sockaddr_in SocketAddress(std::uint32_t ip, std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ip;
    address.sin_port = htons(port);
    return address;
}

} // namespace

TSimUdpHost::TSimUdpHost(std::uint16_t port, std::uint32_t broadcastIP)
    : MyPort(port), BroadcastIP(broadcastIP)
{
    if (BroadcastIP != 0 && !IsLoopback(BroadcastIP))
        throw ESimError("UDP mode serves loopback only: " + SimIPToText(BroadcastIP));
}

TSimUdpHost::~TSimUdpHost()
{
    Stop();
    for (int socket : Sockets)
        if (socket >= 0)
            close(socket);
    if (BroadcastSocket >= 0)
        close(BroadcastSocket);
}

int TSimUdpHost::OpenSocket(std::uint32_t ip, bool shared)
{
    if (!IsLoopback(ip))
        throw ESimError("UDP mode serves loopback only: " + SimIPToText(ip));
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0)
        throw ESimError(std::string("cannot open a UDP socket: ") + std::strerror(errno));
    const int on = 1;
    if (shared)
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = SocketAddress(ip, MyPort);
    if (bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const std::string reason = std::strerror(errno);
        close(socket);
        throw ESimError("cannot bind " + SimIPToText(ip) + ":" + std::to_string(MyPort) + ": " +
                        reason);
    }
    if (MyPort == 0) {
        sockaddr_in bound{};
        socklen_t length = sizeof bound;
        getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length);
        MyPort = ntohs(bound.sin_port);
    }
    return socket;
}

void TSimUdpHost::Attach(std::size_t index)
{
    const std::uint32_t ip = Devices[index]->IP();
    if (std::find(BoundIP.begin(), BoundIP.end(), ip) != BoundIP.end()) {
        // The address is taken: this device hears only broadcasts and answers them from it.
        Sockets.push_back(-1);
        BoundIP.push_back(ip);
        return;
    }
    // An ephemeral port is free at the first device's address only; when the broadcast
    // address has it in use already, another port is tried.
    const bool portChosenHere = MyPort == 0;
    for (int attempt = 1;; ++attempt) {
        const int socket = OpenSocket(ip, false);
        try {
            if (BroadcastIP != 0 && BroadcastSocket < 0)
                BroadcastSocket = OpenSocket(BroadcastIP, true);
        } catch (const ESimError&) {
            close(socket);
            if (!portChosenHere || attempt == 10)
                throw;
            MyPort = 0;
            continue;
        }
        Sockets.push_back(socket);
        BoundIP.push_back(ip);
        Channels.Serve(*Devices[index]);
        return;
    }
}

std::vector<int> TSimUdpHost::Descriptors() const
{
    std::vector<int> descriptors;
    for (int socket : Sockets)
        if (socket >= 0)
            descriptors.push_back(socket);
    if (BroadcastSocket >= 0)
        descriptors.push_back(BroadcastSocket);
    return descriptors;
}

void TSimUdpHost::Receive(int descriptor, TSimClock::time_point now)
{
    TBytes buffer(65536);
    for (;;) {
        sockaddr_in sender{};
        socklen_t length = sizeof sender;
        const ssize_t got = recvfrom(descriptor, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&sender), &length);
        if (got < 0)
            return;
        const TBytes data(buffer.begin(), buffer.begin() + got);
        const TSimPeer from{sender.sin_addr.s_addr, ntohs(sender.sin_port), {}};
        for (std::size_t i = 0; i < Sockets.size(); ++i) {
            if (descriptor == BroadcastSocket)
                Dispatch(i, data, from, BroadcastIP, now);
            else if (descriptor == Sockets[i])
                Dispatch(i, data, from, BoundIP[i], now);
        }
    }
}

void TSimUdpHost::Transmit(std::size_t index, const TSimAnswer& answer)
{
    const int socket = Sockets[index] >= 0 ? Sockets[index] : BroadcastSocket;
    if (socket < 0)
        return;
    sockaddr_in destination = SocketAddress(answer.To.IP, answer.To.Port);
    iovec part{const_cast<std::uint8_t*>(answer.Data.data()), answer.Data.size()};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &part;
    message.msg_iovlen = 1;

    // The answer leaves from the address the device had when it took the request, also when
    // the device has since moved to another one.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = answer.From;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);

    if (sendmsg(socket, &message, 0) < 0)
        Log("error " + SimMACToText(Devices[index]->MAC()) + " cannot send from " +
            SimIPToText(answer.From) + ": " + std::strerror(errno));
}

void TSimUdpHost::Follow()
{
    for (std::size_t i = 0; i < Sockets.size(); ++i) {
        const std::uint32_t ip = Devices[i]->IP();
        if (ip == BoundIP[i])
            continue;
        if (Sockets[i] >= 0)
            close(Sockets[i]);
        Sockets[i] = -1;
        BoundIP[i] = ip;
        try {
            Sockets[i] = OpenSocket(ip, false);
        } catch (const ESimError& error) {
            // Like a device that restarted at an address no one can reach.
            Log("error " + SimMACToText(Devices[i]->MAC()) + " " + error.what());
        }
    }
}

} // namespace qubra
