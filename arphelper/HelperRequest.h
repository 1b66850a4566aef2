#pragma once

// The ARP helper's request: strict parsing of one line, and the checks of a target against
// what the host knows about it. No system calls here, so every rule can be tried directly.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qubra::arphelper {

// Code 0: accepted; otherwise an errno value and the text that says why.
struct TRefusal {
    int Code = 0;
    std::string Text;
    explicit operator bool() const { return Code != 0; }
};

struct THelperRequest {
    enum class TKind { Hold, Delete } Kind = TKind::Delete;
    int IfIndex = 0;
    std::uint32_t IP = 0; // first octet in the least significant byte
    std::array<std::uint8_t, 6> MAC{};
    int HoldSeconds = 0;
};

// Line is what was read, up to and including its newline.
TRefusal ParseRequest(std::string_view Line, THelperRequest& Request);

std::string AddressText(std::uint32_t IP);
std::string MACText(const std::array<std::uint8_t, 6>& MAC);

// What the host knows about the target of a hold.
struct TTarget {
    bool LinkDoesARP = false;
    int RouteType = 0; // RTN_* of the route to the address
    struct TSubnet {
        std::uint32_t IP;
        int PrefixLength;
    };
    std::vector<TSubnet> LinkSubnets; // the addresses of the target's interface
    bool Gateway = false;             // the gateway of some route
    // The neighbour entry there: none, one that found nobody (incomplete, failed), one a
    // station answered for (reachable, stale, delay, probe), a static one (permanent or noarp)
    // made by someone else, or a marked one (held by another request).
    enum class TEntry { None, FoundNobody, Live, Static, Marked } Entry = TEntry::None;
    std::array<std::uint8_t, 6> StationMAC{}; // of a live entry, or of a station that answered a probe
};

// The refusal of a hold on Target, or none.
TRefusal CheckHold(const THelperRequest& Request, const TTarget& Target);
// The refusal of a deletion: only an entry that found nobody may go.
TRefusal CheckDelete(const THelperRequest& Request, const TTarget& Target);

} // namespace qubra::arphelper
