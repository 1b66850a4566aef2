// The waits keep the view alive between the pumps, and a stop asked for by the view ends the
// operation in the cycle it arrives in, through the same clean-up as an error.
#include "ConversationTestSupport.h"

#include <thread>

#include "net/ARPManager.h"
#include "net/ARPMemoryBackend.h"

namespace qubra::test {
namespace {

// The longest time the view went without a pump or keep-alive during an operation.
class TGapMeter {
public:
    explicit TGapMeter(TRecordingView& View)
    {
        View.OnPump = [this] { Tick(); };
        View.OnKeepAlive = [this] { Tick(); };
    }
    void Start()
    {
        FLast = TClock::now();
        FLongest = 0;
    }
    long long Stop()
    {
        Tick();
        return FLongest;
    }

private:
    void Tick()
    {
        FLongest = std::max(FLongest, MillisecondsSince(FLast));
        FLast = TClock::now();
    }

    TClock::time_point FLast = TClock::now();
    long long FLongest = 0;
};

class KeepAliveTest : public ConversationTest {
protected:
    // Runs Operation, expecting it to end with the stop; the milliseconds it took.
    template <typename TOperation>
    long long ExpectStopped(TOperation&& Operation)
    {
        const auto start = TClock::now();
        EXPECT_THROW(Operation(), EOperationCancelled);
        return MillisecondsSince(start);
    }

    // The view asks to stop at its Count-th keep-alive from now on.
    void StopAtKeepAlive(int Count)
    {
        View.OnKeepAlive = [this, Count, seen = 0]() mutable {
            if (++seen == Count)
                View.Cancel = true;
        };
    }
};

TEST_F(KeepAliveTest, EveryWaitKeepsTheViewAliveWhileThePumpsStayAsDesigned)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(300);
    TGapMeter meter(View);
    struct TCase {
        const char* Name;
        std::function<void()> Run;
        int Pumps;
    };
    std::string ip = kDeviceIP, gateway;
    std::uint32_t mask = 0;
    const std::vector<TCase> cases{
        // Once per search, before its wait.
        {"SearchByIP", [&] { Sender->SearchByIP(kDeviceIP); }, 1},
        {"SearchByMAC", [&] { Sender->SearchByMAC(kDeviceMAC); }, 1},
        {"SearchAll", [&] { Sender->SearchAll(); }, 1},
        // One request, the status after the requests, then one per cycle of 20 ms.
        {"QueryRecords", [&] { Sender->QueryRecords(kDeviceIP); }, 1 + 1 + 300 / 20 + 2},
        // Three progress steps around one wait.
        {"ReadNetworkSettings", [&] { Sender->ReadNetworkSettings(ip, gateway, mask); }, 3},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        View.Pumps = View.KeepAlives = 0;
        meter.Start();
        c.Run();
        EXPECT_LE(meter.Stop(), TDataSenderView::kKeepAliveMs);
        EXPECT_EQ(View.Pumps, c.Pumps);
        // A silent device: the whole answer time-out is waited, about 300 ms.
        EXPECT_GE(View.KeepAlives, 300 / TDataSenderView::kKeepAliveMs);
    }
}

// The in-memory host with an ARP request that takes as long as one on a real network.
TIPHelperLoader SlowARPRequests(TARPMemoryBackend& Host, std::chrono::milliseconds Delay)
{
    return [&Host, Delay] {
        auto library = std::make_shared<TIPHelperLibrary>(*Host.Loader()());
        library->SendARP = [request = library->SendARP, Delay](std::uint32_t DestIP, std::uint32_t SrcIP,
                                                              void* MAC, std::uint32_t* Length) {
            std::this_thread::sleep_for(Delay);
            return request(DestIP, SrcIP, MAC, Length);
        };
        return std::shared_ptr<const TIPHelperLibrary>(library);
    };
}

TEST_F(KeepAliveTest, TheAddressCheckOfAnAssignmentKeepsTheViewAliveAndHonoursAStop)
{
    TARPMemoryBackend host;
    host.AddAddress("127.0.0.1", "255.255.255.0", 1);
    TScopedIPHelper scope(SlowARPRequests(host, std::chrono::milliseconds(300)));
    TSimDevice& device = AddDevice();
    Start(300);

    // Found at its old address: that address is checked to lead to the device and the new one
    // for another station before the settings go out.
    TGapMeter meter(View);
    meter.Start();
    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, "127.0.0.50", 0, "0.0.0.0"));
    EXPECT_LE(meter.Stop(), TDataSenderView::kKeepAliveMs);
    EXPECT_EQ(host.CallCount("SendARP"), 2);

    // A stop during the first request (the search's animation has stopped) takes effect once the
    // request has returned, before the device is asked for its settings.
    View.OnKeepAlive = [this] { View.Cancel = !View.Animations.back(); };
    ExpectStopped([&] { Sender->AssignIP(kDeviceMAC, "127.0.0.51", 0, "0.0.0.0"); });
    EXPECT_EQ(host.CallCount("SendARP"), 3);
    EXPECT_EQ(device.PayloadsWithCode(0xF8).size(), 1u);
    EXPECT_EQ(device.PayloadsWithCode(0xFD).size(), 1u);
}

TEST_F(KeepAliveTest, AStopEndsEveryWaitInTheCycleItArrivesIn)
{
    TSimDevice& device = AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(TfDataSender::kDefaultAnswerTimeout);
    std::string ip = kDeviceIP, gateway;
    std::uint32_t mask = 0;
    struct TCase {
        const char* Name;
        std::function<void()> Run;
        bool Broadcast;
    };
    const std::vector<TCase> cases{
        {"SearchByIP", [&] { Sender->SearchByIP(kDeviceIP); }, false},
        {"SearchByMAC", [&] { Sender->SearchByMAC(kDeviceMAC); }, true},
        {"SearchAll", [&] { Sender->SearchAll(); }, true},
        {"WaitForDevice", [&] { Sender->WaitForDevice(kDeviceMAC); }, true},
        {"QueryRecords", [&] { Sender->QueryRecords(kDeviceIP); }, false},
        {"ReadNetworkSettings", [&] { Sender->ReadNetworkSettings(ip, gateway, mask); }, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        View.Cancel = false;
        StopAtKeepAlive(3);
        // Three keep-alives of at most 50 ms, against 3.5 s of waiting without the stop.
        EXPECT_LT(ExpectStopped(c.Run), 500);
        EXPECT_EQ(View.Animations.back(), false);
        EXPECT_EQ(Sender->AnswerTimeout, TfDataSender::kDefaultAnswerTimeout);
        // A broadcast search stops taking broadcasts however it ends.
        if (c.Broadcast) {
            EXPECT_FALSE(Sender->MySock.BroadCastAccept());
        }
    }
    EXPECT_EQ(ip, kDeviceIP);
    EXPECT_TRUE(device.PayloadsWithCode(0xF6).size() >= 3);
}

TEST_F(KeepAliveTest, AStopAtThePumpBeforeASearchSendsNothing)
{
    TSimDevice& device = AddDevice();
    Start();
    View.OnPump = [this] { View.Cancel = true; };
    EXPECT_THROW(Sender->SearchByIP(kDeviceIP), EOperationCancelled);
    EXPECT_THROW(Sender->SearchByMAC(kDeviceMAC), EOperationCancelled);
    EXPECT_EQ(View.Animations, (std::vector<bool>{true, false, true, false}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(device.Received().empty());
    EXPECT_FALSE(Sender->DeviceAnswered);
}

TEST_F(KeepAliveTest, AStopWhileWaitingForTheDeviceEndsTheRepetitionAndRestoresTheTimeOut)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(700);
    // The stop comes with the pump of the third search.
    View.OnPump = [this] { View.Cancel = View.Pumps == 3; };
    const long long elapsed = ExpectStopped([&] { Sender->WaitForDevice(kDeviceMAC); });
    EXPECT_EQ(View.Pumps, 3);
    EXPECT_GE(elapsed, 2 * 1100);
    EXPECT_LT(elapsed, 3 * 1100);
    EXPECT_EQ(Sender->AnswerTimeout, 700);
}

} // namespace
} // namespace qubra::test
