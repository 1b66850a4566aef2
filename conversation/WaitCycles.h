#pragma once

#include <cstdint>

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

} // namespace qubra
