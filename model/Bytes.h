#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qubra {

// A byte string: record buffers, datagram payloads, raw field values.
using TBytes = std::vector<std::uint8_t>;

inline TBytes ToBytes(const std::string& text) { return TBytes(text.begin(), text.end()); }
inline std::string ToString(const TBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

} // namespace qubra
