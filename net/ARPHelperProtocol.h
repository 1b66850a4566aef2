#pragma once

// What the address-resolution module and the ARP service qubra-arpd say to each other over the
// service's unix stream socket: one request line per connection, one answer line.
//
//   hold <ifindex> <a.b.c.d> <xx:xx:xx:xx:xx:xx> <seconds>   a temporary permanent entry, kept
//                                  until any further input or the connection's end, or the
//                                  seconds pass; a second "ok" follows its removal
//   delete <ifindex> <a.b.c.d>     remove an entry that found nobody (incomplete, failed)
//
//   ok | error <errno> <text>

#include <cstdint>

namespace qubra {

inline constexpr const char* kARPServiceProgram = "qubra-arpd";
// Where the service listens; a program of the build tree may name another (QUBRA_ARPD_SOCKET).
inline constexpr const char* kARPServiceSocket = "/run/qubra-arpd.socket";
// Longest request line, newline included.
inline constexpr int kARPHelperLineLimit = 80;
// The assignment waits at most 13 searches of 11 cycles of 100 ms for the device, about 15 s,
// once its entry is in place; the limit leaves room for twice that.
inline constexpr int kARPHelperHoldLimitSeconds = 30;
// The neighbour entry's protocol field on the entries the tool makes.
inline constexpr std::uint8_t kARPHelperMark = 232;
// The whole request line must arrive within this time.
inline constexpr int kARPRequestWaitMs = 1500;
// Connections (each holds at most one entry) per user and in all.
inline constexpr int kARPUserHoldLimit = 8;
inline constexpr int kARPTotalHoldLimit = 64;

} // namespace qubra
