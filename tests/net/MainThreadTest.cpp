#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "net/MainThread.h"

using namespace qubra;

TEST(QueuedDispatcher, RunsCallsInOrderOnTheProcessingThreadAndReleasesWaiters)
{
    TQueuedDispatcher dispatcher;
    std::atomic<int> pending{0};
    dispatcher.OnPending = [&] { ++pending; };
    std::vector<int> order;
    std::vector<std::thread::id> ranOn;
    std::atomic<int> returned{0};
    std::jthread first([&](std::stop_token stop) {
        dispatcher.RunAndWait([&] { order.push_back(1); ranOn.push_back(std::this_thread::get_id()); }, stop);
        ++returned;
    });
    while (pending < 1)
        std::this_thread::yield();
    std::jthread second([&](std::stop_token stop) {
        dispatcher.RunAndWait([&] { order.push_back(2); ranOn.push_back(std::this_thread::get_id()); }, stop);
        ++returned;
    });
    while (pending < 2)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(returned, 0) << "a worker waits until its call has run";

    EXPECT_EQ(dispatcher.WaitAndProcess(1000), 2);
    first.join();
    second.join();
    EXPECT_EQ(returned, 2);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(ranOn, (std::vector<std::thread::id>(2, std::this_thread::get_id())));
}

TEST(QueuedDispatcher, StopWithdrawsAQueuedCallAndReleasesOneRunning)
{
    TQueuedDispatcher dispatcher;
    bool ran = false;
    {
        std::jthread worker([&](std::stop_token stop) { dispatcher.RunAndWait([&] { ran = true; }, stop); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } // stop + join: must not hang
    EXPECT_EQ(dispatcher.ProcessPending(), 0);
    EXPECT_FALSE(ran);

    // A call that stops its own worker (as a handler closing its socket does) must not deadlock.
    std::jthread worker;
    worker = std::jthread([&](std::stop_token stop) {
        dispatcher.RunAndWait([&] {
            worker.request_stop();
            worker.join();
            ran = true;
        }, stop);
    });
    while (dispatcher.WaitAndProcess(1000) == 0) {
    }
    EXPECT_TRUE(ran);
}

TEST(QueuedDispatcher, ThrowingCallLeavesLaterCallsQueued)
{
    TQueuedDispatcher dispatcher;
    std::atomic<int> queued{0};
    dispatcher.OnPending = [&] { ++queued; };
    bool laterRan = false;
    std::jthread a([&](std::stop_token s) { dispatcher.RunAndWait([] { throw std::runtime_error("x"); }, s); });
    while (queued < 1)
        std::this_thread::yield();
    std::jthread b([&](std::stop_token s) { dispatcher.RunAndWait([&] { laterRan = true; }, s); });
    while (queued < 2)
        std::this_thread::yield();
    EXPECT_THROW(dispatcher.ProcessPending(), std::runtime_error);
    a.join();
    EXPECT_FALSE(laterRan);
    EXPECT_EQ(dispatcher.ProcessPending(), 1);
    EXPECT_TRUE(laterRan);
}
