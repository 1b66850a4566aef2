#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <semaphore>
#include <string>

#include "control/DeviceController.h"
#include "control/LinkSettings.h"

namespace qubra {

// Where a batch stands: devices ended well, ended failed, running now, and in all.
struct TBatchProgress {
    std::size_t Done = 0;
    std::size_t Failed = 0;
    std::size_t Running = 0;
    std::size_t Total = 0;
};

// How one device of a batch ended; Error: the text of an error that escaped its work.
struct TBatchEnd {
    bool Ok = false;
    std::string Error;
};

// Runs the same work on many devices side by side, at most Jobs at a time. Each device has
// records, a controller, views and so engines and sockets of its own, on a thread of its own:
// nothing read from one device can reach another. The records, views and controllers are made
// on the calling thread before the work starts; each is then used only by its device's thread.
// Ends are reported on the calling thread in the order of the devices.
class TDeviceBatch {
public:
    static constexpr int kDefaultJobs = 32;

    using TLayoutLoader = std::function<std::unique_ptr<TDataManager>()>;
    // The views of device Index: its controller's questions, and its communication windows.
    struct TDeviceViews {
        std::unique_ptr<TMessageBoxView> MainView;
        TDataSenderViewFactory CreateView;
    };
    using TViewsFor = std::function<TDeviceViews(std::size_t Index)>;
    // The work on device Index; true when the device ended well.
    using TWork = std::function<bool(std::size_t Index, TDeviceController& Controller)>;
    using TEnded = std::function<void(std::size_t Index, const TBatchEnd& End)>;
    using TProgressShown = std::function<void(const TBatchProgress& Progress)>;

    TDeviceBatch(TLinkSettings Link, TLayoutLoader LoadLayout, TViewsFor ViewsFor, int Jobs);

    // Runs Work on devices 0 to Count - 1. OnEnded gets each device once it and all before it
    // have ended; OnProgress whenever a device starts or ends. Once a device's view asked to
    // stop, no further device is started; those not started end as failed. True when every
    // device ended well.
    bool Run(std::size_t Count, const TWork& Work, const TEnded& OnEnded,
             const TProgressShown& OnProgress);
    // A view asked the last run to stop.
    bool Cancelled() const { return FCancelled; }

private:
    TLinkSettings FLink;
    TLayoutLoader FLoadLayout;
    TViewsFor FViewsFor;
    int FJobs;
    bool FCancelled = false;
};

// A few permits shared by the devices of a batch; a device waits for a free one. Acquire
// gives up, false, once Stop says so (checked every TDataSenderView::kKeepAliveMs).
class TBatchPermits {
public:
    explicit TBatchPermits(int Count) : FFree(Count) {}
    bool Acquire(const std::function<bool()>& Stop);
    void Release() { FFree.release(); }

private:
    std::counting_semaphore<> FFree;
};

} // namespace qubra
