#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "control/Scanner.h"
#include "net/WakeUp.h"

namespace qubra {

// A scan for a caller that must not wait for it (a window's event loop): it runs on threads of
// its own from construction, the devices that answered so far can be taken at any moment, and
// Stop ends it within one slice of the engine's waits. The searches show and ask nothing.
class TBackgroundScan {
public:
    TBackgroundScan(const TLinkSettings& Link, TScanner::TLayoutLoader LoadLayout, bool AllInterfaces);
    // Stops the scan and waits for its threads.
    ~TBackgroundScan();
    TBackgroundScan(const TBackgroundScan&) = delete;
    TBackgroundScan& operator=(const TBackgroundScan&) = delete;

    // The devices that answered since the last call, in the order they answered.
    std::vector<TScanEntry> TakeNew();
    // Every search has ended: by its time-out, a stop or an error.
    bool Finished() const { return FFinished; }
    // Asks every search to stop; returns at once.
    void Stop();
    bool Stopped() const { return FStop; }
    // What is left of the scan's wait for answers; zero once it is over.
    std::chrono::milliseconds Remaining() const;
    std::chrono::milliseconds Duration() const { return FDuration; }
    // The error that ended a search, once Finished; null when none did.
    std::exception_ptr Error() const;

private:
    class TQuietView;

    const std::chrono::milliseconds FDuration;
    const std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
    TWakeUp FWakeUp;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FFinished{false};
    mutable std::mutex FLock;
    std::vector<TScanEntry> FNew;
    std::exception_ptr FError;
    TScanner FScanner;
    // Last, so that everything it uses exists while it runs.
    std::thread FThread;
};

} // namespace qubra
