#include "arphelper/TemporaryEntry.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <string>

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>

#include "net/ARPHelperProtocol.h"
#include "net/ARPProbe.h"

namespace qubra::arphelper {

namespace {

TRefusal SystemRefusal(int Code, const std::string& What)
{
    return {Code, What + ": " + std::strerror(Code)};
}

const rtnl::TNeighbour* FindEntry(const std::vector<rtnl::TNeighbour>& Table, int IfIndex,
                                  std::uint32_t IP)
{
    for (const rtnl::TNeighbour& entry : Table)
        if (entry.IfIndex == IfIndex && entry.IP == IP)
            return &entry;
    return nullptr;
}

// A station on the link answers within milliseconds; the wait only bounds the silent case.
constexpr std::chrono::milliseconds kProbeWait{300};

bool IsMarked(const rtnl::TNeighbour& Entry)
{
    return (Entry.State & NUD_PERMANENT) != 0 && Entry.Protocol == kARPHelperMark;
}

TTarget::TEntry KindOf(const rtnl::TNeighbour* Entry)
{
    if (Entry == nullptr)
        return TTarget::TEntry::None;
    if (IsMarked(*Entry))
        return TTarget::TEntry::Marked;
    if (Entry->State & (NUD_PERMANENT | NUD_NOARP))
        return TTarget::TEntry::Static;
    if ((Entry->State & (NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE)) && Entry->MACLength == 6)
        return TTarget::TEntry::Live;
    return TTarget::TEntry::FoundNobody;
}

} // namespace

TRefusal ReadTarget(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request, TTarget& Target, bool Probe)
{
    rtnl::TLink link;
    if (const int error = rtnl::ReadLink(Netlink, Request.IfIndex, link); error != 0)
        return SystemRefusal(error, "interface " + std::to_string(Request.IfIndex));
    Target.LinkDoesARP = rtnl::DoesARP(link);
    // Without any route the entry is merely useless; the kernel takes it.
    rtnl::TRoute route;
    if (rtnl::LookupRoute(Netlink, Request.IP, route) == 0)
        Target.RouteType = route.Type;
    std::vector<std::uint32_t> gateways;
    if (const int error = rtnl::ReadGateways(Netlink, gateways); error != 0)
        return SystemRefusal(error, "the route list");
    Target.Gateway = std::find(gateways.begin(), gateways.end(), Request.IP) != gateways.end();
    std::vector<rtnl::TAddress> addresses;
    if (const int error = rtnl::ReadAddresses(Netlink, addresses); error != 0)
        return SystemRefusal(error, "the address list");
    for (const rtnl::TAddress& address : addresses)
        if (address.IfIndex == Request.IfIndex)
            Target.LinkSubnets.push_back({address.IP, address.PrefixLength});
    std::vector<rtnl::TNeighbour> table;
    if (const int error = rtnl::ReadNeighbours(Netlink, table); error != 0)
        return SystemRefusal(error, "the neighbour table");
    const rtnl::TNeighbour* entry = FindEntry(table, Request.IfIndex, Request.IP);
    Target.Entry = KindOf(entry);
    if (Target.Entry == TTarget::TEntry::Live)
        std::copy_n(entry->MAC, 6, Target.StationMAC.begin());
    // Nobody known there: ask the link whether a station answers after all. Without the right
    // to send frames the table's word stands.
    if (Probe && Target.LinkDoesARP &&
        (Target.Entry == TTarget::TEntry::None || Target.Entry == TTarget::TEntry::FoundNobody) &&
        ProbeOnWire(Request.IfIndex, link.Address, route.PreferredSource, Request.IP, kProbeWait,
                    Target.StationMAC.data()) == 0)
        Target.Entry = TTarget::TEntry::Live;
    return {};
}

void SweepLeftovers(rtnl::TRouteNetlink& Netlink)
{
    std::vector<rtnl::TNeighbour> table;
    if (rtnl::ReadNeighbours(Netlink, table) != 0)
        return;
    for (const rtnl::TNeighbour& entry : table)
        if (IsMarked(entry) && entry.AgeSeconds > kARPHelperHoldLimitSeconds)
            rtnl::DeleteNeighbour(Netlink, entry.IfIndex, entry.IP);
}

TRefusal PlaceEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request)
{
    TTarget target;
    if (TRefusal refusal = ReadTarget(Netlink, Request, target, true))
        return refusal;
    if (TRefusal refusal = CheckHold(Request, target))
        return refusal;
    if (const int error = rtnl::AddPermanentNeighbour(Netlink, Request.IfIndex, Request.IP,
                                                      Request.MAC.data(), kARPHelperMark);
        error != 0)
        return SystemRefusal(error, "the entry for " + AddressText(Request.IP));
    return {};
}

void RemoveEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request)
{
    std::vector<rtnl::TNeighbour> table;
    const int error = rtnl::ReadNeighbours(Netlink, table);
    // Someone may have replaced it meanwhile; only the marked entry is the tool's.
    if (const rtnl::TNeighbour* entry = FindEntry(table, Request.IfIndex, Request.IP);
        error != 0 || (entry != nullptr && IsMarked(*entry)))
        rtnl::DeleteNeighbour(Netlink, Request.IfIndex, Request.IP);
}

TRefusal DeleteEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request)
{
    TTarget target;
    if (TRefusal refusal = ReadTarget(Netlink, Request, target, false))
        return refusal;
    if (TRefusal refusal = CheckDelete(Request, target))
        return refusal;
    if (const int error = rtnl::DeleteNeighbour(Netlink, Request.IfIndex, Request.IP); error != 0)
        return SystemRefusal(error, "the entry for " + AddressText(Request.IP));
    return {};
}

} // namespace qubra::arphelper
