#include "net/WakeUp.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace qubra {

TWakeUp::TWakeUp() : FHandle(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TWakeUp::~TWakeUp()
{
    if (FHandle >= 0)
        close(FHandle);
}

void TWakeUp::Signal() const
{
    const std::uint64_t one = 1;
    if (FHandle >= 0 && write(FHandle, &one, sizeof one) < 0) {
        // Full counter: the descriptor is readable already.
    }
}

void TWakeUp::Clear() const
{
    std::uint64_t count;
    if (FHandle >= 0 && read(FHandle, &count, sizeof count) < 0) {
        // Not signalled: nothing to clear.
    }
}

bool WaitReadable(int Handle, int Wake, std::chrono::nanoseconds Timeout)
{
    pollfd watched[2] = {{Handle, POLLIN, 0}, {Wake, POLLIN, 0}};
    timespec limit{};
    if (Timeout.count() > 0) {
        limit.tv_sec = static_cast<time_t>(Timeout.count() / 1'000'000'000);
        limit.tv_nsec = static_cast<long>(Timeout.count() % 1'000'000'000);
    }
    // An interrupted wait counts as an early end without a wake: the caller looks again.
    if (ppoll(watched, 2, Timeout.count() < 0 ? nullptr : &limit, nullptr) <= 0)
        return false;
    return Wake >= 0 && (watched[1].revents & POLLIN) != 0;
}

} // namespace qubra
