#pragma once

#include <string>
#include <vector>

namespace qubra {

// An IPv4 interface that is up and can broadcast: its name and its own dotted address.
struct TBroadcastInterface {
    std::string Name;
    std::string Address;
};

// The host's broadcast-capable IPv4 interfaces, loopback left out; empty when they cannot be
// listed.
std::vector<TBroadcastInterface> BroadcastInterfaces();

} // namespace qubra
