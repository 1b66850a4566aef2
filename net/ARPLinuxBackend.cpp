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
#include "net/ARPProbe.h"
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

// The MAC the host's neighbour table holds for DestIP on IfIndex, in a state that datagrams
// are sent to; ENOENT when there is none.
int KernelEntry(TRouteNetlink& Netlink, int IfIndex, std::uint32_t DestIP, std::uint8_t* Answer)
{
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
    return ENOENT;
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
        if (const int error = KernelEntry(Netlink, IfIndex, DestIP, Answer); error != ENOENT)
            return error;
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

    // Datagrams for an address behind a gateway go to the gateway, whoever answers on the wire.
    if (route.ViaGateway)
        return Failed(EHOSTUNREACH);

    std::uint8_t answer[6] = {};
    int error = ProbeOnWire(route.IfIndex, link.Address, SrcIP != 0 ? SrcIP : route.PreferredSource, DestIP,
                            kAnswerWait, answer);
    // The answer on the wire leaves the host's own entry as it was; datagrams follow that.
    if (error == 0)
        KernelEntry(netlink, route.IfIndex, DestIP, answer);
    else if (error == EPERM || error == EACCES)
        error = KernelResolve(netlink, route.IfIndex, DestIP, answer);
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
