// The scan on simulated devices on loopback, each search with a view of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "control/Scanner.h"
#include "conversation/RecordingView.h"
#include "model/DeviceMapping.h"
#include "sim/TSimUdpHost.h"

using namespace qubra;

namespace {

class ScannerTest : public ::testing::Test {
protected:
    TSimUdpHost Host;
    std::atomic<int> ViewsMade{0};
    // Set: every view asks to stop at its second keep-alive.
    bool StopSearches = false;

    TScanner MakeScanner(std::int32_t AnswerTimeout)
    {
        TLinkSettings link;
        link.DevicePort = Host.Port();
        link.BroadcastIP = "127.255.255.255";
        link.AnswerTimeout = AnswerTimeout;
        return TScanner(
            [this] {
                ++ViewsMade;
                auto view = std::make_unique<TRecordingView>();
                if (StopSearches)
                    view->OnKeepAlive = [view = view.get()] { view->Cancel = view->KeepAlives >= 2; };
                return std::unique_ptr<TDataSenderView>(std::move(view));
            },
            link, [] { return LoadDeviceMapping(""); });
    }
};

TEST_F(ScannerTest, ListsEveryDeviceOnceInTheOrderTheyAnswered)
{
    Host.AddDevice(SimTextToMAC("00-20-4a-00-00-02"), SimTextToIP("127.0.0.2"), {.AnswerDelayMs = 40});
    Host.AddDevice(SimTextToMAC("00-20-4a-00-00-01"), SimTextToIP("127.0.0.1"), {.Duplicates = 2});
    Host.Start();
    TScanner scanner = MakeScanner(300);
    const std::vector<TScanEntry> entries = scanner.Scan(false);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].MAC, "00-20-4a-00-00-01");
    EXPECT_EQ(entries[0].IP, "127.0.0.1");
    EXPECT_EQ(entries[1].MAC, "00-20-4a-00-00-02");
    EXPECT_EQ(entries[1].IP, "127.0.0.2");
    EXPECT_EQ(entries[0].Interface, "");
    EXPECT_FALSE(scanner.Cancelled());
    EXPECT_EQ(ViewsMade, 1);
}

// Each device reaches OnEntry as its answer arrives, not at the time-out; the result marks the
// two devices that answer from one address.
TEST_F(ScannerTest, EntriesArriveAsTheyAnswerAndASharedAddressIsMarked)
{
    Host.AddDevice(SimTextToMAC("00-20-4a-00-00-01"), SimTextToIP("127.0.0.5"));
    Host.AddDevice(SimTextToMAC("00-20-4a-00-00-02"), SimTextToIP("127.0.0.5"), {.Duplicates = 1});
    Host.AddDevice(SimTextToMAC("00-20-4a-00-00-03"), SimTextToIP("127.0.0.6"), {.AnswerDelayMs = 150});
    Host.Start();
    TScanner scanner = MakeScanner(800);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::pair<std::string, long long>> streamed;
    scanner.OnEntry = [&](const TScanEntry& entry) {
        streamed.emplace_back(entry.MAC, std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now() - start).count());
    };
    const std::vector<TScanEntry> entries = scanner.Scan(false);
    const long long ended = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start).count();

    ASSERT_EQ(streamed.size(), 3u) << "each device once";
    EXPECT_GE(ended, TScanner::Duration(800).count());
    for (const auto& [mac, at] : streamed) {
        SCOPED_TRACE(mac);
        EXPECT_LT(at, mac == "00-20-4a-00-00-03" ? 150 + 100 : 100) << "within 100 ms of the answer";
    }
    ASSERT_EQ(entries.size(), 3u);
    for (const TScanEntry& entry : entries)
        EXPECT_EQ(entry.SharedIP, entry.IP == "127.0.0.5") << entry.MAC;
}

TEST_F(ScannerTest, AStopEndsTheScanAtOnceWithNothingListed)
{
    Host.AddDevice(SimTextToMAC("00-20-4a-00-00-01"), SimTextToIP("127.0.0.1"), {.Silent = true});
    Host.Start();
    StopSearches = true;
    TScanner scanner = MakeScanner(TfDataSender::kDefaultAnswerTimeout);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(scanner.Scan(false).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_TRUE(scanner.Cancelled());
}

} // namespace
