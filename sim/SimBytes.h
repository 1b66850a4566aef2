#pragma once

#include <cstdint>
#include <vector>

namespace qubra {

// A byte string: datagram payloads, frames and the records a device holds. The device keeps
// to raw bytes of its own, apart from the record model it is tested against; the alias names
// the same type as the model's, so both sides exchange byte strings freely.
using TBytes = std::vector<std::uint8_t>;

} // namespace qubra
