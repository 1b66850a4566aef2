#pragma once

// The ARP request on a packet socket (CAP_NET_RAW): who answers for an address on a link.

#include <chrono>
#include <cstdint>
#include <vector>

namespace qubra {

// Broadcasts a who-has for DestIP on IfIndex from OwnMAC and SrcIP and waits up to Wait for its
// answer: 0 with the 6 bytes of the answering MAC in Answer, EHOSTUNREACH when nobody answered,
// or the errno (EPERM without the right to send frames).
int ProbeOnWire(int IfIndex, const std::vector<std::uint8_t>& OwnMAC, std::uint32_t SrcIP, std::uint32_t DestIP,
                std::chrono::milliseconds Wait, std::uint8_t* Answer);

} // namespace qubra
