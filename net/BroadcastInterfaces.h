#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qubra {

// An IPv4 interface that is up and can broadcast: its name, its own dotted address and its
// netmask (in network order; 0 when not known).
struct TBroadcastInterface {
    std::string Name;
    std::string Address;
    std::uint32_t Mask = 0;
};

// The host's broadcast-capable IPv4 interfaces, loopback left out; empty when they cannot be
// listed.
std::vector<TBroadcastInterface> BroadcastInterfaces();

} // namespace qubra
