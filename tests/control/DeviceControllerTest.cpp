// The main window's command flows on simulated devices on loopback, with a recording view and
// an in-memory address table.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "control/DeviceController.h"
#include "conversation/RecordingView.h"
#include "model/Conversions.h"
#include "model/DeviceMapping.h"
#include "net/ARPManager.h"
#include "net/ARPMemoryBackend.h"
#include "sim/TSimUdpHost.h"
#include "tests/control/ControlTestSupport.h"
#include "tests/conversation/ConversationTestSupport.h"
#include "tests/conversation/SharedView.h"

using namespace qubra;
using qubra::controltest::kSetCode;
using qubra::controltest::MACOf;
using qubra::test::TSharedView;

namespace {

const char* const kMAC = "00-20-4a-00-00-01";

class DeviceControllerTest : public ::testing::Test {
protected:
    TSimUdpHost Host;
    std::unique_ptr<TDataManager> Manager = LoadDeviceMapping("");
    TRecordingView View;
    TARPMemoryBackend Network;
    TScopedIPHelper NetworkScope{Network.Loader()};
    std::unique_ptr<TDeviceController> Controller;

    void SetUp() override { ARPManager().ClearTables(); }
    void TearDown() override { ARPManager().ClearTables(); }

    TSimDevice& AddDevice(const std::string& IP, const TSimKnobs& Knobs = {})
    {
        return Host.AddDevice(SimTextToMAC(kMAC), SimTextToIP(IP), Knobs);
    }

    void Start(bool LoopbackIsLocal = true)
    {
        if (LoopbackIsLocal)
            Network.AddAddress("127.0.0.1", "255.0.0.0", 1);
        Host.Start();
        Controller = std::make_unique<TDeviceController>(*Manager, View,
                                                         [this] { return std::make_unique<TSharedView>(View); });
        Controller->Link.DevicePort = Host.Port();
        Controller->Link.BroadcastIP = "127.255.255.255";
        Controller->Link.AnswerTimeout = 200;
    }

    std::string LastNotice() const
    {
        return View.Notices.empty() ? "" : View.Notices.back().Text;
    }
};

} // namespace

TEST_F(DeviceControllerTest, FindAndReadFillsInWhatWasUnknown)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    Start();

    ASSERT_TRUE(Controller->FindByIP(StrToIP("127.0.0.4")));
    EXPECT_TRUE(Controller->DeviceLoaded);
    EXPECT_EQ(Controller->DeviceMAC, MACOf(kMAC));
    EXPECT_EQ(Controller->LastSearchIP, StrToIP("127.0.0.4"));
    const TBytes read = Manager->FindPacket("SetupRecord0")->GetData();
    const TBytes held = device.Record();
    ASSERT_EQ(read.size(), held.size());
    ASSERT_GT(read.size(), 4u);
    EXPECT_EQ(TBytes(read.begin() + 4, read.end()), TBytes(held.begin() + 4, held.end()))
        << "the settings after the header as the device holds them";

    ASSERT_TRUE(Controller->FindByMAC(MACOf(kMAC)));
    EXPECT_EQ(IPToStr(Controller->DeviceIP), "127.0.0.4");
    EXPECT_EQ(Controller->LastSearchMAC, MACOf(kMAC));
    EXPECT_TRUE(View.Notices.empty());
}

TEST_F(DeviceControllerTest, NothingKnownOrNothingFoundLeavesTheDeviceUnloaded)
{
    TSimDevice& device = AddDevice("127.0.0.1");
    Start();
    EXPECT_FALSE(Controller->FindAndReadDevice(0, nullptr, {}));
    EXPECT_TRUE(device.Received().empty());

    EXPECT_FALSE(Controller->FindAndReadDevice(StrToIP("127.0.0.6"), nullptr, {}));
    EXPECT_FALSE(Controller->DeviceLoaded);
    ASSERT_EQ(View.Notices.size(), 1u);
    EXPECT_EQ(View.Notices[0].Text, "Zařízení nebylo nalezeno");
    EXPECT_EQ(View.Notices[0].Icon, TMessageIcon::Error);

    EXPECT_FALSE(Controller->FindDevice(0, MACOf("00-20-4a-00-00-77")));
    EXPECT_EQ(Controller->DeviceIP, 0u);
}

TEST_F(DeviceControllerTest, FailedReadHintsAtTheNetworkOnlyOutsideTheSubnets)
{
    TSimKnobs silent;
    silent.Silent = true;
    AddDevice("127.0.0.1", silent);
    Start(false);
    // Both known: no search, straight to the records, which never come.
    EXPECT_FALSE(Controller->FindAndReadDevice(StrToIP("127.0.0.1"), nullptr, MACOf(kMAC)));
    EXPECT_EQ(LastNotice(), "Komunikace se zařízením selhala!\r\nPravděpodobnou příčinou je "
                            "nekompatibilní síťové nastavení zařízení (IP: 127.0.0.1)");

    Network.AddAddress("127.0.0.1", "255.0.0.0", 1);
    ARPManager().ClearTables();
    EXPECT_FALSE(Controller->FindAndReadDevice(StrToIP("127.0.0.1"), nullptr, MACOf(kMAC)));
    EXPECT_EQ(LastNotice(), "Komunikace se zařízením selhala!");
    EXPECT_EQ(View.Notices.back().Icon, TMessageIcon::Warning);
}

TEST_F(DeviceControllerTest, WriteAsksAboutForeignSubnetsAndTakenAddressesBeforeSending)
{
    TSimDevice& device = AddDevice("127.0.0.1");
    Start();
    ASSERT_TRUE(Controller->FindByIP(StrToIP("127.0.0.1")));

    Manager->SetValue("unit_ip", "192.0.2.10");
    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Controller->WriteToDevice());
    ASSERT_EQ(View.Questions.size(), 1u);
    EXPECT_EQ(View.Questions[0].Caption, "Varování");
    EXPECT_EQ(View.Questions[0].DefaultButton, TMessageAnswer::No);
    EXPECT_NE(View.Questions[0].Text.find("(192.0.2.10) nepřísluší"), std::string::npos);
    EXPECT_TRUE(device.PayloadsWithCode(kSetCode).empty());

    // Another station answers for the address the record gives the device.
    Manager->SetValue("unit_ip", "127.0.0.2");
    Network.AddStation("127.0.0.2", "00-20-4a-99-99-99");
    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Controller->WriteToDevice());
    ASSERT_EQ(View.Questions.size(), 2u);
    EXPECT_EQ(View.Questions[1].Icon, TMessageIcon::Question);
    EXPECT_EQ(View.Questions[1].Text, "IP adresa 127.0.0.2 již je přiřazena jinému zařízení v síti "
                                      "(00-20-4a-99-99-99) a mohlo by dojít ke konfliktu.\r\n"
                                      "Chcete přesto pokračovat?");
    EXPECT_TRUE(device.PayloadsWithCode(kSetCode).empty());

    View.Answers = {TMessageAnswer::Yes};
    Manager->SetValue("unit_port", 4100);
    EXPECT_TRUE(Controller->WriteToDevice());
    ASSERT_EQ(device.PayloadsWithCode(kSetCode).size(), 1u);
    EXPECT_EQ(controltest::TRecordReader(device.PayloadsWithCode(kSetCode)[0]).Value("unit_port").Integer(), 4100);

    // A station that answers for the device's own address would get the write: no question
    // lets it through.
    Manager->SetValue("unit_ip", "127.0.0.1");
    Network.AddStation("127.0.0.1", "00-20-4a-99-99-98");
    const std::size_t boxes = View.Questions.size();
    EXPECT_FALSE(Controller->WriteToDevice());
    EXPECT_EQ(View.Questions.size(), boxes + 1);
    EXPECT_EQ(View.Questions.back().Buttons, TMessageButtons::OK);
    EXPECT_NE(View.Questions.back().Text.find("00-20-4a-00-00-01 také zařízení 00-20-4a-99-99-98"),
              std::string::npos) << View.Questions.back().Text;
    EXPECT_EQ(device.PayloadsWithCode(kSetCode).size(), 1u);
}

TEST_F(DeviceControllerTest, TheDevicesOwnAnswerToItsAddressIsNoConflict)
{
    TSimDevice& device = AddDevice("127.0.0.1");
    Network.AddStation("127.0.0.1", kMAC);
    Start();
    ASSERT_TRUE(Controller->FindByIP(StrToIP("127.0.0.1")));
    EXPECT_TRUE(Controller->WriteToDevice());
    EXPECT_TRUE(View.Questions.empty());
    EXPECT_EQ(device.PayloadsWithCode(kSetCode).size(), 1u);
}

TEST_F(DeviceControllerTest, WriteFollowsTheDeviceToItsNewAddress)
{
    TSimKnobs restarting;
    restarting.RestartMs = 30;
    AddDevice("127.0.0.1", restarting);
    Start();
    ASSERT_TRUE(Controller->FindByIP(StrToIP("127.0.0.1")));
    Manager->SetValue("unit_ip", "127.0.0.8");
    EXPECT_TRUE(Controller->WriteToDevice());
    EXPECT_TRUE(Controller->DeviceLoaded);
    EXPECT_EQ(IPToStr(Controller->DeviceIP), "127.0.0.8");
    EXPECT_EQ(Controller->LastSearchIP, StrToIP("127.0.0.1")) << "the search values stay";
}

// What the record holds from one device never reaches the next: a device whose answer does
// not cover the record counts as not read, and its record is not the last device's.
TEST_F(DeviceControllerTest, NothingReadFromOneDeviceIsWrittenToAnother)
{
    TSimDevice& first = AddDevice("127.0.0.1");
    TSimDevice& second = Host.AddDevice(SimTextToMAC("00-20-4a-00-00-02"), SimTextToIP("127.0.0.2"),
                                        {.ShortAnswers = 8});
    controltest::TRecordReader own(first.Record());
    own.Record().SetValue("telnet_password", "abcd");
    first.SetRecord(own.Record().GetData());
    Start();

    ASSERT_TRUE(Controller->FindByIP(StrToIP("127.0.0.1")));
    ASSERT_EQ(Manager->GetValue("telnet_password").Text(), "abcd");
    EXPECT_FALSE(Controller->FindByIP(StrToIP("127.0.0.2")));
    EXPECT_FALSE(Controller->DeviceLoaded);
    EXPECT_EQ(Manager->GetValue("telnet_password").Text(), "") << "the first device's password";
    EXPECT_FALSE(Manager->FindPacket("SetupRecord0")->Received());

    EXPECT_FALSE(Controller->WriteToDevice());
    EXPECT_TRUE(second.PayloadsWithCode(kSetCode).empty());
    EXPECT_TRUE(first.PayloadsWithCode(kSetCode).empty());
}

TEST_F(DeviceControllerTest, NetworkSettingsAreReadFromTheDeviceFoundByItsMAC)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    TBytes stored = device.Record();
    stored[kSimHostBitsOffset] = 8;
    SimWriteIP(stored, kSimGatewayOffset, SimTextToIP("127.0.0.254"));
    device.SetRecord(stored);
    Start();

    TNetworkSettings settings;
    ASSERT_TRUE(Controller->ReadNetworkSettings(MACOf(kMAC), settings));
    EXPECT_EQ(settings.IP, "127.0.0.4");
    EXPECT_EQ(IPToStr(settings.Mask), "255.255.255.0");
    EXPECT_EQ(settings.Gateway, "127.0.0.254");
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty()) << "nothing is set";

    EXPECT_FALSE(Controller->ReadNetworkSettings(MACOf("00-20-4a-00-00-77"), settings));
    EXPECT_EQ(settings.Gateway, "127.0.0.254") << "unchanged";
}

TEST_F(DeviceControllerTest, TheWizardsStepsTellNotFoundFromNoAnswerAndKeepTheDeviceOnShow)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    TBytes stored = device.Record();
    stored[kSimHostBitsOffset] = 0;
    device.SetRecord(stored);
    Start();
    ASSERT_TRUE(Controller->FindByIP(StrToIP("127.0.0.4")));
    const TMACAddress shown = Controller->DeviceMAC;

    std::string ip;
    EXPECT_EQ(Controller->SearchDevice(MACOf("00-20-4a-00-00-77"), ip), TStepOutcome::NotDone);
    ASSERT_EQ(Controller->SearchDevice(MACOf(kMAC), ip), TStepOutcome::Done);
    EXPECT_EQ(ip, "127.0.0.4");

    TNetworkSettings settings;
    ASSERT_EQ(Controller->ReadNetworkSettingsAt(ip, settings), TStepOutcome::Done);
    EXPECT_EQ(settings.IP, "127.0.0.4");
    EXPECT_EQ(settings.Mask, 0xFFFFFFFFu) << "no host bits: the standard mask";
    EXPECT_EQ(Controller->ReadNetworkSettingsAt("127.0.0.9", settings), TStepOutcome::NotDone);
    EXPECT_EQ(settings.IP, "127.0.0.4") << "unchanged";

    EXPECT_TRUE(Controller->DeviceLoaded);
    EXPECT_EQ(Controller->DeviceMAC, shown);
    EXPECT_TRUE(View.Notices.empty());
}

TEST_F(DeviceControllerTest, NothingIsWrittenForADeviceNotLoaded)
{
    TSimDevice& device = AddDevice("127.0.0.1");
    Start();
    const TWriteCount count = Controller->WriteDevice(nullptr);
    EXPECT_FALSE(count.Success);
    EXPECT_EQ(count.Sent, 0);
    EXPECT_TRUE(device.Received().empty());

    // A device that disappears after the read: the write stops before sending, the wait fails.
    ASSERT_TRUE(Controller->FindByIP(StrToIP("127.0.0.1")));
    TSimKnobs silent;
    silent.Silent = true;
    device.SetKnobs(silent);
    Controller->Link.AnswerTimeout = 100;
    EXPECT_FALSE(Controller->WriteToDevice());
    EXPECT_FALSE(Controller->DeviceLoaded);
    ASSERT_GE(View.Notices.size(), 2u);
    EXPECT_EQ(View.Notices[View.Notices.size() - 2].Text, "Nastavení zařízení se nezdařilo.");
    EXPECT_EQ(LastNotice(), "Zařízení nebylo nalezeno.");
}

TEST_F(DeviceControllerTest, CommandsCalledWhileOneRunsDoNothing)
{
    TSimDevice& device = AddDevice("127.0.0.1");
    Start();
    const TMACAddress other = MACOf("00-20-4a-00-00-77");
    bool tried = false;
    // A click that arrives while the read pumps the window system.
    View.OnPump = [&] {
        if (tried)
            return;
        tried = true;
        EXPECT_TRUE(Controller->Busy());
        EXPECT_FALSE(Controller->WriteToDevice());
        EXPECT_EQ(Controller->WriteDevice(nullptr).Sent, 0);
        EXPECT_FALSE(Controller->FindByMAC(other));
        EXPECT_FALSE(Controller->FindByIP(StrToIP("127.0.0.9")));
        EXPECT_FALSE(Controller->LoadFromDevice());
        EXPECT_FALSE(Controller->RestoreDefaults());
        EXPECT_FALSE(Controller->ContinueSetIP(other));
        EXPECT_EQ(Controller->AssignAddress(other, "127.0.0.9", 0, "0.0.0.0").Outcome,
                  TAssignOutcome::Cancelled);
    };
    ASSERT_TRUE(Controller->FindByIP(StrToIP("127.0.0.1")));
    EXPECT_TRUE(tried);
    EXPECT_FALSE(Controller->Busy());
    EXPECT_FALSE(Controller->Cancelled());
    EXPECT_TRUE(IsZeroMAC(Controller->LastSearchMAC)) << "the second find left no trace";
    EXPECT_EQ(Controller->LastSearchIP, StrToIP("127.0.0.1"));
    EXPECT_TRUE(Controller->DeviceLoaded);
    EXPECT_TRUE(View.Questions.empty());
    EXPECT_TRUE(device.PayloadsWithCode(kSetCode).empty());
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty());

    View.OnPump = nullptr;
    EXPECT_TRUE(Controller->RestoreDefaults()) << "free again once the command has ended";
}

TEST_F(DeviceControllerTest, AStopEndsACommandWithoutANoticeAndTheNextOneRuns)
{
    TSimDevice& device = AddDevice("127.0.0.1", {.Silent = true});
    Start();
    Controller->Link.AnswerTimeout = TfDataSender::kDefaultAnswerTimeout;
    View.OnKeepAlive = [this] { View.Cancel = View.KeepAlives >= 3; };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Controller->FindByMAC(MACOf(kMAC)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_TRUE(Controller->Cancelled());
    EXPECT_FALSE(Controller->DeviceLoaded);
    EXPECT_TRUE(View.Notices.empty());
    EXPECT_EQ(View.Closes, 1) << "the communication window is closed";
    EXPECT_EQ(Controller->LastSearchMAC, MACOf(kMAC));

    View.OnKeepAlive = nullptr;
    View.Cancel = false;
    device.SetKnobs({});
    Controller->Link.AnswerTimeout = 200;
    EXPECT_TRUE(Controller->FindByMAC(MACOf(kMAC)));
    EXPECT_FALSE(Controller->Cancelled());
}

TEST_F(DeviceControllerTest, AssignmentTellsAnErrorFromARefusalAndFromAStop)
{
    TSimDevice& device = AddDevice("127.0.0.1");
    Start();
    const TMACAddress mac = MACOf(kMAC);

    // Outside the subnets, refused: the wizard reports "IP nebyla nastavena!".
    View.Answers = {TMessageAnswer::No};
    TAssignResult result = Controller->AssignAddress(mac, "192.0.2.10", 0, "0.0.0.0");
    EXPECT_EQ(result.Outcome, TAssignOutcome::NotAssigned);
    EXPECT_TRUE(result.DeviceAnswered);
    EXPECT_TRUE(View.Notices.empty());

    // Not found, and the temporary entry cannot be made: an error, reported as it happened.
    Network.Failures["CreateIpNetEntry"] = 1;
    View.Answers = {TMessageAnswer::Yes};
    result = Controller->AssignAddress(MACOf("00-20-4a-00-00-77"), "127.0.0.9", 0, "0.0.0.0");
    EXPECT_EQ(result.Outcome, TAssignOutcome::Failed);
    ASSERT_EQ(View.Notices.size(), 1u);
    EXPECT_EQ(View.Notices[0].Icon, TMessageIcon::Error);

    // Stopped while the device is searched for: nothing to report, nothing sent.
    View.OnKeepAlive = [this] { View.Cancel = true; };
    result = Controller->AssignAddress(mac, "127.0.0.9", 0, "0.0.0.0");
    EXPECT_EQ(result.Outcome, TAssignOutcome::Cancelled);
    EXPECT_TRUE(Controller->Cancelled());
    EXPECT_EQ(View.Notices.size(), 1u);
    View.OnKeepAlive = nullptr;
    View.Cancel = false;

    result = Controller->AssignAddress(mac, "127.0.0.1", 0, "0.0.0.0");
    EXPECT_EQ(result.Outcome, TAssignOutcome::Assigned);
    EXPECT_EQ(device.PayloadsWithCode(0xFD).size(), 1u);
}

TEST_F(DeviceControllerTest, SetIPGoesOnForTheDeviceOnShowAndAsksAboutAnother)
{
    TSimDevice& device = AddDevice("127.0.0.1");
    Start();
    ASSERT_TRUE(Controller->FindByIP(StrToIP("127.0.0.1")));
    EXPECT_TRUE(Controller->ContinueSetIP(MACOf(kMAC)));
    EXPECT_TRUE(View.Questions.empty());
    EXPECT_TRUE(Controller->DeviceLoaded);

    // Another device: the question first; No ends the command before any search.
    const std::size_t received = device.Received().size();
    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Controller->ContinueSetIP(MACOf("00-20-4a-00-00-77")));
    ASSERT_EQ(View.Questions.size(), 1u);
    EXPECT_EQ(View.Questions[0].Caption, "");
    EXPECT_EQ(View.Questions[0].Text, "Chcete toto zařízení nastavit?");
    EXPECT_EQ(View.Questions[0].Icon, TMessageIcon::Question);
    EXPECT_EQ(View.Questions[0].Buttons, TMessageButtons::YesNo);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(device.Received().size(), received);
    EXPECT_TRUE(Controller->DeviceLoaded) << "the device on show stays";

    // The device on show, but not loaded any more: asked about too.
    Controller->DeviceLoaded = false;
    View.Answers = {TMessageAnswer::Yes};
    EXPECT_TRUE(Controller->ContinueSetIP(MACOf(kMAC)));
    EXPECT_EQ(View.Questions.size(), 2u);
    EXPECT_TRUE(Controller->DeviceLoaded);
}

TEST_F(DeviceControllerTest, SetIPForAnotherDeviceThatDoesNotComeBackNamesItsOwnKey)
{
    AddDevice("127.0.0.1");
    Start();
    test::TKeyedTexts keys;
    View.Answers = {TMessageAnswer::Yes};
    EXPECT_FALSE(Controller->ContinueSetIP(MACOf("00-20-4a-00-00-77")));
    EXPECT_EQ(LastNotice(), "[Zařízenínebylo0]");
    EXPECT_EQ(View.Notices.back().Icon, TMessageIcon::Warning);
    EXPECT_FALSE(Controller->DeviceLoaded);
}
