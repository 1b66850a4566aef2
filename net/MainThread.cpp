#include "net/MainThread.h"

#include <atomic>
#include <chrono>

namespace qubra {

namespace {

std::atomic<TMainThreadDispatcher*> Installed{nullptr};

} // namespace

struct TQueuedDispatcher::TCall {
    enum TState { Queued, Running, Done };
    std::function<void()> Run;
    TState State = Queued;
};

void TQueuedDispatcher::RunAndWait(std::function<void()> Call, std::stop_token Stop)
{
    auto call = std::make_shared<TCall>();
    call->Run = std::move(Call);
    std::unique_lock guard(Lock);
    if (Stop.stop_requested())
        return;
    Calls.push_back(call);
    Changed.notify_all();
    if (OnPending) {
        guard.unlock();
        OnPending();
        guard.lock();
    }
    Changed.wait(guard, Stop, [&] { return call->State == TCall::Done; });
    if (call->State == TCall::Queued)
        std::erase(Calls, call);
}

int TQueuedDispatcher::ProcessPending()
{
    int count = 0;
    for (;;) {
        std::shared_ptr<TCall> call;
        {
            std::lock_guard guard(Lock);
            if (Calls.empty())
                return count;
            call = std::move(Calls.front());
            Calls.pop_front();
            call->State = TCall::Running;
        }
        struct TMarkDone {
            TQueuedDispatcher& Owner;
            TCall& Call;
            ~TMarkDone()
            {
                std::lock_guard guard(Owner.Lock);
                Call.State = TCall::Done;
                Owner.Changed.notify_all();
            }
        } markDone{*this, *call};
        call->Run();
        ++count;
    }
}

int TQueuedDispatcher::WaitAndProcess(int TimeoutMs)
{
    {
        std::unique_lock guard(Lock);
        Changed.wait_for(guard, std::chrono::milliseconds(TimeoutMs), [&] { return !Calls.empty(); });
    }
    return ProcessPending();
}

TQueuedDispatcher& DefaultDispatcher()
{
    static TQueuedDispatcher dispatcher;
    return dispatcher;
}

TMainThreadDispatcher& MainThreadDispatcher()
{
    TMainThreadDispatcher* installed = Installed.load();
    return installed ? *installed : DefaultDispatcher();
}

void InstallMainThreadDispatcher(TMainThreadDispatcher* Dispatcher) { Installed.store(Dispatcher); }

} // namespace qubra
