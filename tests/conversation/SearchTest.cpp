#include "ConversationTestSupport.h"

#include "conversation/BuiltInRecords.h"
#include "model/Conversions.h"
#include "sim/SimRecords.h"

namespace qubra::test {
namespace {

class SearchTest : public ConversationTest {
protected:
    // A search answer (30 bytes) carrying MAC at bytes 24 to 29.
    static TBytes SearchAnswer(const std::string& mac, std::uint8_t code = 0xF7)
    {
        TBytes data = Datagram(code, 30);
        const TSimMAC bytes = SimTextToMAC(mac);
        std::copy(bytes.begin(), bytes.end(), data.begin() + 24);
        return data;
    }
};

TEST_F(SearchTest, SearchByIPEndsAfterTheFirstCycleWithTheDevicesMAC)
{
    AddDevice();
    Start(TfDataSender::kDefaultAnswerTimeout);
    const auto start = TClock::now();
    EXPECT_EQ(Sender->SearchByIP(kDeviceIP), kDeviceMAC);
    const long long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 100);
    EXPECT_LT(elapsed, 200);
    EXPECT_TRUE(Sender->DeviceAnswered);
    EXPECT_EQ(Sender->TargetIP, kDeviceIP);
    EXPECT_EQ(View.Statuses, (std::vector<std::string>{"Vyhledávám zařízení 127.0.0.1..."}));
    EXPECT_EQ(View.Animations, (std::vector<bool>{true, false}));
    EXPECT_EQ(View.Looks.front(), TSenderLook::Search);
    EXPECT_TRUE(Sender->MySock.Connected());
    EXPECT_FALSE(Sender->MySock.Bound());
}

TEST_F(SearchTest, SearchByIPDropsStrangersAndOtherCodes)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(200);
    InjectAtFirstPump({{SearchAnswer("00-20-4a-00-00-09"), "127.0.0.9"},
                       {SearchAnswer("00-20-4a-00-00-08", 0xF5), kDeviceIP}});
    EXPECT_EQ(Sender->SearchByIP(kDeviceIP, "Hledám"), "");
    EXPECT_FALSE(Sender->DeviceAnswered);
    EXPECT_EQ(View.Statuses, (std::vector<std::string>{"Hledám"}));

    // Leftovers count by address and code alone: a late answer from the device is taken.
    InjectAtFirstPump({{SearchAnswer("00-20-4a-00-00-07"), kDeviceIP}});
    EXPECT_EQ(Sender->SearchByIP(kDeviceIP, "", true), "00-20-4a-00-00-07");
}

TEST_F(SearchTest, SearchByMACTakesTheSenderOfTheWantedMAC)
{
    AddDevice("127.0.0.1", "00-20-4a-00-00-01");
    AddDevice("127.0.0.2", "00-20-4a-00-00-02");
    Start(500);
    EXPECT_EQ(Sender->SearchByMAC("00-20-4a-00-00-02"), "127.0.0.2");
    EXPECT_TRUE(Sender->DeviceAnswered);
    EXPECT_EQ(View.Status(), "Vyhledávám zařízení 00-20-4a-00-00-02...");
    EXPECT_TRUE(Sender->MySock.Bound());
    EXPECT_FALSE(Sender->MySock.BroadCastAccept());
    EXPECT_EQ(Sender->MySock.RemoteIP(), kLoopbackBroadcast);

    EXPECT_EQ(Sender->SearchByMAC("00 20 4A 00 00 01"), "127.0.0.1");
    EXPECT_EQ(Sender->SearchByMAC("00-20-4a-00-00-03"), "");
    EXPECT_FALSE(Sender->DeviceAnswered);
}

TEST_F(SearchTest, SearchByMACComparesWithTheBytesLeftByEarlierDatagrams)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(100);
    // The first carries the MAC but is no answer; the second is an answer too short to
    // carry a MAC, so the MAC of the first is compared.
    InjectAtFirstPump({{SearchAnswer("00-20-4a-00-00-05", 0x00), "127.0.0.7"},
                       {Datagram(0xF7, 4), "127.0.0.8"}});
    EXPECT_EQ(Sender->SearchByMAC("00-20-4a-00-00-05"), "127.0.0.8");
}

TEST_F(SearchTest, WaitForDeviceFindsTheDeviceAtTheAddressItWasWrittenAfterItsRestart)
{
    TSimDevice& device = AddDevice(kDeviceIP, kDeviceMAC, {.RestartMs = 400});
    Start(700);
    ASSERT_EQ(Sender->QueryRecords(kDeviceIP), 1);
    SetupRecord().SetValue("unit_ip", "127.0.0.3");
    ASSERT_EQ(Sender->SendRecords(kDeviceIP), 1);

    View.Statuses.clear();
    EXPECT_EQ(Sender->WaitForDevice(kDeviceMAC), "127.0.0.3");
    EXPECT_EQ(device.Restarts(), 1);
    EXPECT_EQ(Sender->AnswerTimeout, 700);
    EXPECT_GE(CountEndingWith(View.Statuses, "Čekám na zařízení..."), 2);
}

TEST_F(SearchTest, WaitForDeviceGivesUpAfterThirteenSearches)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(TfDataSender::kDefaultAnswerTimeout);
    const auto start = TClock::now();
    EXPECT_EQ(Sender->WaitForDevice(kDeviceMAC, "Čekám"), "");
    const long long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 13 * 11 * 100);
    EXPECT_LT(elapsed, 20000);
    EXPECT_EQ(View.Statuses, std::vector<std::string>(13, "Čekám"));
    EXPECT_EQ(Sender->AnswerTimeout, 3500);
}

TEST_F(SearchTest, ReadNetworkSettingsTurnsHostBitsIntoAMask)
{
    TSimDevice& device = AddDevice();
    Start();
    TBytes stored = device.Record();
    SimWriteIP(stored, kSimGatewayOffset, SimTextToIP("127.0.0.254"));
    for (const auto& [hostBits, mask] : {std::pair{0, "255.255.255.255"}, {8, "255.255.255.0"}}) {
        stored[kSimHostBitsOffset] = static_cast<std::uint8_t>(hostBits);
        device.SetRecord(stored);
        std::string ip = kDeviceIP, gateway = "x";
        std::uint32_t readMask = 1;
        ASSERT_TRUE(Sender->ReadNetworkSettings(ip, gateway, readMask));
        EXPECT_EQ(ip, kDeviceIP);
        EXPECT_EQ(gateway, "127.0.0.254");
        EXPECT_EQ(IPToStr(readMask), mask);
    }

    TSimKnobs silent;
    silent.Silent = true;
    device.SetKnobs(silent);
    std::string ip = kDeviceIP, gateway = "keep";
    std::uint32_t mask = 42;
    EXPECT_FALSE(Sender->ReadNetworkSettings(ip, gateway, mask));
    EXPECT_EQ(gateway, "keep");
    EXPECT_EQ(mask, 42u);
}

TEST_F(SearchTest, ShortSettingsAnswerIsNoAnswer)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start();
    TBytes answer = Datagram(0xF9, 20);
    answer[kSimHostBitsOffset] = 8;
    InjectAtFirstPump({{answer, kDeviceIP}});
    std::string ip = kDeviceIP, gateway = "keep";
    std::uint32_t mask = 42;
    EXPECT_FALSE(Sender->ReadNetworkSettings(ip, gateway, mask));
    EXPECT_EQ(gateway, "keep");
    EXPECT_EQ(mask, 42u);
}

// A settings record of the mapping keeps its bytes between operations; a set-IP request to
// another device must not carry them.
TEST_F(SearchTest, SettingsReadFromOneDeviceDoNotReachAnother)
{
    TSimDevice& first = AddDevice();
    TSimDevice& second = AddDevice("127.0.0.2", "00-20-4a-00-00-02");
    TBytes stored = first.Record();
    stored[30] = 0x9C;
    first.SetRecord(stored);
    Manager->AddPacket(BuildSetIPRecord());
    Start();

    std::string ip = kDeviceIP, gateway;
    std::uint32_t mask = 0;
    ASSERT_TRUE(Sender->ReadNetworkSettings(ip, gateway, mask));
    ASSERT_EQ(Manager->FindPacket("setip_record")->GetData()[30], 0x9C);

    EXPECT_TRUE(Sender->SendSetIP("127.0.0.2", "127.0.0.9", true, true, 0, "0.0.0.0"));
    const std::vector<TBytes> sent = second.PayloadsWithCode(0xFD);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][30], 0);
    EXPECT_EQ(SimIPToText(SimReadIP(sent[0], kSimIPOffset)), "127.0.0.9");
}

TEST_F(SearchTest, SendSetIPWritesTheSettingsOverTheDevicesOwnBytes)
{
    TSimDevice& device = AddDevice();
    Start();
    TBytes stored = device.Record();
    stored[30] = 0x9C;
    device.SetRecord(stored);

    for (const auto& [mask, hostBits] : {std::pair{"255.255.255.0", 8}, {"0.0.0.0", 0}}) {
        device.ClearReceived();
        EXPECT_TRUE(Sender->SendSetIP(kDeviceIP, kDeviceIP, false, true, StrToIP(mask), "127.0.0.254"));
        EXPECT_TRUE(Sender->DeviceAnswered);
        const std::vector<TBytes> sent = device.PayloadsWithCode(0xFD);
        ASSERT_EQ(sent.size(), 1u);
        ASSERT_EQ(sent[0].size(), 124u);
        EXPECT_EQ(sent[0][kSimHostBitsOffset], hostBits);
        EXPECT_EQ(SimIPToText(SimReadIP(sent[0], kSimGatewayOffset)), "127.0.0.254");
        EXPECT_EQ(SimIPToText(SimReadIP(sent[0], kSimIPOffset)), kDeviceIP);
        EXPECT_EQ(sent[0][30], 0x9C);
        EXPECT_EQ(device.PayloadsWithCode(0xF8).size(), 1u);
    }
    EXPECT_EQ(View.Status(), "Nastavení IP adresy na 127.0.0.1...");
}

TEST_F(SearchTest, SendSetIPAsksBeforeOverwritingAnUnreadDevice)
{
    TSimDevice& device = AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(100);
    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Sender->SendSetIP(kDeviceIP, "127.0.0.5", false, true, 0, "0.0.0.0"));
    ASSERT_EQ(View.Questions.size(), 1u);
    EXPECT_EQ(View.Questions[0].Caption, "Upozornění");
    EXPECT_EQ(View.Questions[0].Text,
              "Nastavení může způsobit přepsání původního nastavení.\r\nChcete pokračovat?");
    EXPECT_EQ(View.Questions[0].Icon, TMessageIcon::Information);
    EXPECT_EQ(View.Questions[0].DefaultButton, TMessageAnswer::No);
    EXPECT_EQ(View.Questions[0].Buttons, TMessageButtons::YesNo);
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty());

    View.Answers = {TMessageAnswer::Yes};
    EXPECT_FALSE(Sender->SendSetIP(kDeviceIP, "127.0.0.5", false, true, 0, "0.0.0.0"));
    const std::vector<TBytes> sent = device.PayloadsWithCode(0xFD);
    ASSERT_EQ(sent.size(), 1u);
    // Nothing read: the bytes outside the settings are the zero-filled record's.
    EXPECT_EQ(sent[0][30], 0);
    EXPECT_EQ(SimIPToText(SimReadIP(sent[0], kSimIPOffset)), "127.0.0.5");
}

} // namespace
} // namespace qubra::test
