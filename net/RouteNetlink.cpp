#include "net/RouteNetlink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/nexthop.h>
#include <netlink/route/route.h>

namespace qubra::rtnl {

namespace {

using TNlCallbacks = std::unique_ptr<nl_cb, TNlRelease<nl_cb, nl_cb_put>>;

std::uint32_t IPOf(const nl_addr* Address)
{
    std::uint32_t ip = 0;
    if (Address != nullptr && nl_addr_get_len(Address) == 4)
        std::memcpy(&ip, nl_addr_get_binary_addr(Address), 4);
    return ip;
}

struct TExchange {
    int Error;
    bool Done;
    const std::function<void(nl_msg*)>* Visit;
};

int OnError(sockaddr_nl*, nlmsgerr* Error, void* Arg)
{
    auto* exchange = static_cast<TExchange*>(Arg);
    exchange->Error = -Error->error;
    exchange->Done = true;
    return NL_STOP;
}

int OnDone(nl_msg*, void* Arg)
{
    static_cast<TExchange*>(Arg)->Done = true;
    return NL_STOP;
}

int OnValid(nl_msg* Message, void* Arg)
{
    if (const auto* visit = static_cast<TExchange*>(Arg)->Visit; visit != nullptr && *visit)
        (*visit)(Message);
    return NL_OK;
}

template <typename THeader>
TNlMessage Request(int Type, int Flags, const THeader& Header)
{
    TNlMessage message(nlmsg_alloc_simple(Type, Flags));
    if (message && nlmsg_append(message.get(), const_cast<THeader*>(&Header), sizeof Header,
                                NLMSG_ALIGNTO) < 0)
        message.reset();
    return message;
}

TNlNeighbour NeighbourKey(int IfIndex, std::uint32_t IP)
{
    TNlNeighbour neighbour(rtnl_neigh_alloc());
    TNlAddress dest(nl_addr_build(AF_INET, &IP, 4));
    if (!neighbour || !dest)
        return nullptr;
    rtnl_neigh_set_family(neighbour.get(), AF_INET);
    rtnl_neigh_set_ifindex(neighbour.get(), IfIndex);
    rtnl_neigh_set_dst(neighbour.get(), dest.get());
    return neighbour;
}

} // namespace

bool IsUnicast(std::uint32_t IP)
{
    const std::uint32_t first = IP & 0xFF;
    return first != 0 && first < 224;
}

TRouteNetlink::TRouteNetlink() : Socket(nl_socket_alloc())
{
    errno = 0;
    if (Socket == nullptr)
        OpenError = ENOMEM;
    else if (nl_connect(Socket, NETLINK_ROUTE) < 0)
        OpenError = errno != 0 ? errno : EPROTONOSUPPORT;
}

TRouteNetlink::~TRouteNetlink()
{
    if (Socket != nullptr)
        nl_socket_free(Socket);
}

int TRouteNetlink::Talk(TNlMessage Request, const std::function<void(nl_msg*)>& Visit)
{
    TExchange exchange{0, false, &Visit};
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

int TRouteNetlink::TalkObjects(TNlMessage Request, const std::function<void(nl_object*)>& Visit)
{
    return Talk(std::move(Request), [&](nl_msg* Message) {
        nl_msg_parse(
            Message,
            [](nl_object* Object, void* Arg) {
                (*static_cast<const std::function<void(nl_object*)>*>(Arg))(Object);
            },
            const_cast<std::function<void(nl_object*)>*>(&Visit));
    });
}

int LookupRoute(TRouteNetlink& Netlink, std::uint32_t Dest, TRoute& Route)
{
    rtmsg header{};
    header.rtm_family = AF_INET;
    header.rtm_dst_len = 32;
    TNlMessage message = Request(RTM_GETROUTE, 0, header);
    if (message && nla_put(message.get(), RTA_DST, 4, &Dest) < 0)
        message.reset();
    const int error = Netlink.TalkObjects(std::move(message), [&](nl_object* Object) {
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

int ReadLink(TRouteNetlink& Netlink, int IfIndex, TLink& Link)
{
    ifinfomsg header{};
    header.ifi_family = AF_UNSPEC;
    header.ifi_index = IfIndex;
    return Netlink.TalkObjects(Request(RTM_GETLINK, 0, header), [&](nl_object* Object) {
        auto* link = reinterpret_cast<rtnl_link*>(Object);
        Link.Flags = rtnl_link_get_flags(link);
        if (const nl_addr* address = rtnl_link_get_addr(link)) {
            const auto* bytes = static_cast<const std::uint8_t*>(nl_addr_get_binary_addr(address));
            Link.Address.assign(bytes, bytes + nl_addr_get_len(address));
        }
    });
}

bool DoesARP(const TLink& Link)
{
    return (Link.Flags & (IFF_NOARP | IFF_LOOPBACK | IFF_POINTOPOINT)) == 0 && Link.Address.size() == 6;
}

int ReadNeighbours(TRouteNetlink& Netlink, std::vector<TNeighbour>& Neighbours)
{
    ndmsg header{};
    header.ndm_family = AF_INET;
    // Read from the raw attributes: libnl's neighbour object has no field for the maker's mark.
    return Netlink.Talk(Request(RTM_GETNEIGH, NLM_F_DUMP, header), [&](nl_msg* Message) {
        nlmsghdr* head = nlmsg_hdr(Message);
        if (head->nlmsg_type != RTM_NEWNEIGH || !nlmsg_valid_hdr(head, sizeof(ndmsg)))
            return;
        const auto* entry = static_cast<const ndmsg*>(nlmsg_data(head));
        nlattr* attributes[NDA_MAX + 1] = {};
        if (entry->ndm_family != AF_INET ||
            nlmsg_parse(head, sizeof(ndmsg), attributes, NDA_MAX, nullptr) < 0)
            return;
        TNeighbour neighbour;
        neighbour.IfIndex = entry->ndm_ifindex;
        neighbour.State = entry->ndm_state;
        if (attributes[NDA_DST] != nullptr && nla_len(attributes[NDA_DST]) == 4)
            std::memcpy(&neighbour.IP, nla_data(attributes[NDA_DST]), 4);
        if (attributes[NDA_LLADDR] != nullptr) {
            neighbour.MACLength = std::min<std::uint32_t>(nla_len(attributes[NDA_LLADDR]), 8);
            std::memcpy(neighbour.MAC, nla_data(attributes[NDA_LLADDR]), neighbour.MACLength);
        }
        if (attributes[NDA_PROTOCOL] != nullptr)
            neighbour.Protocol = nla_get_u8(attributes[NDA_PROTOCOL]);
        if (attributes[NDA_CACHEINFO] != nullptr && nla_len(attributes[NDA_CACHEINFO]) >= int(sizeof(nda_cacheinfo)))
            neighbour.AgeSeconds = static_cast<long>(
                static_cast<const nda_cacheinfo*>(nla_data(attributes[NDA_CACHEINFO]))->ndm_updated /
                static_cast<unsigned long>(sysconf(_SC_CLK_TCK)));
        Neighbours.push_back(neighbour);
    });
}

int ReadGateways(TRouteNetlink& Netlink, std::vector<std::uint32_t>& Gateways)
{
    rtmsg header{};
    header.rtm_family = AF_INET;
    header.rtm_table = RT_TABLE_UNSPEC;
    return Netlink.TalkObjects(Request(RTM_GETROUTE, NLM_F_DUMP, header), [&](nl_object* Object) {
        auto* route = reinterpret_cast<rtnl_route*>(Object);
        for (int i = 0; i < rtnl_route_get_nnexthops(route); ++i)
            if (const std::uint32_t gateway = IPOf(rtnl_route_nh_get_gateway(rtnl_route_nexthop_n(route, i))))
                Gateways.push_back(gateway);
    });
}

int ReadAddresses(TRouteNetlink& Netlink, std::vector<TAddress>& Addresses)
{
    ifaddrmsg header{};
    header.ifa_family = AF_INET;
    return Netlink.TalkObjects(Request(RTM_GETADDR, NLM_F_DUMP, header), [&](nl_object* Object) {
        auto* address = reinterpret_cast<rtnl_addr*>(Object);
        if (rtnl_addr_get_family(address) != AF_INET)
            return;
        Addresses.push_back({rtnl_addr_get_ifindex(address), IPOf(rtnl_addr_get_local(address)),
                             rtnl_addr_get_prefixlen(address), IPOf(rtnl_addr_get_broadcast(address))});
    });
}

int AddPermanentNeighbour(TRouteNetlink& Netlink, int IfIndex, std::uint32_t IP,
                          const std::uint8_t* MAC, std::uint8_t Protocol)
{
    TNlNeighbour neighbour = NeighbourKey(IfIndex, IP);
    TNlAddress mac(nl_addr_build(AF_UNSPEC, MAC, 6));
    if (!neighbour || !mac)
        return ENOMEM;
    rtnl_neigh_set_lladdr(neighbour.get(), mac.get());
    rtnl_neigh_set_state(neighbour.get(), NUD_PERMANENT);
    nl_msg* message = nullptr;
    if (rtnl_neigh_build_add_request(neighbour.get(), NLM_F_CREATE | NLM_F_REPLACE, &message) < 0)
        return ENOMEM;
    TNlMessage owned(message);
    // libnl has no setter for the mark: the attribute goes into the message itself.
    if (nla_put_u8(message, NDA_PROTOCOL, Protocol) < 0)
        return ENOMEM;
    return Netlink.Talk(std::move(owned));
}

int DeleteNeighbour(TRouteNetlink& Netlink, int IfIndex, std::uint32_t IP)
{
    TNlNeighbour neighbour = NeighbourKey(IfIndex, IP);
    nl_msg* message = nullptr;
    if (!neighbour || rtnl_neigh_build_delete_request(neighbour.get(), 0, &message) < 0)
        return ENOMEM;
    return Netlink.Talk(TNlMessage(message));
}

} // namespace qubra::rtnl
