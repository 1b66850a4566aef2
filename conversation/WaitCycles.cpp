#include "conversation/WaitCycles.h"

#include <algorithm>

namespace qubra {

void RunCycles(const TWaitClock& Now, int CycleMs, int MaxCycles,
               const std::function<void(TWaitTime)>& WaitUntil, const std::function<bool()>& Cycled)
{
    const TWaitTime start = Now();
    for (int cycle = 1; cycle <= MaxCycles; ++cycle) {
        WaitUntil(start + std::chrono::milliseconds(std::int64_t{CycleMs} * cycle));
        if (Cycled())
            return;
    }
}

void WaitInSlices(const TWaitClock& Now, TWaitTime Deadline, int SliceMs, const std::function<void(int)>& Slice)
{
    do {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(Deadline - Now()).count();
        Slice(static_cast<int>(std::clamp<std::int64_t>(left, 1, SliceMs)));
    } while (Now() < Deadline);
}

} // namespace qubra
