#pragma once

// rtnetlink on libnl-route-3: the neighbour table, the address list, routes and links. Shared
// by the address-resolution module and the ARP helper program. Every TRouteNetlink is its own
// connection, in the network namespace of the thread that makes it.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <netlink/msg.h>
#include <netlink/netlink.h>
#include <netlink/route/neighbour.h>

namespace qubra::rtnl {

template <typename T, void (*Release)(T*)>
struct TNlRelease {
    void operator()(T* Object) const { Release(Object); }
};
using TNlNeighbour = std::unique_ptr<rtnl_neigh, TNlRelease<rtnl_neigh, rtnl_neigh_put>>;
using TNlAddress = std::unique_ptr<nl_addr, TNlRelease<nl_addr, nl_addr_put>>;
using TNlMessage = std::unique_ptr<nl_msg, TNlRelease<nl_msg, nlmsg_free>>;

// An address a station can own: not 0.x.x.x, not multicast or above, not the broadcast.
bool IsUnicast(std::uint32_t IP);

// One rtnetlink connection. Talk returns the kernel's own errno, which libnl's error codes
// would blur (an unreachable network must read as such, not as a generic failure).
class TRouteNetlink {
public:
    TRouteNetlink();
    ~TRouteNetlink();
    TRouteNetlink(const TRouteNetlink&) = delete;
    TRouteNetlink& operator=(const TRouteNetlink&) = delete;

    int OpenError = 0;

    // Sends the request and hands every message of the answer to Visit; 0 or the errno.
    int Talk(TNlMessage Request, const std::function<void(nl_msg*)>& Visit = {});
    // The same, with every answer parsed into libnl objects.
    int TalkObjects(TNlMessage Request, const std::function<void(nl_object*)>& Visit);

private:
    nl_sock* Socket;
};

struct TRoute {
    int IfIndex = 0;
    int Type = 0; // RTN_*
    std::uint32_t PreferredSource = 0;
    bool ViaGateway = false;
};
// The route the kernel would take to Dest; ENETUNREACH when it has none.
int LookupRoute(TRouteNetlink& Netlink, std::uint32_t Dest, TRoute& Route);

struct TLink {
    unsigned Flags = 0;
    std::vector<std::uint8_t> Address;
};
int ReadLink(TRouteNetlink& Netlink, int IfIndex, TLink& Link);
// Loopback and point-to-point links and links with ARP switched off resolve no addresses; the
// kernel even files a neighbour entry on the first two under 0.0.0.0, where no one finds it.
bool DoesARP(const TLink& Link);

struct TNeighbour {
    int IfIndex = 0;
    std::uint32_t IP = 0;
    std::uint8_t MAC[8] = {};
    std::uint32_t MACLength = 0;
    std::uint16_t State = 0;   // NUD_*
    std::uint8_t Protocol = 0; // who made it
    long AgeSeconds = 0;       // since its state or address last changed
};
// The IPv4 neighbour table.
int ReadNeighbours(TRouteNetlink& Netlink, std::vector<TNeighbour>& Neighbours);

struct TAddress {
    int IfIndex = 0;
    std::uint32_t IP = 0;
    int PrefixLength = 0;
    std::uint32_t Broadcast = 0;
};
// The gateways of every IPv4 route of every table.
int ReadGateways(TRouteNetlink& Netlink, std::vector<std::uint32_t>& Gateways);

// The host's IPv4 addresses.
int ReadAddresses(TRouteNetlink& Netlink, std::vector<TAddress>& Addresses);

// A permanent entry IP -> MAC on IfIndex, replacing one that is there, with Protocol as its
// maker's mark; and the removal of the entry of IP on IfIndex.
int AddPermanentNeighbour(TRouteNetlink& Netlink, int IfIndex, std::uint32_t IP,
                          const std::uint8_t* MAC, std::uint8_t Protocol);
int DeleteNeighbour(TRouteNetlink& Netlink, int IfIndex, std::uint32_t IP);

} // namespace qubra::rtnl
