#include "sim/TSimDevice.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/SimOptions.h"
#include "tests/sim/SimTestClient.h"

using namespace qubra;
using simtest::Request;
using namespace std::chrono_literals;

namespace {

const TSimMAC kMAC{0x00, 0x20, 0x4A, 0x12, 0x34, 0x56};
const std::uint32_t kIP = SimTextToIP("127.0.0.20");
const TSimPeer kEngine{SimTextToIP("127.0.0.1"), 40000, {}};

class SimDeviceTest : public testing::Test {
protected:
    TSimDevice Device{kMAC, kIP};
    TSimClock::time_point Now = TSimClock::now();

    std::vector<TSimAnswer> Send(const TBytes& data)
    {
        return Device.Handle(data, kEngine, kIP, Now);
    }
    // The one answer a request must produce.
    TBytes AnswerTo(const TBytes& data)
    {
        const auto answers = Send(data);
        EXPECT_EQ(answers.size(), 1u);
        return answers.empty() ? TBytes{} : answers.front().Data;
    }
    TBytes SetRequest(TBytes record, std::uint8_t batchByte = 0x00)
    {
        record[1] = batchByte;
        record[3] = kSimSetupRecord.Set;
        return record;
    }
    TBytes SetIPRequest(const std::string& ip, std::uint8_t hostBits, const std::string& gateway)
    {
        TBytes request(124, 0);
        request[3] = 0xFD;
        SimWriteIP(request, 4, SimTextToIP(ip));
        request[10] = hostBits;
        SimWriteIP(request, 16, SimTextToIP(gateway));
        return request;
    }
};

} // namespace

TEST_F(SimDeviceTest, StartsWithTheBuiltInDefaultsAndItsOwnAddress)
{
    TBytes expected(120, 0);
    const std::pair<std::size_t, std::uint8_t> defaults[] = {
        {4, 127}, {5, 0}, {6, 0}, {7, 20}, {11, 0xFF}, {20, 0x4C},
        {21, 0x02}, {24, 0x11}, {25, 0x27}, {32, 0xC0}};
    for (auto [at, value] : defaults)
        expected[at] = value;
    EXPECT_EQ(SimHex(Device.Record()), SimHex(expected));
}

TEST_F(SimDeviceTest, AnswersEachRequestKindWithItsCodeAndLayout)
{
    const auto answers = Send(Request(0xF6));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].To.Port, kEngine.Port);
    EXPECT_EQ(answers[0].From, kIP);
    const TBytes search = answers[0].Data;
    ASSERT_EQ(search.size(), 30u);
    EXPECT_EQ(search[3], 0xF7);
    EXPECT_TRUE(std::equal(kMAC.begin(), kMAC.end(), search.begin() + 24));

    const TBytes record = AnswerTo(Request(0xE0));
    ASSERT_EQ(record.size(), 120u);
    EXPECT_EQ(SimHex(TBytes(record.begin(), record.begin() + 4)), "000000D0");
    EXPECT_TRUE(std::equal(record.begin() + 4, record.end(), Device.Record().begin() + 4));

    const TBytes settings = AnswerTo(Request(0xF8));
    ASSERT_EQ(settings.size(), 124u);
    EXPECT_EQ(settings[3], 0xF9);
    EXPECT_EQ(SimIPToText(SimReadIP(settings, 4)), "127.0.0.20");

    // The kind of a request lies in its code byte alone, and its length beyond that is free.
    EXPECT_EQ(AnswerTo({0xAA, 0xBB, 0xCC, 0xE0, 0x01})[3], 0xD0);
}

TEST_F(SimDeviceTest, IgnoresWhatIsNotARequestButRecordsIt)
{
    const TBytes strays[] = {{}, {0x00, 0x00, 0xE0}, Request(0xD0), Request(0x00), Request(0xB0)};
    for (const TBytes& stray : strays)
        EXPECT_TRUE(Send(stray).empty()) << SimHex(stray);
    const auto received = Device.Received();
    ASSERT_EQ(received.size(), std::size(strays));
    EXPECT_EQ(received[1].Data, strays[1]);
    EXPECT_EQ(received[1].From.Port, kEngine.Port);
    EXPECT_EQ(received[1].To, kIP);
}

TEST_F(SimDeviceTest, SetStoresTheRecordAndConfirmsWithItsContent)
{
    TBytes record = Device.Record();
    record[20] = 0x5D;
    record[119] = 0x77;
    const TBytes confirmation = AnswerTo(SetRequest(record));
    ASSERT_EQ(confirmation.size(), 120u);
    EXPECT_EQ(SimHex(TBytes(confirmation.begin(), confirmation.begin() + 4)), "000000B0");
    EXPECT_EQ(Device.Record()[20], 0x5D);
    EXPECT_EQ(Device.Record()[119], 0x77);
    EXPECT_EQ(AnswerTo(Request(0xE0))[20], 0x5D);

    // Bytes past the record are not taken; a truncated record is neither stored nor confirmed.
    TBytes longer = SetRequest(record);
    longer[20] = 0x11;
    longer.resize(200, 0xEE);
    EXPECT_EQ(AnswerTo(longer).size(), 120u);
    EXPECT_EQ(Device.Record()[20], 0x11);
    TBytes shorter = SetRequest(record);
    shorter[20] = 0x22;
    shorter.resize(119);
    EXPECT_TRUE(Send(shorter).empty());
    EXPECT_EQ(Device.Record()[20], 0x11);
}

TEST_F(SimDeviceTest, OnlyACompletedWriteRestartsAtTheAddressOfTheRecord)
{
    Device.SetKnobs({.RestartMs = 500});
    TBytes record = Device.Record();
    SimWriteIP(record, 4, SimTextToIP("127.0.0.21"));

    ASSERT_EQ(Send(SetRequest(record, 0x01)).size(), 1u);   // more records follow
    EXPECT_EQ(Device.Restarts(), 0);
    EXPECT_EQ(Device.IP(), kIP);

    const auto confirmation = Send(SetRequest(record, 0x02));   // not 01: the batch is done
    ASSERT_EQ(confirmation.size(), 1u);
    EXPECT_EQ(confirmation[0].From, kIP) << "the confirmation still leaves from the old address";
    EXPECT_EQ(Device.Restarts(), 1);
    EXPECT_EQ(SimIPToText(Device.IP()), "127.0.0.21");

    const std::size_t heard = Device.Received().size();
    Now += 499ms;
    EXPECT_TRUE(Device.Restarting(Now));
    EXPECT_TRUE(Send(Request(0xF6)).empty());
    EXPECT_EQ(Device.Received().size(), heard) << "a restarting device hears nothing";
    Now += 1ms;
    const auto answers = Send(Request(0xF6));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(SimIPToText(answers[0].From), "127.0.0.21");
}

TEST_F(SimDeviceTest, AWriteWithoutAnAddressOrWithoutRestartKeepsTheAddress)
{
    TBytes record = Device.Record();
    SimWriteIP(record, 4, SimTextToIP("127.0.0.22"));
    Send(SetRequest(record));   // restart knob off: stored, not applied
    EXPECT_EQ(Device.IP(), kIP);
    EXPECT_EQ(SimReadIP(Device.Record(), 4), SimTextToIP("127.0.0.22"));

    SimWriteIP(record, 4, 0);
    Device.SetKnobs({.RestartMs = 0});
    Send(SetRequest(record));
    EXPECT_EQ(Device.Restarts(), 1);
    EXPECT_EQ(Device.IP(), kIP);
}

TEST_F(SimDeviceTest, SetIPStoresAddressHostBitsAndGatewayOnlyAndRestarts)
{
    Device.SetKnobs({.RestartMs = 100});
    TBytes request = SetIPRequest("127.0.0.23", 8, "127.0.0.254");
    request[20] = 0x99;   // not a network setting: stays as the device has it
    const auto answers = Send(request);
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_EQ(answers[0].Data.size(), 124u);
    EXPECT_EQ(answers[0].Data[3], 0xFB);
    EXPECT_EQ(answers[0].From, kIP);

    const TBytes record = Device.Record();
    EXPECT_EQ(SimIPToText(SimReadIP(record, 4)), "127.0.0.23");
    EXPECT_EQ(record[10], 8);
    EXPECT_EQ(SimIPToText(SimReadIP(record, 16)), "127.0.0.254");
    EXPECT_EQ(record[20], 0x4C);
    EXPECT_EQ(SimIPToText(Device.IP()), "127.0.0.23");
    EXPECT_EQ(Device.Restarts(), 1);

    Now += 100ms;
    const TBytes settings = AnswerTo(Request(0xF8));
    EXPECT_EQ(settings[10], 8);
    EXPECT_EQ(SimIPToText(SimReadIP(settings, 16)), "127.0.0.254");

    EXPECT_TRUE(Send(TBytes(request.begin(), request.begin() + 123)).empty());
    EXPECT_EQ(Device.Restarts(), 1);
}

TEST_F(SimDeviceTest, FurtherRecordsAnswerUnderTheirOwnCodesAndShareTheBatch)
{
    const TSimRecordCodes second{0xE1, 0xD1, 0xC1, 0xB1, 60};
    Device.AddRecord(second, TBytes(60, 0x33));
    Device.SetKnobs({.RestartMs = 0});

    const TBytes answer = AnswerTo(Request(0xE1));
    ASSERT_EQ(answer.size(), 60u);
    EXPECT_EQ(answer[3], 0xD1);
    EXPECT_EQ(answer[59], 0x33);

    Send(SetRequest(Device.Record(), 0x01));
    TBytes last(60, 0x44);
    last[3] = 0xC1;
    EXPECT_EQ(AnswerTo(last)[3], 0xB1);
    EXPECT_EQ(Device.RecordAt(1)[59], 0x44);
    EXPECT_EQ(Device.Restarts(), 1);
}

TEST_F(SimDeviceTest, DelayDuplicatesAndWrongCodesShapeTheAnswers)
{
    Device.SetKnobs({.AnswerDelayMs = 40, .Duplicates = 2});
    auto answers = Send(Request(0xF6));
    ASSERT_EQ(answers.size(), 3u);
    for (const auto& answer : answers) {
        EXPECT_EQ(answer.SendAt, Now + 40ms);
        EXPECT_EQ(answer.Data[3], 0xF7);
    }

    Device.SetKnobs({.WrongCode = TSimWrongCode::Replace});
    answers = Send(Request(0xE0));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].Data[3], kSimWrongCode);
    EXPECT_EQ(answers[0].Data.size(), 120u);

    Device.SetKnobs({.Duplicates = 1, .WrongCode = TSimWrongCode::Prepend});
    answers = Send(Request(0xE0));
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[0].Data[3], kSimWrongCode);
    EXPECT_EQ(answers[1].Data[3], 0xD0);
    EXPECT_EQ(answers[2].Data[3], kSimWrongCode);
    EXPECT_EQ(answers[3].Data[3], 0xD0);
}

TEST_F(SimDeviceTest, ShortAnswersCutRecordAnswersOnly)
{
    Device.SetKnobs({.ShortAnswers = 8});
    const TBytes answer = AnswerTo(Request(0xE0));
    ASSERT_EQ(answer.size(), 8u);
    EXPECT_EQ(answer[3], 0xD0);
    const TBytes record = Device.Record();
    EXPECT_EQ(TBytes(answer.begin() + 4, answer.end()), TBytes(record.begin() + 4, record.begin() + 8));
    EXPECT_EQ(AnswerTo(Request(0xF6)).size(), 30u) << "the search answer stays whole";
    EXPECT_EQ(AnswerTo(Request(0xF8)).size(), 124u) << "so does the settings answer";
    EXPECT_EQ(SimParseDevice("00-20-4a-00-00-01,1.2.3.4,short=8", {}).Knobs.ShortAnswers, 8);
    EXPECT_THROW(SimParseDevice("00-20-4a-00-00-01,1.2.3.4,short=3", {}), ESimError) << "no code byte";
}

TEST_F(SimDeviceTest, ASilentDeviceHearsButNeverAnswersNorTakesWrites)
{
    Device.SetKnobs({.Silent = true, .RestartMs = 0});
    EXPECT_TRUE(Send(Request(0xF6)).empty());
    TBytes record = Device.Record();
    record[20] = 0x00;
    EXPECT_TRUE(Send(SetRequest(record)).empty());
    EXPECT_EQ(Device.Record()[20], 0x4C);
    EXPECT_EQ(Device.Received().size(), 2u);
    EXPECT_FALSE(Device.AnswersARP(Now));

    Device.SetKnobs({.SilentToARP = true});
    EXPECT_FALSE(Device.AnswersARP(Now));
    EXPECT_EQ(Send(Request(0xF6)).size(), 1u);
    Device.SetKnobs({});
    EXPECT_TRUE(Device.AnswersARP(Now));
}

TEST_F(SimDeviceTest, LossFollowsItsPatternAndIsNearItsRate)
{
    const auto pattern = [&](std::uint32_t lossPattern, double rate) {
        TSimDevice device(kMAC, kIP, {.LossRate = rate, .LossPattern = lossPattern});
        std::vector<bool> lost;
        for (int i = 0; i < 1000; ++i)
            for (const auto& answer : device.Handle(Request(0xF6), kEngine, kIP, Now))
                lost.push_back(answer.Lost);
        return lost;
    };
    const auto first = pattern(7, 0.3);
    ASSERT_EQ(first.size(), 1000u);
    EXPECT_EQ(first, pattern(7, 0.3));
    EXPECT_NE(first, pattern(8, 0.3));
    const auto count = std::count(first.begin(), first.end(), true);
    EXPECT_GT(count, 230);
    EXPECT_LT(count, 370);
    const auto none = pattern(7, 0.0);
    const auto all = pattern(7, 1.0);
    EXPECT_EQ(std::count(none.begin(), none.end(), true), 0);
    EXPECT_EQ(std::count(all.begin(), all.end(), true), 1000);
}

TEST(SimOptions, ParsesDevicesAndKnobsAndRefusesBadOnes)
{
    const TSimDeviceSpec spec = SimParseDevice(
        "00-20-4A-00-00-0a,127.0.0.9,delay=25,loss=0.5,wrong-code=prepend,silent-arp",
        {.Duplicates = 3});
    EXPECT_EQ(SimMACToText(spec.MAC), "00-20-4a-00-00-0a");
    EXPECT_EQ(SimIPToText(spec.IP), "127.0.0.9");
    EXPECT_EQ(spec.Knobs.AnswerDelayMs, 25);
    EXPECT_DOUBLE_EQ(spec.Knobs.LossRate, 0.5);
    EXPECT_EQ(spec.Knobs.WrongCode, TSimWrongCode::Prepend);
    EXPECT_TRUE(spec.Knobs.SilentToARP);
    EXPECT_EQ(spec.Knobs.Duplicates, 3) << "defaults carry over";
    EXPECT_EQ(SimParseDevice("00:20:4a:00:00:0b,10.0.0.1", {}).MAC[5], 0x0B);

    const char* bad[] = {"00-20-4a-00-00,127.0.0.9", "00-20-4a-00-00-0g,127.0.0.9",
                         "00-20-4a-00-00-01,127.0.0", "00-20-4a-00-00-01",
                         "00-20-4a-00-00-01,1.2.3.4,loss=1.5", "00-20-4a-00-00-01,1.2.3.4,delay=5x",
                         "00-20-4a-00-00-01,1.2.3.4,restart", "00-20-4a-00-00-01,1.2.3.4,volume=11"};
    for (const char* text : bad)
        EXPECT_THROW(SimParseDevice(text, {}), ESimError) << text;
}
