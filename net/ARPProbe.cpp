#include "net/ARPProbe.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <linux/if_arp.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qubra {

namespace {

struct __attribute__((packed)) TARPFrame {
    std::uint16_t HardwareType;
    std::uint16_t ProtocolType;
    std::uint8_t HardwareLength;
    std::uint8_t ProtocolLength;
    std::uint16_t Operation;
    std::uint8_t SenderMAC[6];
    std::uint32_t SenderIP;
    std::uint8_t TargetMAC[6];
    std::uint32_t TargetIP;
};
static_assert(sizeof(TARPFrame) == 28);

int WhoHas(int Fd, int IfIndex, const std::vector<std::uint8_t>& OwnMAC, std::uint32_t SrcIP,
           std::uint32_t DestIP, std::chrono::milliseconds Wait, std::uint8_t* Answer)
{
    sockaddr_ll here{};
    here.sll_family = AF_PACKET;
    here.sll_protocol = htons(ETH_P_ARP);
    here.sll_ifindex = IfIndex;
    if (bind(Fd, reinterpret_cast<sockaddr*>(&here), sizeof here) != 0)
        return errno;
    sockaddr_ll everyone = here;
    everyone.sll_halen = 6;
    std::memset(everyone.sll_addr, 0xFF, 6);

    TARPFrame request{};
    request.HardwareType = htons(ARPHRD_ETHER);
    request.ProtocolType = htons(ETH_P_IP);
    request.HardwareLength = 6;
    request.ProtocolLength = 4;
    request.Operation = htons(ARPOP_REQUEST);
    std::memcpy(request.SenderMAC, OwnMAC.data(), 6);
    request.SenderIP = SrcIP;
    request.TargetIP = DestIP;
    if (sendto(Fd, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&everyone),
               sizeof everyone) < 0)
        return errno;

    const auto deadline = std::chrono::steady_clock::now() + Wait;
    for (auto now = std::chrono::steady_clock::now(); now < deadline;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        pollfd wait{Fd, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            continue; // time-out (ends the loop) or a signal
        TARPFrame reply{};
        if (recv(Fd, &reply, sizeof reply, 0) == static_cast<ssize_t>(sizeof reply) &&
            reply.Operation == htons(ARPOP_REPLY) && reply.HardwareLength == 6 &&
            reply.SenderIP == DestIP) {
            std::memcpy(Answer, reply.SenderMAC, 6);
            return 0;
        }
    }
    return EHOSTUNREACH;
}

} // namespace

int ProbeOnWire(int IfIndex, const std::vector<std::uint8_t>& OwnMAC, std::uint32_t SrcIP, std::uint32_t DestIP,
                std::chrono::milliseconds Wait, std::uint8_t* Answer)
{
    const int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
    if (fd < 0)
        return errno;
    const int error = WhoHas(fd, IfIndex, OwnMAC, SrcIP, DestIP, Wait, Answer);
    close(fd);
    return error;
}

} // namespace qubra
