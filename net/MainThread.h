#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

namespace qubra {

// "Run on the main thread and wait" for the socket threads' notifications.
class TMainThreadDispatcher {
public:
    virtual ~TMainThreadDispatcher() = default;
    // Called from a worker thread: has Call run on the main thread and returns once it has run.
    // Once Stop is requested it must return promptly: a call not yet started is withdrawn and
    // never runs; a call already running is left to finish without the worker. This is what
    // lets the main thread stop a worker, even from inside that worker's notification.
    virtual void RunAndWait(std::function<void()> Call, std::stop_token Stop) = 0;
};

// A dispatcher whose calls wait in a list until the main thread runs ProcessPending. The main
// loop of a program (or a test) drives it; OnPending, when set, is called from the worker
// thread after each queued call so that an event loop can schedule ProcessPending.
class TQueuedDispatcher : public TMainThreadDispatcher {
public:
    void RunAndWait(std::function<void()> Call, std::stop_token Stop) override;

    // Main thread: runs the queued calls in order; returns how many ran. A call that throws
    // ends the run, the calls behind it stay queued.
    int ProcessPending();
    // Main thread: waits up to TimeoutMs for a queued call, then runs what is queued.
    int WaitAndProcess(int TimeoutMs);

    std::function<void()> OnPending;

private:
    struct TCall;
    std::mutex Lock;
    std::condition_variable_any Changed;
    std::deque<std::shared_ptr<TCall>> Calls;
};

// The dispatcher the socket threads use; by default the built-in DefaultDispatcher().
TMainThreadDispatcher& MainThreadDispatcher();
TQueuedDispatcher& DefaultDispatcher();
// Installed once at start-up, before any socket thread runs; nullptr restores the default.
void InstallMainThreadDispatcher(TMainThreadDispatcher* Dispatcher);

} // namespace qubra
