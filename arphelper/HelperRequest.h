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

// What the host knows about the target of a hold.
struct TTarget {
    bool LinkDoesARP = false;
    int RouteType = 0; // RTN_* of the route to the address
    struct TSubnet {
        std::uint32_t IP;
        int PrefixLength;
    };
    std::vector<TSubnet> LinkSubnets; // the addresses of the target's interface
    bool ForeignEntry = false;        // a permanent entry that no helper made is there
};

// The refusal of a hold on Target, or none.
TRefusal CheckHold(const THelperRequest& Request, const TTarget& Target);

} // namespace qubra::arphelper
