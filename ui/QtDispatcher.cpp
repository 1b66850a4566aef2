#include "ui/QtDispatcher.h"

#include <QThread>

#include "ui/Application.h"

namespace qubra {

TQtDispatcher::TQtDispatcher()
{
    // One posted event per queued call: when a call throws, the calls behind it still have
    // events of their own to run them.
    Queue.OnPending = [this] {
        QMetaObject::invokeMethod(&Context, Guarded([this] { Queue.ProcessPending(); }), Qt::QueuedConnection);
    };
}

void TQtDispatcher::RunAndWait(std::function<void()> Call, std::stop_token Stop)
{
    // The main thread itself would wait for its own loop for ever.
    if (QThread::currentThread() == Context.thread()) {
        if (!Stop.stop_requested()) Call();
        return;
    }
    Queue.RunAndWait(std::move(Call), Stop);
}

} // namespace qubra
