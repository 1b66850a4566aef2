// The host's library on Linux: the neighbour table, the address list and the route lookup over
// rtnetlink (libnl-route-3), and SendARP as an ARP request on a packet socket. Every call opens
// its own netlink connection, so it works in the network namespace of the calling thread.

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

#include <netlink/msg.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/neighbour.h>
#include <netlink/route/nexthop.h>
#include <netlink/route/route.h>

#include "net/IPHelper.h"

namespace qubra {

namespace {

using namespace std::chrono_literals;

constexpr auto kAnswerWait = 1000ms;
constexpr std::uint16_t kDiscardPort = 9;

std::uint32_t Failed(int Code)
{
    errno = Code;
    return static_cast<std::uint32_t>(Code);
}

// An address a station can own: not 0.x.x.x, not multicast or above, not the broadcast.
bool IsUnicast(std::uint32_t IP)
{
    const std::uint32_t first = IP & 0xFF;
    return first != 0 && first < 224;
}

std::uint32_t IPOf(const nl_addr* Address)
{
    std::uint32_t ip = 0;
    if (Address != nullptr && nl_addr_get_len(Address) == 4)
        std::memcpy(&ip, nl_addr_get_binary_addr(Address), 4);
    return ip;
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

template <typename T, void (*Release)(T*)>
struct TNlRelease {
    void operator()(T* Object) const { Release(Object); }
};
using TNeighbour = std::unique_ptr<rtnl_neigh, TNlRelease<rtnl_neigh, rtnl_neigh_put>>;
using TNlAddress = std::unique_ptr<nl_addr, TNlRelease<nl_addr, nl_addr_put>>;
using TNlCallbacks = std::unique_ptr<nl_cb, TNlRelease<nl_cb, nl_cb_put>>;
using TNlMessage = std::unique_ptr<nl_msg, TNlRelease<nl_msg, nlmsg_free>>;

// One rtnetlink connection. Talk returns the kernel's own errno, which libnl's error codes
// would blur (an unreachable network must read as such, not as a generic failure).
class TRouteNetlink {
public:
    TRouteNetlink() : Socket(nl_socket_alloc())
    {
        errno = 0;
        if (Socket == nullptr)
            OpenError = ENOMEM;
        else if (nl_connect(Socket, NETLINK_ROUTE) < 0)
            OpenError = errno != 0 ? errno : EPROTONOSUPPORT;
    }
    ~TRouteNetlink()
    {
        if (Socket != nullptr)
            nl_socket_free(Socket);
    }
    TRouteNetlink(const TRouteNetlink&) = delete;
    TRouteNetlink& operator=(const TRouteNetlink&) = delete;

    int OpenError = 0;

    // Sends the request and hands every object of the answer to Visit; 0 or the errno.
    template <typename TVisit>
    int Talk(TNlMessage Request, TVisit Visit)
    {
        TExchange exchange{0, false, [&](nl_object* Object) { Visit(Object); }};
        TNlCallbacks callbacks(nl_cb_alloc(NL_CB_DEFAULT));
        if (!callbacks || !Request)
            return ENOMEM;
        nl_cb_err(callbacks.get(), NL_CB_CUSTOM, OnError, &exchange);
        nl_cb_set(callbacks.get(), NL_CB_ACK, NL_CB_CUSTOM, OnDone, &exchange);
        nl_cb_set(callbacks.get(), NL_CB_FINISH, NL_CB_CUSTOM, OnDone, &exchange);
        nl_cb_set(callbacks.get(), NL_CB_VALID, NL_CB_CUSTOM, OnValid, &exchange);
        if (nl_send_auto(Socket, Request.get()) < 0)
            return EIO;
        while (!exchange.Done)
            if (nl_recvmsgs(Socket, callbacks.get()) < 0)
                return exchange.Error != 0 ? exchange.Error : EIO;
        return exchange.Error;
    }

private:
    struct TExchange {
        int Error;
        bool Done;
        std::function<void(nl_object*)> Visit;
    };
    nl_sock* Socket;

    static int OnError(sockaddr_nl*, nlmsgerr* Error, void* Arg)
    {
        auto* exchange = static_cast<TExchange*>(Arg);
        exchange->Error = -Error->error;
        exchange->Done = true;
        return NL_STOP;
    }
    static int OnDone(nl_msg*, void* Arg)
    {
        static_cast<TExchange*>(Arg)->Done = true;
        return NL_STOP;
    }
    static void OnObject(nl_object* Object, void* Arg)
    {
        static_cast<TExchange*>(Arg)->Visit(Object);
    }
    static int OnValid(nl_msg* Message, void* Arg)
    {
        nl_msg_parse(Message, OnObject, Arg);
        return NL_OK;
    }
};

template <typename THeader>
TNlMessage Request(int Type, int Flags, const THeader& Header)
{
    TNlMessage message(nlmsg_alloc_simple(Type, Flags));
    if (message && nlmsg_append(message.get(), const_cast<THeader*>(&Header), sizeof Header,
                                NLMSG_ALIGNTO) < 0)
        message.reset();
    return message;
}

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

int ReadNeighbours(TRouteNetlink& Netlink, std::vector<MIB_IPNETROW>& Rows)
{
    ndmsg header{};
    header.ndm_family = AF_INET;
    return Netlink.Talk(Request(RTM_GETNEIGH, NLM_F_DUMP, header), [&](nl_object* Object) {
        auto* neighbour = reinterpret_cast<rtnl_neigh*>(Object);
        if (rtnl_neigh_get_family(neighbour) != AF_INET)
            return;
        MIB_IPNETROW row;
        row.dwIndex = static_cast<std::uint32_t>(rtnl_neigh_get_ifindex(neighbour));
        row.dwAddr = IPOf(rtnl_neigh_get_dst(neighbour));
        if (const nl_addr* mac = rtnl_neigh_get_lladdr(neighbour)) {
            row.dwPhysAddrLen = std::min(nl_addr_get_len(mac), 8u);
            std::memcpy(row.bPhysAddr, nl_addr_get_binary_addr(mac), row.dwPhysAddrLen);
        }
        row.dwType = TypeOfState(rtnl_neigh_get_state(neighbour));
        Rows.push_back(row);
    });
}

int ReadAddresses(TRouteNetlink& Netlink, std::vector<MIB_IPADDRROW>& Rows)
{
    ifaddrmsg header{};
    header.ifa_family = AF_INET;
    return Netlink.Talk(Request(RTM_GETADDR, NLM_F_DUMP, header), [&](nl_object* Object) {
        auto* address = reinterpret_cast<rtnl_addr*>(Object);
        if (rtnl_addr_get_family(address) != AF_INET)
            return;
        MIB_IPADDRROW row;
        row.dwAddr = IPOf(rtnl_addr_get_local(address));
        row.dwIndex = static_cast<std::uint32_t>(rtnl_addr_get_ifindex(address));
        const int prefix = rtnl_addr_get_prefixlen(address);
        row.dwMask = prefix <= 0 ? 0 : htonl(0xFFFFFFFFu << (32 - std::min(prefix, 32)));
        row.dwBCastAddr = IPOf(rtnl_addr_get_broadcast(address));
        row.dwReasmSize = 65535;
        Rows.push_back(row);
    });
}

struct TRoute {
    int IfIndex = 0;
    int Type = RTN_UNSPEC;
    std::uint32_t PreferredSource = 0;
    bool ViaGateway = false;
};

int LookupRoute(TRouteNetlink& Netlink, std::uint32_t Dest, TRoute& Route)
{
    rtmsg header{};
    header.rtm_family = AF_INET;
    header.rtm_dst_len = 32;
    TNlMessage message = Request(RTM_GETROUTE, 0, header);
    if (message && nla_put(message.get(), RTA_DST, 4, &Dest) < 0)
        message.reset();
    const int error = Netlink.Talk(std::move(message), [&](nl_object* Object) {
        auto* route = reinterpret_cast<rtnl_route*>(Object);
        Route.Type = rtnl_route_get_type(route);
        Route.PreferredSource = IPOf(rtnl_route_get_pref_src(route));
        if (rtnl_nexthop* hop = rtnl_route_nexthop_n(route, 0)) {
            Route.IfIndex = rtnl_route_nh_get_ifindex(hop);
            Route.ViaGateway = rtnl_route_nh_get_gateway(hop) != nullptr;
        }
    });
    return error != 0 ? error : Route.IfIndex > 0 ? 0 : ENETUNREACH;
}

struct TLink {
    unsigned Flags = 0;
    std::vector<std::uint8_t> Address;
};

int ReadLink(TRouteNetlink& Netlink, int IfIndex, TLink& Link)
{
    ifinfomsg header{};
    header.ifi_family = AF_UNSPEC;
    header.ifi_index = IfIndex;
    return Netlink.Talk(Request(RTM_GETLINK, 0, header), [&](nl_object* Object) {
        auto* link = reinterpret_cast<rtnl_link*>(Object);
        Link.Flags = rtnl_link_get_flags(link);
        if (const nl_addr* address = rtnl_link_get_addr(link)) {
            const auto* bytes = static_cast<const std::uint8_t*>(nl_addr_get_binary_addr(address));
            Link.Address.assign(bytes, bytes + nl_addr_get_len(address));
        }
    });
}

// Loopback and point-to-point links and links with ARP switched off resolve no addresses; the
// kernel even files a neighbour entry on the first two under 0.0.0.0, where no one finds it.
bool DoesARP(const TLink& Link)
{
    return (Link.Flags & (IFF_NOARP | IFF_LOOPBACK | IFF_POINTOPOINT)) == 0 && Link.Address.size() == 6;
}

// A static entry belongs only to another station on a link that does ARP: never to one of the
// host's own addresses (a local route), a broadcast or other non-unicast route. 0 or the errno.
int EntryPlaceError(TRouteNetlink& Netlink, const MIB_IPNETROW& Row)
{
    TLink link;
    if (const int error = ReadLink(Netlink, static_cast<int>(Row.dwIndex), link); error != 0)
        return error;
    // Without any route the entry is merely useless; the kernel takes it.
    if (TRoute route; LookupRoute(Netlink, Row.dwAddr, route) == 0 && route.Type != RTN_UNICAST)
        return route.Type == RTN_LOCAL ? EADDRINUSE : EINVAL;
    return DoesARP(link) ? 0 : EOPNOTSUPP;
}

std::uint32_t ChangeNeighbour(const MIB_IPNETROW& Row, bool Create)
{
    const int state = Row.dwType == MIB_IPNET_TYPE_STATIC    ? NUD_PERMANENT
                      : Row.dwType == MIB_IPNET_TYPE_DYNAMIC ? NUD_REACHABLE
                                                             : 0;
    if (Row.dwIndex == 0 || Row.dwIndex > INT_MAX)
        return Failed(ENODEV);
    // Any row the table shows can be deleted, also one the kernel filed under 0.0.0.0.
    if (Create && (!IsUnicast(Row.dwAddr) || state == 0 || Row.dwPhysAddrLen == 0 ||
                   Row.dwPhysAddrLen > 8 ||
                   std::all_of(Row.bPhysAddr, Row.bPhysAddr + Row.dwPhysAddrLen,
                               [](std::uint8_t b) { return b == 0; })))
        return Failed(EINVAL);
    TRouteNetlink netlink;
    if (netlink.OpenError != 0)
        return Failed(netlink.OpenError);
    if (const int error = Create ? EntryPlaceError(netlink, Row) : 0; error != 0)
        return Failed(error);
    TNeighbour neighbour(rtnl_neigh_alloc());
    TNlAddress dest(nl_addr_build(AF_INET, &Row.dwAddr, 4));
    if (!neighbour || !dest)
        return Failed(ENOMEM);
    rtnl_neigh_set_family(neighbour.get(), AF_INET);
    rtnl_neigh_set_ifindex(neighbour.get(), static_cast<int>(Row.dwIndex));
    rtnl_neigh_set_dst(neighbour.get(), dest.get());
    nl_msg* message = nullptr;
    int built;
    if (Create) {
        TNlAddress mac(nl_addr_build(AF_UNSPEC, Row.bPhysAddr, Row.dwPhysAddrLen));
        if (!mac)
            return Failed(ENOMEM);
        rtnl_neigh_set_lladdr(neighbour.get(), mac.get());
        rtnl_neigh_set_state(neighbour.get(), state);
        built = rtnl_neigh_build_add_request(neighbour.get(), NLM_F_CREATE | NLM_F_REPLACE, &message);
    } else {
        built = rtnl_neigh_build_delete_request(neighbour.get(), 0, &message);
    }
    if (built < 0)
        return Failed(ENOMEM);
    const int error = netlink.Talk(TNlMessage(message), [](nl_object*) {});
    return error != 0 ? Failed(error) : 0;
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
        if (const int error = ReadNeighbours(Netlink, rows); error != 0)
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
    Library->GetIpNetTable = LinuxReadTable<MIB_IPNETROW, ReadNeighbours>;
    Library->CreateIpNetEntry = [](const MIB_IPNETROW& Row) { return ChangeNeighbour(Row, true); };
    Library->DeleteIpNetEntry = [](const MIB_IPNETROW& Row) { return ChangeNeighbour(Row, false); };
    Library->SendARP = LinuxSendARP;
    Library->GetIpAddrTable = LinuxReadTable<MIB_IPADDRROW, ReadAddresses>;
    Library->GetBestInterface = LinuxGetBestInterface;
    return 0;
}

} // namespace qubra
