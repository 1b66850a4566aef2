#pragma once

// What the address-resolution module and the ARP helper program say to each other: one request
// line on the helper's standard input, one answer line on its standard output.
//
//   hold <ifindex> <a.b.c.d> <xx:xx:xx:xx:xx:xx> <seconds>   a temporary permanent entry, kept
//                                  until any further input or end of input, or the seconds pass
//   delete <ifindex> <a.b.c.d>     remove an entry that is not permanent
//
//   ok | error <errno> <text>

#include <cstdint>

namespace qubra {

inline constexpr const char* kARPHelperProgram = "qubra-arphelper";
// Longest request line, newline included.
inline constexpr int kARPHelperLineLimit = 80;
// The assignment waits at most 13 searches of 11 cycles of 100 ms for the device, about 15 s,
// once its entry is in place; the limit leaves room for twice that.
inline constexpr int kARPHelperHoldLimitSeconds = 30;
// The neighbour entry's protocol field on the entries the helper makes.
inline constexpr std::uint8_t kARPHelperMark = 232;
// A live helper holding the entry of an address binds this abstract unix socket name, plus
// "<ifindex>/<a.b.c.d>"; it is per network namespace, like the neighbour table.
inline constexpr const char* kARPHelperLivePrefix = "qubra232/arphelper/";

} // namespace qubra
