// The batch runner without a network: how many devices run at once, the order of the ends, an
// error that fails one device, and a stop that starts no further device.
#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "control/DeviceBatch.h"
#include "conversation/RecordingView.h"
#include "model/DeviceMapping.h"

using namespace qubra;

TEST(DeviceBatch, RunsAtMostJobsAtOnceAndReportsEndsInDeviceOrder)
{
    std::mutex lock;
    std::vector<TDataManager*> records;
    TDeviceBatch batch(
        {}, [] { return LoadDeviceMapping(""); },
        [](std::size_t) {
            return TDeviceBatch::TDeviceViews{std::make_unique<TRecordingView>(),
                                              [] { return std::make_unique<TRecordingView>(); }};
        },
        3);
    std::atomic<int> running{0}, most{0};
    std::vector<std::size_t> ends;
    std::vector<std::string> errors;
    std::size_t shownRunning = 0;
    const bool ok = batch.Run(
        8,
        [&](std::size_t Index, TDeviceController& Device) {
            most = std::max(most.load(), ++running);
            {
                std::lock_guard guard(lock);
                records.push_back(&Device.DataManager);
            }
            // Later devices end first, so the order of the ends is the runner's doing.
            std::this_thread::sleep_for(std::chrono::milliseconds(60 - 5 * static_cast<int>(Index)));
            --running;
            if (Index == 4)
                throw std::runtime_error("the cable came loose");
            return Index != 6;
        },
        [&](std::size_t Index, const TBatchEnd& End) {
            ends.push_back(Index);
            errors.push_back(End.Ok ? "ok" : End.Error);
        },
        [&](const TBatchProgress& Progress) {
            EXPECT_EQ(Progress.Total, 8u);
            shownRunning = std::max(shownRunning, Progress.Running);
        });
    EXPECT_FALSE(ok);
    EXPECT_EQ(most, 3);
    EXPECT_EQ(shownRunning, 3u);
    EXPECT_EQ(ends, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(errors, (std::vector<std::string>{"ok", "ok", "ok", "ok", "the cable came loose", "ok", "", "ok"}));
    std::sort(records.begin(), records.end());
    EXPECT_EQ(std::unique(records.begin(), records.end()), records.end()) << "records of their own";
}

TEST(DeviceBatch, AStopStartsNoFurtherDevice)
{
    TDeviceBatch batch(
        {}, [] { return LoadDeviceMapping(""); },
        [](std::size_t) {
            return TDeviceBatch::TDeviceViews{std::make_unique<TRecordingView>(),
                                              [] { return std::make_unique<TRecordingView>(); }};
        },
        2);
    std::atomic<int> started{0};
    std::size_t ended = 0;
    batch.Run(
        10,
        [&](std::size_t Index, TDeviceController&) -> bool {
            ++started;
            if (Index == 1)
                throw EOperationCancelled{};
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return true;
        },
        [&](std::size_t, const TBatchEnd& End) { ended += End.Ok ? 1 : 0; }, nullptr);
    EXPECT_TRUE(batch.Cancelled());
    EXPECT_LE(started, 3) << "at most the device beside the stopped one went on";
    EXPECT_LE(ended, 2u);
}
