#pragma once

#include <QObject>

#include "net/MainThread.h"

namespace qubra {

// "Run on the main thread and wait" through the Qt event loop: a worker's call waits in a
// queued dispatcher and an event posted to the main thread's loop runs it. The worker never
// uses Qt's blocking queued call, so a stop request withdraws a call that has not started and
// releases the worker at once, also while the main thread is busy stopping that worker.
// Made on the main thread; it must outlive every worker that calls it.
class TQtDispatcher : public TMainThreadDispatcher {
public:
    TQtDispatcher();

    void RunAndWait(std::function<void()> Call, std::stop_token Stop) override;

private:
    TQueuedDispatcher Queue;
    // Lives on the main thread; events still posted to it go when it goes.
    QObject Context;
};

} // namespace qubra
