#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace qubra {

// Cycle lengths of the waits for answers, in milliseconds.
inline constexpr int kRecordCycleMs = 20;
inline constexpr int kSearchCycleMs = 100;

// How many cycles a wait may run: the answer time-out divided into cycles, plus Extra.
constexpr int CycleCount(std::int32_t AnswerTimeout, int CycleMs, int Extra)
{
    return AnswerTimeout / CycleMs + Extra;
}

// 100 * Done / Total rounded to the nearest integer, halves to the even neighbour.
// No records to exchange counts as all done.
constexpr int ProgressPercent(int Done, int Total)
{
    if (Total <= 0)
        return 100;
    const std::int64_t scaled = std::int64_t{100} * Done;
    std::int64_t quotient = scaled / Total;
    const std::int64_t twiceRest = 2 * (scaled % Total);
    if (twiceRest > Total || (twiceRest == Total && quotient % 2 != 0))
        ++quotient;
    return static_cast<int>(quotient);
}

using TWaitTime = std::chrono::steady_clock::time_point;
// The clock the waits take their deadlines from: the steady clock, or a test's own.
using TWaitClock = std::function<TWaitTime()>;

// Runs at most MaxCycles cycles of CycleMs, each WaitUntil(the cycle's end) followed by Cycled,
// which answers whether the wait is over. Cycle k (from 0) ends k + 1 cycle lengths after the
// first began: what runs between the waits (draining, pumping, a busy machine) shortens the
// next cycle instead of lengthening the whole wait. A cycle whose end has passed before it
// began still runs; it is never dropped.
void RunCycles(const TWaitClock& Now, int CycleMs, int MaxCycles,
               const std::function<void(TWaitTime)>& WaitUntil, const std::function<bool()>& Cycled);

// Waits until Deadline in slices: Slice(Ms) for the time left in whole milliseconds, rounded
// up, at least 1 and at most SliceMs, until Deadline has passed. At least one slice runs, also
// when Deadline has passed already, so that the socket is looked at in every cycle.
void WaitInSlices(const TWaitClock& Now, TWaitTime Deadline, int SliceMs, const std::function<void(int)>& Slice);

} // namespace qubra
