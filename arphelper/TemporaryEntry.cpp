#include "arphelper/TemporaryEntry.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "net/ARPHelperProtocol.h"

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

bool IsMarked(const rtnl::TNeighbour& Entry)
{
    return (Entry.State & NUD_PERMANENT) != 0 && Entry.Protocol == kARPHelperMark;
}

} // namespace

TLiveName::~TLiveName()
{
    if (Fd >= 0)
        close(Fd);
}

bool TLiveName::Bind(int IfIndex, std::uint32_t IP)
{
    const std::string name = std::string(kARPHelperLivePrefix) + std::to_string(IfIndex) + "/" + AddressText(IP);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Abstract: a leading zero byte, then the name (no terminator).
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    Fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (Fd >= 0 && bind(Fd, reinterpret_cast<const sockaddr*>(&address),
                        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) == 0)
        return true;
    if (Fd >= 0)
        close(Fd);
    Fd = -1;
    return false;
}

void SweepLeftovers(rtnl::TRouteNetlink& Netlink)
{
    std::vector<rtnl::TNeighbour> table;
    if (rtnl::ReadNeighbours(Netlink, table) != 0)
        return;
    for (const rtnl::TNeighbour& entry : table)
        if (IsMarked(entry)) {
            // Bound for the removal, so that no new holder of the address starts in between.
            TLiveName name;
            if (name.Bind(entry.IfIndex, entry.IP))
                rtnl::DeleteNeighbour(Netlink, entry.IfIndex, entry.IP);
        }
}

TRefusal PlaceEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request, TLiveName& Name)
{
    TTarget target;
    rtnl::TLink link;
    if (const int error = rtnl::ReadLink(Netlink, Request.IfIndex, link); error != 0)
        return SystemRefusal(error, "interface " + std::to_string(Request.IfIndex));
    target.LinkDoesARP = rtnl::DoesARP(link);
    // Without any route the entry is merely useless; the kernel takes it.
    if (rtnl::TRoute route; rtnl::LookupRoute(Netlink, Request.IP, route) == 0)
        target.RouteType = route.Type;
    std::vector<rtnl::TAddress> addresses;
    if (const int error = rtnl::ReadAddresses(Netlink, addresses); error != 0)
        return SystemRefusal(error, "the address list");
    for (const rtnl::TAddress& address : addresses)
        if (address.IfIndex == Request.IfIndex)
            target.LinkSubnets.push_back({address.IP, address.PrefixLength});
    if (TRefusal refusal = CheckHold(Request, target))
        return refusal;

    if (!Name.Bind(Request.IfIndex, Request.IP))
        return {EBUSY, AddressText(Request.IP) + " is held by another running helper"};
    std::vector<rtnl::TNeighbour> table;
    if (const int error = rtnl::ReadNeighbours(Netlink, table); error != 0)
        return SystemRefusal(error, "the neighbour table");
    // A marked entry here is a leftover: its name was free.
    if (const rtnl::TNeighbour* entry = FindEntry(table, Request.IfIndex, Request.IP);
        entry != nullptr && (entry->State & NUD_PERMANENT) != 0 && !IsMarked(*entry))
        target.ForeignEntry = true;
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
    // Someone may have replaced it meanwhile; only the marked entry is this helper's.
    if (const rtnl::TNeighbour* entry = FindEntry(table, Request.IfIndex, Request.IP);
        error != 0 || (entry != nullptr && IsMarked(*entry)))
        rtnl::DeleteNeighbour(Netlink, Request.IfIndex, Request.IP);
}

TRefusal DeleteEntry(rtnl::TRouteNetlink& Netlink, const THelperRequest& Request)
{
    const std::string address = AddressText(Request.IP);
    std::vector<rtnl::TNeighbour> table;
    if (const int error = rtnl::ReadNeighbours(Netlink, table); error != 0)
        return SystemRefusal(error, "the neighbour table");
    const rtnl::TNeighbour* entry = FindEntry(table, Request.IfIndex, Request.IP);
    if (entry == nullptr)
        return SystemRefusal(ENOENT, "the entry for " + address);
    if (IsMarked(*entry))
        return {EBUSY, address + " is held by another running helper"};
    if (entry->State & NUD_PERMANENT) {
        rtnl::TLink link;
        if (rtnl::ReadLink(Netlink, Request.IfIndex, link) != 0 || rtnl::DoesARP(link))
            return {EACCES, address + " has a permanent entry that this helper did not make; it is left alone"};
    }
    if (const int error = rtnl::DeleteNeighbour(Netlink, Request.IfIndex, Request.IP); error != 0)
        return SystemRefusal(error, "the entry for " + address);
    return {};
}

} // namespace qubra::arphelper
