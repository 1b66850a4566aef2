// The cycles of a wait end on deadlines counted from the start of the wait: overruns and stalls
// (a busy machine) shorten the following cycles instead of lengthening the wait, and never
// change how many cycles run, what they show or what they count. A fake clock plays the busy
// machine, so that none of this depends on the load of the machine that runs the tests.
#include "ConversationTestSupport.h"

#include <thread>

#include "conversation/WaitCycles.h"

namespace qubra::test {
namespace {

using std::chrono::milliseconds;

// A clock that moves only when told.
struct TFakeClock {
    TWaitTime Now{std::chrono::hours(1)};
    TWaitClock Reader()
    {
        return [this] { return Now; };
    }
    long long Since(TWaitTime Start) const
    {
        return std::chrono::duration_cast<milliseconds>(Now - Start).count();
    }
};

TEST(WaitCycles, OverrunsOfEveryCycleDoNotAddUp)
{
    // Each wait ends 3 ms late and the draining and pumping after it take 2 ms.
    TFakeClock clock;
    const TWaitTime start = clock.Now;
    int cycles = 0;
    RunCycles(
        clock.Reader(), kRecordCycleMs, CycleCount(3500, kRecordCycleMs, 2),
        [&](TWaitTime end) { clock.Now = std::max(clock.Now, end) + milliseconds(3); },
        [&] {
            ++cycles;
            clock.Now += milliseconds(2);
            return false;
        });
    EXPECT_EQ(cycles, 177);
    // 177 x 20 ms and the last cycle's own overrun, not 177 x 25 ms.
    EXPECT_EQ(clock.Since(start), 3540 + 3 + 2);
}

TEST(WaitCycles, AStallLongerThanSeveralCyclesKeepsEveryCycleAndItsDeadline)
{
    TFakeClock clock;
    const TWaitTime start = clock.Now;
    std::vector<long long> deadlines;
    std::vector<long long> lateBy;
    RunCycles(
        clock.Reader(), kSearchCycleMs, 10,
        [&](TWaitTime end) {
            deadlines.push_back(std::chrono::duration_cast<milliseconds>(end - start).count());
            lateBy.push_back(std::max<long long>(0, clock.Since(end)));
            clock.Now = std::max(clock.Now, end);
        },
        [&] {
            // The machine stalls for 350 ms after the second cycle.
            if (deadlines.size() == 2)
                clock.Now += milliseconds(350);
            return false;
        });
    EXPECT_EQ(deadlines, (std::vector<long long>{100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}));
    // Cycles 3 to 5 begin after their end: they still run (and look at the socket), at once.
    EXPECT_EQ(lateBy, (std::vector<long long>{0, 0, 250, 150, 50, 0, 0, 0, 0, 0}));
    EXPECT_EQ(clock.Since(start), 1000);
}

TEST(WaitCycles, TheWaitEndsWithTheCycleThatReportsItOver)
{
    TFakeClock clock;
    int waits = 0, checks = 0;
    RunCycles(
        clock.Reader(), kRecordCycleMs, 177, [&](TWaitTime end) { ++waits, clock.Now = end; },
        [&] { return ++checks == 4; });
    EXPECT_EQ(waits, 4);
    EXPECT_EQ(checks, 4);
    RunCycles(clock.Reader(), kRecordCycleMs, 0, [&](TWaitTime) { ++waits; }, [&] { return ++checks, false; });
    EXPECT_EQ(waits, 4) << "no cycle at all";
}

TEST(WaitCycles, SlicesCoverTheTimeLeftRoundedUpAndAtLeastOnce)
{
    struct TCase {
        const char* Name;
        milliseconds Left;
        std::chrono::microseconds Overrun;  // of every slice
        std::vector<int> Slices;
    };
    const std::vector<TCase> cases{
        {"a search cycle on time", milliseconds(100), {}, {25, 25, 25, 25}},
        // 76.2 ms after three slices: 23.8 ms are left, asked for as 24.
        {"late slices", milliseconds(100), std::chrono::microseconds(400), {25, 25, 25, 24}},
        {"a record cycle", milliseconds(20), {}, {20}},
        {"a deadline already passed", milliseconds(-30), {}, {1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeClock clock;
        const TWaitTime deadline = clock.Now + c.Left;
        std::vector<int> slices;
        WaitInSlices(clock.Reader(), deadline, TDataSenderView::kKeepAliveMs / 2, [&](int Ms) {
            slices.push_back(Ms);
            clock.Now += milliseconds(Ms) + c.Overrun;
        });
        EXPECT_EQ(slices, c.Slices);
    }
    // Less than a millisecond left is still one slice of a millisecond, then the end.
    TFakeClock clock;
    std::vector<int> slices;
    WaitInSlices(clock.Reader(), clock.Now + std::chrono::microseconds(300), 25, [&](int Ms) {
        slices.push_back(Ms);
        clock.Now += milliseconds(Ms);
    });
    EXPECT_EQ(slices, std::vector<int>{1});
}

// The engine on a machine so busy that every cycle has ended before it begins: the clock
// jumps a whole second at every look.
class CycleDeadlineTest : public ConversationTest {
protected:
    void StartOnOverloadedMachine(std::int32_t AnswerTimeout = TfDataSender::kDefaultAnswerTimeout)
    {
        Start(AnswerTimeout);
        Sender->Clock = [now = TWaitTime{}]() mutable { return now += std::chrono::seconds(1); };
    }
};

TEST_F(CycleDeadlineTest, EveryCycleRunsAndCountsAsDesignedWhenAllAreOverdue)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    StartOnOverloadedMachine();
    const auto start = TClock::now();
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 0);
    // One request, the status after the requests, one pump for each of the 177 cycles; each
    // overdue cycle still waits its one slice and keeps the view alive once.
    EXPECT_EQ(View.Pumps, 1 + 1 + 177);
    EXPECT_EQ(View.KeepAlives, 177);
    EXPECT_EQ(View.Status(), "0 z 1 záznam(ů) přijato.");
    EXPECT_EQ(CountEndingWith(View.Statuses, " záznam(ů) přijato."), 177);
    EXPECT_EQ(Sender->RequestedCount, 1);
    EXPECT_EQ(Sender->AnsweredCount, 0);
    // 177 slices of a millisecond, not 3.5 s.
    EXPECT_LT(MillisecondsSince(start), 3000);

    View.KeepAlives = 0;
    EXPECT_EQ(Sender->SearchByIP(kDeviceIP), "");
    EXPECT_EQ(View.KeepAlives, 36);
}

TEST_F(CycleDeadlineTest, AnAnswerIsStillTakenWhenEveryCycleIsOverdue)
{
    TSimDevice& device = AddDevice();
    // Overdue cycles last a millisecond each: enough of them to give the device time to answer
    // on a loaded machine.
    StartOnOverloadedMachine(20000);
    EXPECT_EQ(Sender->SearchByIP(kDeviceIP), kDeviceMAC);
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 1);
    EXPECT_EQ(Sender->AnsweredCount, 1);
    EXPECT_EQ(device.PayloadsWithCode(0xE0).size(), 1u);
    EXPECT_EQ(View.Position(), 100);
}

TEST_F(CycleDeadlineTest, AStopFromAnotherThreadEndsALongWaitThroughTheCleanUp)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(TfDataSender::kDefaultAnswerTimeout);
    for (const bool search : {false, true}) {
        SCOPED_TRACE(search ? "SearchByMAC" : "QueryRecords");
        View.Cancel = false;
        std::jthread user([this] {
            std::this_thread::sleep_for(milliseconds(200));
            View.RequestCancel();
        });
        const auto start = TClock::now();
        if (search)
            EXPECT_THROW(Sender->SearchByMAC(kDeviceMAC), EOperationCancelled);
        else
            EXPECT_THROW(Sender->QueryRecords(kDeviceIP), EOperationCancelled);
        const long long elapsed = MillisecondsSince(start);
        EXPECT_GE(elapsed, 190);
        EXPECT_LT(elapsed, 1500) << "against 3.5 s without the stop";
    }
    EXPECT_FALSE(Sender->MySock.BroadCastAccept());
    EXPECT_EQ(View.Animations.back(), false);
}

} // namespace
} // namespace qubra::test
