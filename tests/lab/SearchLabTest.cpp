// Searches, waiting for a device and reading its network settings over a real LAN: unicast
// through the kernel's ARP, broadcasts to 255.255.255.255, devices in foreign subnets.
#include "tests/lab/DeviceLab.h"

#include <algorithm>

#include "model/Conversions.h"

namespace qubra::lab {
namespace {

const char* const kFirstMAC = "00-20-4a-88-00-50";
const char* const kSecondMAC = "00-20-4a-88-00-51";
const char* const kAbsentMAC = "00-20-4a-88-00-5f";

int CountOf(const std::vector<std::string>& Texts, const std::string& Text)
{
    return static_cast<int>(std::count(Texts.begin(), Texts.end(), Text));
}

TEST_F(DeviceLab, SearchByIPAsksOnlyThatDeviceAndEndsAfterTheFirstCycle)
{
    Start({{kFirstMAC, "10.88.0.50"}, {kSecondMAC, "10.88.0.51"}});
    long long fastest = 1 << 30;
    for (int i = 0; i < 3; ++i) {
        const auto start = TLabClock::now();
        EXPECT_EQ(Sender->SearchByIP("10.88.0.50"), kFirstMAC);
        fastest = std::min(fastest, MillisecondsSince(start));
        EXPECT_TRUE(Sender->DeviceAnswered);
    }
    EXPECT_GE(fastest, 100) << "every cycle lasts its full 100 ms";
    EXPECT_LT(fastest, 200) << "an answer at once ends the search after one cycle";
    EXPECT_EQ(Device(0).ReceivedWithCode(0xF6).size(), 3u);
    EXPECT_TRUE(Device(1).Received().empty()) << "the search goes to one address only";
    EXPECT_NE(Neighbours("10.88.0.50").find("00:20:4a:88:00:50"), std::string::npos)
        << "the kernel resolved the device by ARP";

    Sender->AnswerTimeout = 300;
    const auto start = TLabClock::now();
    EXPECT_EQ(Sender->SearchByIP("10.88.0.59"), "");
    EXPECT_FALSE(Sender->DeviceAnswered);
    EXPECT_GE(MillisecondsSince(start), 400) << "300 div 100 + 1 cycles";
}

TEST_F(DeviceLab, SearchByMACBroadcastsAndTakesOnlyTheWantedMAC)
{
    // The second device answers later, so the first answer to arrive is the wrong one.
    Start({{kFirstMAC, "10.88.0.50"}, {kSecondMAC, "10.88.0.51", {.AnswerDelayMs = 150}}});
    EXPECT_EQ(Sender->SearchByMAC(kSecondMAC), "10.88.0.51");
    EXPECT_TRUE(Sender->DeviceAnswered);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto requests = Device(i).ReceivedWithCode(0xF6);
        ASSERT_EQ(requests.size(), 1u) << "device " << i;
        EXPECT_EQ(SimIPToText(requests[0].To), "255.255.255.255");
        EXPECT_EQ(SimIPToText(requests[0].From.IP), kStationIP);
    }

    // Two answers arrive for each of these searches; neither carries the MAC asked for.
    Sender->AnswerTimeout = 300;
    for (const char* mac : {kAbsentMAC, "51-00-88-4a-20-00"}) {
        EXPECT_EQ(Sender->SearchByMAC(mac), "") << mac;
        EXPECT_FALSE(Sender->DeviceAnswered) << mac;
    }
    EXPECT_EQ(Device(0).ReceivedWithCode(0xF6).size(), 3u);
    EXPECT_EQ(Device(1).ReceivedWithCode(0xF6).size(), 3u);
}

TEST_F(DeviceLab, SearchByMACFindsADeviceOfAForeignSubnetAtItsSenderAddress)
{
    Start({{kFirstMAC, "192.168.77.5"}});
    EXPECT_EQ(Sender->SearchByMAC(kFirstMAC), "192.168.77.5");
    EXPECT_TRUE(Sender->DeviceAnswered);
    // Found again in a series of searches on the socket as the first one left it.
    EXPECT_EQ(Sender->SearchByMAC(kFirstMAC, "", true), "192.168.77.5");
    EXPECT_EQ(Device(0).ReceivedWithCode(0xF6).size(), 2u);
}

TEST_F(DeviceLab, WaitForDeviceFindsTheDeviceAtTheAddressWrittenToIt)
{
    Start({{kFirstMAC, "10.88.0.52", {.RestartMs = 1500}}});
    ASSERT_EQ(Sender->QueryRecords("10.88.0.52"), 1);
    Manager->FindPacket("SetupRecord0")->SetValue("unit_ip", "192.168.77.52");
    ASSERT_EQ(Sender->SendRecords("10.88.0.52"), 1);
    EXPECT_EQ(Device(0).Restarts(), 1);

    View.Statuses.clear();
    const auto start = TLabClock::now();
    EXPECT_EQ(Sender->WaitForDevice(kFirstMAC), "192.168.77.52");
    const long long took = MillisecondsSince(start);
    EXPECT_GE(took, 1000) << "the device was deaf while it restarted";
    EXPECT_LT(took, 6000);
    EXPECT_GE(CountOf(View.Statuses, "Čekám na zařízení..."), 2) << "searched again and again";
    EXPECT_EQ(Sender->AnswerTimeout, TfDataSender::kDefaultAnswerTimeout);
    EXPECT_EQ(SimIPToText(Device(0).IP()), "192.168.77.52");
}

TEST_F(DeviceLab, ReadNetworkSettingsTurnsTheHostBitsIntoAMask)
{
    Start({{kFirstMAC, "10.88.0.53"}});
    TBytes stored = Device(0).Record();
    SimWriteIP(stored, kSimGatewayOffset, SimTextToIP("10.88.0.254"));
    for (const auto& [hostBits, mask] : {std::pair{0, "255.255.255.255"}, {8, "255.255.255.0"}}) {
        stored[kSimHostBitsOffset] = static_cast<std::uint8_t>(hostBits);
        Device(0).SetRecord(stored);
        std::string ip = "10.88.0.53", gateway = "unchanged";
        std::uint32_t readMask = 1;
        ASSERT_TRUE(Sender->ReadNetworkSettings(ip, gateway, readMask)) << hostBits;
        EXPECT_EQ(ip, "10.88.0.53");
        EXPECT_EQ(gateway, "10.88.0.254");
        EXPECT_EQ(IPToStr(readMask), mask) << hostBits;
    }
    EXPECT_EQ(Device(0).ReceivedWithCode(0xF8).size(), 2u);

    Sender->AnswerTimeout = 300;
    std::string ip = "10.88.0.59", gateway = "keep";
    std::uint32_t mask = 42;
    EXPECT_FALSE(Sender->ReadNetworkSettings(ip, gateway, mask)) << "nobody at that address";
    EXPECT_EQ(ip, "10.88.0.59");
    EXPECT_EQ(gateway, "keep");
    EXPECT_EQ(mask, 42u);
}

} // namespace
} // namespace qubra::lab
