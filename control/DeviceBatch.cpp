#include "control/DeviceBatch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace qubra {

namespace {

// One device: made on the calling thread, then used by its worker only.
struct TBatchSlot {
    std::unique_ptr<TDataManager> Records;
    TDeviceBatch::TDeviceViews Views;
    std::unique_ptr<TDeviceController> Controller;
    enum class TState { Waiting, Running, Ended } State = TState::Waiting;
    TBatchEnd End;
};

} // namespace

TDeviceBatch::TDeviceBatch(TLinkSettings Link, TLayoutLoader LoadLayout, TViewsFor ViewsFor, int Jobs)
    : FLink(std::move(Link)), FLoadLayout(std::move(LoadLayout)), FViewsFor(std::move(ViewsFor)),
      FJobs(std::max(1, Jobs))
{
}

bool TDeviceBatch::Run(std::size_t Count, const TWork& Work, const TEnded& OnEnded,
                       const TProgressShown& OnProgress)
{
    std::vector<TBatchSlot> slots(Count);
    for (std::size_t i = 0; i < Count; ++i) {
        TBatchSlot& slot = slots[i];
        slot.Records = FLoadLayout();
        slot.Views = FViewsFor(i);
        slot.Controller = std::make_unique<TDeviceController>(*slot.Records, *slot.Views.MainView,
                                                              slot.Views.CreateView);
        slot.Controller->Link = FLink;
    }

    std::mutex lock;
    std::condition_variable changed;
    std::size_t next = 0;
    // Counts every start and end, so that none goes unseen while the ends are reported.
    std::size_t generation = 0;
    bool stop = false;
    const auto worker = [&] {
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard guard(lock);
                if (stop || next >= Count)
                    return;
                index = next++;
                slots[index].State = TBatchSlot::TState::Running;
                ++generation;
            }
            changed.notify_all();
            TBatchSlot& slot = slots[index];
            TBatchEnd end;
            bool cancelled = false;
            try {
                end.Ok = Work(index, *slot.Controller);
            } catch (const EOperationCancelled&) {
                cancelled = true;
            } catch (const std::exception& error) {
                end.Error = error.what();
            }
            {
                std::lock_guard guard(lock);
                slot.End = std::move(end);
                slot.State = TBatchSlot::TState::Ended;
                ++generation;
                stop = stop || cancelled || slot.Controller->Cancelled();
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < std::min<std::size_t>(Count, FJobs); ++i)
        threads.emplace_back(worker);

    // Reports on this thread, in order, as the devices end.
    bool allOk = true;
    std::size_t reported = 0;
    TBatchProgress shown{};
    shown.Total = Count;
    std::unique_lock guard(lock);
    while (reported < Count) {
        TBatchProgress now{};
        now.Total = Count;
        for (const TBatchSlot& slot : slots) {
            if (slot.State == TBatchSlot::TState::Running)
                ++now.Running;
            else if (slot.State == TBatchSlot::TState::Ended)
                ++(slot.End.Ok ? now.Done : now.Failed);
        }
        const std::size_t seen = generation;
        const bool over = stop && now.Running == 0;
        std::vector<std::size_t> ready;
        while (reported < Count && (slots[reported].State == TBatchSlot::TState::Ended ||
                                    (over && slots[reported].State == TBatchSlot::TState::Waiting)))
            ready.push_back(reported++);
        guard.unlock();
        if (OnProgress && (now.Done != shown.Done || now.Failed != shown.Failed ||
                           now.Running != shown.Running))
            OnProgress(shown = now);
        for (const std::size_t index : ready) {
            allOk = allOk && slots[index].End.Ok;
            if (OnEnded)
                OnEnded(index, slots[index].End);
        }
        guard.lock();
        if (reported < Count && ready.empty())
            changed.wait(guard, [&] { return generation != seen; });
    }
    guard.unlock();
    for (std::thread& thread : threads)
        thread.join();
    FCancelled = stop;
    return allOk;
}

bool TBatchPermits::Acquire(const std::function<bool()>& Stop)
{
    while (!FFree.try_acquire_for(std::chrono::milliseconds(TDataSenderView::kKeepAliveMs)))
        if (Stop && Stop())
            return false;
    return true;
}

} // namespace qubra
