#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/Conversions.h"

namespace qubra {

// The most a plan file may hold; a plan of thousands of devices stays far below.
inline constexpr std::size_t kMaxPlanBytes = 1u << 20;

// One device of a provisioning plan: found by its MAC, it gets IP and, where given, the mask
// and the gateway.
struct TPlanEntry {
    int Line = 0;  // in the plan, from 1
    TMACAddress MAC{};
    std::uint32_t IP = 0;
    std::optional<std::uint32_t> Mask;  // in network order
    std::optional<std::uint32_t> Gateway;
};

// The lines "MAC,IP[,MASK[,GATEWAY]]" of a plan in their order; blanks around the fields, empty
// lines, lines starting with # and a first line naming the columns (its first field "MAC") are
// skipped. Raises EBadFile "Name:LINE: what is wrong" for a malformed line, a MAC or an address
// given twice, and for a plan without any device.
std::vector<TPlanEntry> ParseProvisionPlan(const std::string& Text, const std::string& Name);

} // namespace qubra
