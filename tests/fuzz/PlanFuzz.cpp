// libFuzzer target: a provisioning plan as provision reads it; every entry it gives names a
// device address and a MAC, each once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "cli/ProvisionPlan.h"
#include "cli/SetupFile.h"

using namespace qubra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    std::vector<TPlanEntry> plan;
    try {
        plan = ParseProvisionPlan(std::string(reinterpret_cast<const char*>(Data), Size), "fuzz");
    } catch (const Exception&) {
        return 0;
    }
    std::set<std::uint32_t> addresses;
    std::set<TMACAddress> macs;
    for (const TPlanEntry& entry : plan)
        if (entry.Line < 1 || IsZeroMAC(entry.MAC) || !addresses.insert(entry.IP).second ||
            !macs.insert(entry.MAC).second)
            std::abort();
    return 0;
}
