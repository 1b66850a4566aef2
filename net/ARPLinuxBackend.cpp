// The host's library on Linux: the neighbour table, the address list and the route lookup over
// rtnetlink (libnl-route-3), and SendARP as an ARP request on a packet socket. Every call opens
// its own netlink connection, so it works in the network namespace of the calling thread.
// Changes of the neighbour table go through the ARP service, the only one that holds the right
// for them; run as root where no service listens, this process makes them under the same checks.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <linux/if_arp.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/ARPHelperClient.h"
#include "net/IPHelper.h"
#include "net/RouteNetlink.h"

namespace qubra {

namespace {

using namespace std::chrono_literals;
using namespace rtnl;

constexpr auto kAnswerWait = 1000ms;
constexpr std::uint16_t kDiscardPort = 9;

std::uint32_t Failed(int Code)
{
    errno = Code;
    return static_cast<std::uint32_t>(Code);
}

struct TFd {
    int Fd;
    explicit TFd(int Fd) : Fd(Fd) {}
    ~TFd()
    {
        if (Fd >= 0)
            close(Fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
};

std::uint32_t TypeOfState(int State)
{
    if (State & NUD_PERMANENT)
        return MIB_IPNET_TYPE_STATIC;
    if (State & (NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE))
        return MIB_IPNET_TYPE_DYNAMIC;
    if (State & NUD_NOARP)
        return MIB_IPNET_TYPE_OTHER;
    return MIB_IPNET_TYPE_INVALID; // failed, incomplete, none
}

int ReadNeighbourRows(TRouteNetlink& Netlink, std::vector<MIB_IPNETROW>& Rows)
{
    std::vector<TNeighbour> neighbours;
    const int error = ReadNeighbours(Netlink, neighbours);
    for (const TNeighbour& neighbour : neighbours) {
        MIB_IPNETROW row;
        row.dwIndex = static_cast<std::uint32_t>(neighbour.IfIndex);
        row.dwAddr = neighbour.IP;
        row.dwPhysAddrLen = neighbour.MACLength;
        std::memcpy(row.bPhysAddr, neighbour.MAC, sizeof row.bPhysAddr);
        row.dwType = TypeOfState(neighbour.State);
        Rows.push_back(row);
    }
    return error;
}

int ReadAddressRows(TRouteNetlink& Netlink, std::vector<MIB_IPADDRROW>& Rows)
{
    std::vector<TAddress> addresses;
    const int error = ReadAddresses(Netlink, addresses);
    for (const TAddress& address : addresses) {
        MIB_IPADDRROW row;
        row.dwAddr = address.IP;
        row.dwIndex = static_cast<std::uint32_t>(address.IfIndex);
        const int prefix = address.PrefixLength;
        row.dwMask = prefix <= 0 ? 0 : htonl(0xFFFFFFFFu << (32 - std::min(prefix, 32)));
        row.dwBCastAddr = address.Broadcast;
        row.dwReasmSize = 65535;
        Rows.push_back(row);
    }
    return error;
}

// Only the temporary static entry is ever made; the service checks its place.
std::uint32_t CreateEntry(TARPHelperClient& Helper, const MIB_IPNETROW& Row)
{
    TARPHelperClient::ClearLastError();
    if (Row.dwIndex == 0 || Row.dwIndex > INT_MAX)
        return Failed(ENODEV);
    if (!IsUnicast(Row.dwAddr) || Row.dwType != MIB_IPNET_TYPE_STATIC || Row.dwPhysAddrLen != 6 ||
        std::all_of(Row.bPhysAddr, Row.bPhysAddr + 6, [](std::uint8_t b) { return b == 0; }))
        return Failed(EINVAL);
    const std::uint32_t code = Helper.Hold(Row);
    return code != 0 ? Failed(static_cast<int>(code)) : 0;
}

// Any row the table shows can be named, also one the kernel filed under 0.0.0.0.
std::uint32_t DeleteEntry(TARPHelperClient& Helper, const MIB_IPNETROW& Row)
{
    TARPHelperClient::ClearLastError();
    if (Row.dwIndex == 0 || Row.dwIndex > INT_MAX)
        return Failed(ENODEV);
    const std::uint32_t code = Helper.Delete(Row);
    return code != 0 ? Failed(static_cast<int>(code)) : 0;
}

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

// Broadcasts a who-has on the interface and waits for the answer of DestIP.
int RequestOnWire(int Fd, int IfIndex, const std::vector<std::uint8_t>& OwnMAC, std::uint32_t SrcIP,
                  std::uint32_t DestIP, std::uint8_t* Answer)
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

    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
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

// Without the right to send ARP frames: make the kernel resolve the address (a zero-length
// datagram to the discard port) and read its answer from the neighbour table.
int KernelResolve(TRouteNetlink& Netlink, int IfIndex, std::uint32_t DestIP, std::uint8_t* Answer)
{
    TFd udp(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (udp.Fd < 0)
        return errno;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    to.sin_addr.s_addr = DestIP;
    sendto(udp.Fd, "", 0, 0, reinterpret_cast<sockaddr*>(&to), sizeof to); // errors: see below

    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
    do {
        std::vector<MIB_IPNETROW> rows;
        if (const int error = ReadNeighbourRows(Netlink, rows); error != 0)
            return error;
        for (const MIB_IPNETROW& row : rows)
            if (row.dwIndex == static_cast<std::uint32_t>(IfIndex) && row.dwAddr == DestIP &&
                row.dwPhysAddrLen == 6 &&
                (row.dwType == MIB_IPNET_TYPE_DYNAMIC || row.dwType == MIB_IPNET_TYPE_STATIC)) {
                std::memcpy(Answer, row.bPhysAddr, 6);
                return 0;
            }
        std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return EHOSTUNREACH;
}

std::uint32_t LinuxSendARP(std::uint32_t DestIP, std::uint32_t SrcIP, void* MAC, std::uint32_t* Length)
{
    if (*Length < 6 || !IsUnicast(DestIP))
        return Failed(EINVAL);
    TRouteNetlink netlink;
    if (netlink.OpenError != 0)
        return Failed(netlink.OpenError);
    TRoute route;
    if (const int error = LookupRoute(netlink, DestIP, route); error != 0)
        return Failed(error);
    TLink link;
    if (const int error = ReadLink(netlink, route.IfIndex, link); error != 0)
        return Failed(error);
    // Local, broadcast and unreachable routes, and links without ARP, have no station to ask.
    if (route.Type != RTN_UNICAST || !DoesARP(link))
        return Failed(EHOSTUNREACH);

    std::uint8_t answer[6] = {};
    int error;
    TFd packet(socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP)));
    if (packet.Fd >= 0)
        error = RequestOnWire(packet.Fd, route.IfIndex, link.Address,
                              SrcIP != 0 ? SrcIP : route.PreferredSource, DestIP, answer);
    else if (errno == EPERM || errno == EACCES)
        // Behind a gateway the kernel would resolve the gateway, never DestIP.
        error = route.ViaGateway ? EHOSTUNREACH : KernelResolve(netlink, route.IfIndex, DestIP, answer);
    else
        error = errno;
    if (error != 0)
        return Failed(error);
    std::memcpy(MAC, answer, 6);
    *Length = 6;
    return 0;
}

std::uint32_t LinuxGetBestInterface(std::uint32_t DestAddr, std::uint32_t* IfIndex)
{
    TRouteNetlink netlink;
    if (netlink.OpenError != 0)
        return Failed(netlink.OpenError);
    TRoute route;
    if (const int error = LookupRoute(netlink, DestAddr, route); error != 0)
        return Failed(error);
    *IfIndex = static_cast<std::uint32_t>(route.IfIndex);
    return 0;
}

template <typename TRow, int (*Read)(TRouteNetlink&, std::vector<TRow>&)>
std::uint32_t LinuxReadTable(void* Table, std::uint32_t* Size, bool Order)
{
    TRouteNetlink netlink;
    if (netlink.OpenError != 0)
        return Failed(netlink.OpenError);
    std::vector<TRow> rows;
    if (const int error = Read(netlink, rows); error != 0)
        return Failed(error);
    return FillIPHelperTable(std::move(rows), Table, Size, Order);
}

} // namespace

// The entry that the transport looks up after loading this module.
extern "C" __attribute__((visibility("default"))) int QubraOpenIPHelper(TIPHelperLibrary* Library)
{
    if (TRouteNetlink probe; probe.OpenError != 0)
        return probe.OpenError;
    // Shared by the operations: the entries it holds go when the library is released.
    auto helper = std::make_shared<TARPHelperClient>(ARPServiceSocketPath());
    Library->GetIpNetTable = LinuxReadTable<MIB_IPNETROW, ReadNeighbourRows>;
    Library->CreateIpNetEntry = [helper](const MIB_IPNETROW& Row) { return CreateEntry(*helper, Row); };
    Library->DeleteIpNetEntry = [helper](const MIB_IPNETROW& Row) { return DeleteEntry(*helper, Row); };
    Library->SendARP = LinuxSendARP;
    Library->GetIpAddrTable = LinuxReadTable<MIB_IPADDRROW, ReadAddressRows>;
    Library->GetBestInterface = LinuxGetBestInterface;
    Library->LastErrorText = &TARPHelperClient::LastError;
    return 0;
}

} // namespace qubra
