#include "ConversationTestSupport.h"

namespace qubra::test {
namespace {

const std::string kReceivedSuffix = " záznam(ů) přijato.";
const std::string kStoredSuffix = " záznamů uloženo.";

class RecordExchangeTest : public ConversationTest {
protected:
    // A further setup record of 40 bytes with codes E1/D1/C1/B1.
    TDataPacket& AddSecondRecord()
    {
        auto record = std::make_unique<TDataPacket>("SetupRecord1", ptSetup, "000000e1", "000000d1",
                                                    "000000c1", "000000b1", 40);
        record->AddItem(std::make_unique<TDataItem>("$header", 0, 32, 0, itHexa, record->Buffer()));
        TDataPacket& added = *record;
        Manager->AddPacket(std::move(record));
        return added;
    }
    static constexpr TSimRecordCodes kSecondCodes{0xE1, 0xD1, 0xC1, 0xB1, 40};

    static bool SameBody(const TBytes& a, const TBytes& b)
    {
        return a.size() == b.size() && std::equal(a.begin() + 4, a.end(), b.begin() + 4);
    }
};

TEST_F(RecordExchangeTest, QueryRecordsShowsEveryStepAndEndsInTheFirstCycle)
{
    TSimDevice& device = AddDevice();
    TBytes stored = device.Record();
    stored[50] = 0x5A;
    device.SetRecord(stored);
    Start(3500);

    const auto start = TClock::now();
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 1);
    EXPECT_LT(MillisecondsSince(start), 1000);

    EXPECT_EQ(View.Statuses, (std::vector<std::string>{"Předávám požadavek na data...",
                                                        "Předávám požadavek na záznam č.1 z 1...",
                                                        "1 z 1 záznam(ů) přijato."}));
    // Exchange look at 0, then 0 before the request, 100 after it and 100 after the one cycle.
    EXPECT_EQ(View.Positions, (std::vector<int>{0, 0, 100, 100}));
    EXPECT_EQ(Sender->RequestedCount, 1);
    EXPECT_EQ(Sender->AnsweredCount, 1);
    EXPECT_TRUE(SetupRecord().Received());
    EXPECT_TRUE(SameBody(SetupRecord().GetData(), stored));
    EXPECT_EQ(device.PayloadsWithCode(0xE0), (std::vector<TBytes>{{0, 0, 0, 0xE0}}));
}

// The device keeps its own table of defaults; it must hold what the mapping calls the defaults.
TEST_F(RecordExchangeTest, SimulatedDeviceStartsFromTheMappingsDefaults)
{
    const TSimDevice& device = AddDevice();
    TDataPacket& defaults = SetupRecord();
    defaults.ApplyDefaults();
    const TBytes expected = defaults.GetData();
    const TBytes held = device.Record();
    ASSERT_EQ(held.size(), expected.size());
    for (std::size_t i = 8; i < held.size(); ++i)
        EXPECT_EQ(held[i], expected[i]) << "byte " << i;
    EXPECT_EQ(SimIPToText(SimReadIP(held, kSimIPOffset)), kDeviceIP);
}

TEST_F(RecordExchangeTest, SilentDeviceEndsAfterTimeoutDiv20Plus2CyclesAtTheDefault)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(TfDataSender::kDefaultAnswerTimeout);
    const auto start = TClock::now();
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 0);
    EXPECT_GE(MillisecondsSince(start), 3500);
    EXPECT_EQ(CountEndingWith(View.Statuses, kReceivedSuffix), 177);
    EXPECT_EQ(View.Status(), "0 z 1 záznam(ů) přijato.");
    EXPECT_EQ(Sender->RequestedCount, 1);
    EXPECT_EQ(Sender->AnsweredCount, 0);
    EXPECT_FALSE(SetupRecord().Received());
}

// A short answer must not make the record count as read: the bytes it does not cover would
// be what the record held before, from another device or from nothing.
TEST_F(RecordExchangeTest, AnswerShorterThanTheRecordDoesNotCountAsRead)
{
    TSimDevice& device = AddDevice(kDeviceIP, kDeviceMAC, {.ShortAnswers = 8});
    device.AddRecord(kSecondCodes, TBytes(40, 0x33));
    TDataPacket& second = AddSecondRecord();
    Start();
    const TBytes before = SetupRecord().GetData();

    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 0);
    EXPECT_EQ(Sender->AnsweredCount, 0);
    EXPECT_FALSE(SetupRecord().Received());
    EXPECT_FALSE(second.Received());
    EXPECT_EQ(SetupRecord().GetData(), before) << "nothing of a short answer is taken in";
    ASSERT_EQ(device.PayloadsWithCode(0xE0).size(), 1u) << "the device was asked and answered";

    // The answer covering the record whole, longer than the record, counts.
    device.SetKnobs({.ShortAnswers = 200});
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 2);
    EXPECT_EQ(second.GetData()[39], 0x33);
}

TEST_F(RecordExchangeTest, SilentDeviceCycleCountFollowsTheTimeout)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(130);
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 0);
    EXPECT_EQ(CountEndingWith(View.Statuses, kReceivedSuffix), 130 / 20 + 2);

    SetupRecord().SetReceived(true);
    View.Statuses.clear();
    EXPECT_EQ(Sender->SendRecords(kDeviceIP), 0);
    EXPECT_EQ(CountEndingWith(View.Statuses, kStoredSuffix), 130 / 20 + 2);
    // Without all confirmations the last progress status stays.
    EXPECT_EQ(View.Status(), "0 z 1 záznamů uloženo.");
}

TEST_F(RecordExchangeTest, RepeatedAnswersCountOnceForQueriesAndTwiceForConfirmations)
{
    TSimDevice& device = AddDevice(kDeviceIP, kDeviceMAC, {.Duplicates = 2});
    device.AddRecord(kSecondCodes, TBytes(40, 0x33));
    TDataPacket& second = AddSecondRecord();
    Start();

    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 2);
    EXPECT_EQ(Sender->RequestedCount, 2);
    EXPECT_EQ(Sender->AnsweredCount, 2);
    EXPECT_EQ(second.GetData()[20], 0x33);

    // The device confirms only the setup record it knows, but twice: that ends the wait.
    TSimKnobs knobs = device.Knobs();
    knobs.Duplicates = 1;
    device.SetKnobs(knobs);
    auto record = std::make_unique<TDataPacket>("Unknown", ptSetup, "000000e7", "000000d7",
                                                "000000c7", "000000b7", 8);
    record->SetReceived(true);
    Manager->AddPacket(std::move(record));
    second.SetReceived(false);
    View.Statuses.clear();
    EXPECT_EQ(Sender->SendRecords(kDeviceIP), 2);
    EXPECT_EQ(Sender->RequestedCount, 2);
    EXPECT_EQ(Sender->AnsweredCount, 2);
    EXPECT_EQ(CountEndingWith(View.Statuses, kStoredSuffix), 1);
    // A record not read from the device is not sent.
    EXPECT_TRUE(device.PayloadsWithCode(0xC1).empty());
}

TEST_F(RecordExchangeTest, BatchMarksEveryRecordButTheLastInHeaderByte1)
{
    TSimDevice& device = AddDevice();
    device.AddRecord(kSecondCodes, TBytes(40, 0x44));
    AddSecondRecord();
    Start();
    ASSERT_EQ(Sender->QueryRecords(kDeviceIP), 2);
    SetupRecord().SetValue("unit_port", 10001);

    View.Statuses.clear();
    EXPECT_EQ(Sender->SendRecords(kDeviceIP), 2);
    const std::vector<TBytes> first = device.PayloadsWithCode(0xC0);
    const std::vector<TBytes> last = device.PayloadsWithCode(0xC1);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(TBytes(first[0].begin(), first[0].begin() + 4), (TBytes{0, 1, 0, 0xC0}));
    EXPECT_EQ(TBytes(last[0].begin(), last[0].begin() + 4), (TBytes{0, 0, 0, 0xC1}));
    EXPECT_EQ(first[0].size(), 120u);
    EXPECT_EQ(last[0].size(), 40u);
    EXPECT_EQ(device.Record()[24], 0x11);
    EXPECT_EQ(device.Record()[25], 0x27);
    EXPECT_EQ(View.Statuses, (std::vector<std::string>{"Ukládání dat ...", "Ukládám záznam č.1 z 2...",
                                                        "Ukládám záznam č.2 z 2...",
                                                        "2 z 2 záznamů uloženo.",
                                                        "Všechny záznamy uloženy (2)"}));
    EXPECT_EQ(View.Positions.back(), 100);
}

TEST_F(RecordExchangeTest, EveryStatusOfTheRecordLoopsIsLookedUpByItsOwnKey)
{
    AddDevice().AddRecord(kSecondCodes, TBytes(40, 0));
    AddSecondRecord();
    Start();
    const TKeyedTexts keyed;
    ASSERT_EQ(Sender->QueryRecords(kDeviceIP), 2);
    ASSERT_EQ(Sender->SendRecords(kDeviceIP), 2);
    Manager->FindPacket("SetupRecord1")->SetReceived(false);
    ASSERT_EQ(Sender->SendRecords(kDeviceIP), 1);

    // A slow machine may split the two answers over two cycles.
    std::erase_if(View.Statuses, [](const std::string& s) {
        return s == "1[z2]2[záznamůpřija]" || s == "1[z]2[záznamůuloženo]";
    });
    EXPECT_EQ(View.Statuses,
              (std::vector<std::string>{
                  "[Předávámpožadav]", "[Předávámpožadav0]1[z4]2...", "[Předávámpožadav1]2[z3]2...",
                  "2[z2]2[záznamůpřija]", "[Ukládánídat]", "[Ukládámzáznamč]1[z1]2...",
                  "[Ukládámzáznamč0]2[z0]2...", "2[z]2[záznamůuloženo]", "[Všechnyzáznamy]2)",
                  "[Ukládánídat]", "[Ukládámzáznamč0]1[z0]1...", "1[z]1[záznamůuloženo]",
                  "[Záznamuložen]"}));
}

TEST_F(RecordExchangeTest, SingleRecordIsSentWithItsPlainSetCode)
{
    TSimDevice& device = AddDevice();
    Start();
    ASSERT_EQ(Sender->QueryRecords(kDeviceIP), 1);
    EXPECT_EQ(Sender->SendRecords(kDeviceIP), 1);
    const std::vector<TBytes> sent = device.PayloadsWithCode(0xC0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][1], 0);
    EXPECT_EQ(View.Status(), "Záznam uložen.");
    EXPECT_EQ(Sender->AnsweredCount, 1);
}

TEST_F(RecordExchangeTest, PositionsRoundHalvesToEven)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    for (int i = 1; i < 8; ++i) {
        const std::string code = "0000001" + std::to_string(i);
        Manager->AddPacket(std::make_unique<TDataPacket>("Extra" + std::to_string(i), ptSetup, code,
                                                         code, code, code, 8));
    }
    Start(0);
    Sender->QueryRecords(kDeviceIP);
    // The exchange look's 0, then one position per request of eight, then 8 of 8.
    const std::vector<int> requests(View.Positions.begin() + 1, View.Positions.begin() + 10);
    EXPECT_EQ(requests, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 100}));

    Manager = LoadDeviceMapping("");
    Sender->DataManager = Manager.get();
    Manager->AddPacket(std::make_unique<TDataPacket>("B", ptSetup, "0e", "0d", "0c", "0b", 8));
    Manager->AddPacket(std::make_unique<TDataPacket>("C", ptSetup, "0e", "0d", "0c", "0b", 8));
    View.Positions.clear();
    Sender->QueryRecords(kDeviceIP);
    EXPECT_EQ(std::vector<int>(View.Positions.begin() + 1, View.Positions.begin() + 5),
              (std::vector<int>{0, 33, 67, 100}));
}

TEST_F(RecordExchangeTest, DatagramsThatAreNoMatchingAnswerFromTheDeviceAreDropped)
{
    TSimDevice& device = AddDevice(kDeviceIP, kDeviceMAC, {.WrongCode = TSimWrongCode::Replace});
    Start(100);
    const TBytes before = SetupRecord().GetData();
    InjectAtFirstPump({{Datagram(0xD0, 120, 0xEE), "127.0.0.99"},  // right code, stranger
                       {Datagram(0xA5, 120, 0xEE), kDeviceIP},     // unknown code
                       {Datagram(0xB0, 120, 0xEE), kDeviceIP},     // a set answer during a read
                       {Datagram(0xD0, 120, 0xEE), "127.0.0.10"},  // the device's address as a prefix
                       {TBytes{}, kDeviceIP},
                       {Datagram(0xD0, 3, 0xEE), kDeviceIP}});
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 0);
    EXPECT_EQ(SetupRecord().GetData(), before);
    EXPECT_FALSE(SetupRecord().Received());
    EXPECT_FALSE(device.PayloadsWithCode(0xE0).empty());

    // A right answer from the device among them is taken.
    InjectAtFirstPump({{Datagram(0xD0, 120, 0xEE), "127.0.0.99"}, {Datagram(0xD0, 120, 0x77), kDeviceIP}});
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 1);
    EXPECT_EQ(SetupRecord().GetData()[60], 0x77);
}

TEST_F(RecordExchangeTest, OnlySetAnswersFromTheDeviceConfirmAWrite)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(100);
    SetupRecord().SetReceived(true);
    InjectAtFirstPump({{Datagram(0xD0, 120), kDeviceIP},  // a query answer left over from a read
                       {Datagram(0xB0, 120), "127.0.0.99"},
                       {Datagram(0xA5, 120), kDeviceIP}});
    EXPECT_EQ(Sender->SendRecords(kDeviceIP), 0);
    EXPECT_EQ(Sender->AnsweredCount, 0);

    InjectAtFirstPump({{Datagram(0xB0, 4), kDeviceIP}});
    EXPECT_EQ(Sender->SendRecords(kDeviceIP), 1);
    EXPECT_EQ(View.Status(), "Záznam uložen.");
}

TEST_F(RecordExchangeTest, WrongCodeBeforeTheAnswerIsSkipped)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.WrongCode = TSimWrongCode::Prepend});
    Start();
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 1);
}

TEST_F(RecordExchangeTest, WithoutDataManagerNothingIsSentAndCountsStay)
{
    TSimDevice& device = AddDevice();
    Start();
    Sender->DataManager = nullptr;
    Sender->RequestedCount = 7;
    Sender->AnsweredCount = 5;
    EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 0);
    EXPECT_EQ(Sender->SendRecords(kDeviceIP), 0);
    EXPECT_EQ(Sender->RequestedCount, 7);
    EXPECT_EQ(Sender->AnsweredCount, 5);
    EXPECT_TRUE(device.Received().empty());
}

TEST_F(RecordExchangeTest, QueryRecordShowsItsProgress)
{
    TSimDevice& device = AddDevice();
    Start();
    Sender->SetExchangeMode(kDeviceIP);
    View.Positions.clear();
    EXPECT_TRUE(Sender->QueryRecord(&SetupRecord(), true, true));
    EXPECT_EQ(View.Positions, (std::vector<int>{1, 33, 100}));
    EXPECT_EQ(View.Statuses.back(), "Přijímám data...");

    TSimKnobs silent;
    silent.Silent = true;
    device.SetKnobs(silent);
    View.Positions.clear();
    EXPECT_FALSE(Sender->QueryRecord(&SetupRecord(), true, true));
    EXPECT_EQ(View.Positions, (std::vector<int>{1, 33, 20}));

    View.Positions.clear();
    EXPECT_FALSE(Sender->QueryRecord(nullptr, true, true));
    EXPECT_TRUE(View.Positions.empty());
}

TEST_F(RecordExchangeTest, NoticeKeepsTheStatusClosesOnceAndReportsDestruction)
{
    AddDevice();
    Start();
    EXPECT_EQ(View.Caption, "Komunikace...");
    ASSERT_EQ(Sender->QueryRecords(kDeviceIP), 1);
    ASSERT_TRUE(Sender->MySock.IsOpen());
    const std::string shown = View.Status();

    Sender->ShowNoticeWindow("Jinde", "Zavřít", TMessageIcon::Warning);
    ASSERT_EQ(View.WindowNotices.size(), 1u);
    EXPECT_EQ(View.WindowNotices[0].Text, "Jinde");
    EXPECT_EQ(View.Closes, 0);
    EXPECT_FALSE(Sender->Closed());

    Sender->ShowNotice("", "OK", TMessageIcon::Error);
    ASSERT_EQ(View.Notices.size(), 1u);
    EXPECT_EQ(View.Notices[0].Text, shown);
    EXPECT_EQ(View.Notices[0].ButtonCaption, "OK");
    EXPECT_EQ(View.Notices[0].Icon, TMessageIcon::Error);
    EXPECT_EQ(View.Looks.back(), TSenderLook::Notice);
    EXPECT_FALSE(View.Animations.back());
    EXPECT_TRUE(Sender->Closed());
    EXPECT_FALSE(Sender->MySock.IsOpen());
    Sender->Close();
    EXPECT_EQ(View.Closes, 1);

    int destroyed = 0;
    TfDataSender* seen = nullptr;
    Sender->OnDestroy = [&](TfDataSender& sender) {
        ++destroyed;
        seen = &sender;
    };
    TfDataSender* engine = Sender.get();
    Sender.reset();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(seen, engine);
}

} // namespace
} // namespace qubra::test
