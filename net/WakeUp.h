#pragma once

#include <chrono>

namespace qubra {

// A descriptor that one thread, or a signal handler, makes readable to end another thread's
// wait early (an eventfd). It stays readable until Clear.
class TWakeUp {
public:
    // Without a descriptor (none left to the process) Handle is -1 and Signal does nothing:
    // the waits then end only at their limits.
    TWakeUp();
    ~TWakeUp();
    TWakeUp(const TWakeUp&) = delete;
    TWakeUp& operator=(const TWakeUp&) = delete;

    int Handle() const { return FHandle; }
    // Safe from any thread and from a signal handler.
    void Signal() const;
    void Clear() const;

private:
    int FHandle;
};

constexpr std::chrono::nanoseconds kNoTimeLimit(-1);

// Waits until Handle can be read (a datagram, or an error to report), Wake can be read, or
// Timeout has passed (kNoTimeLimit: no limit). A descriptor below 0 is not watched. True when
// Wake ended the wait.
bool WaitReadable(int Handle, int Wake, std::chrono::nanoseconds Timeout);

} // namespace qubra
