// Address assignment over a real LAN: straight to a reachable device, or through a temporary
// static entry in the workstation's neighbour table to a device that cannot be reached, and
// the questions that stop it before anything is sent or the table is touched.
#include "tests/lab/DeviceLab.h"

#include <algorithm>
#include <cerrno>
#include <thread>

#include "model/Conversions.h"
#include "tests/net/ARPTestSupport.h"

namespace qubra::lab {
namespace {

const char* const kDeviceMAC = "00-20-4a-88-00-70";
const char* const kDeviceEntry = "00:20:4a:88:00:70";
const char* const kGateway = "10.88.0.254";
const std::uint32_t kMask = StrToIP("255.255.255.0");
// Not the engine's default, so a time-out put back as a constant would show.
constexpr std::int32_t kAnswerTimeout = 2500;

const char* const kWaitStatus = "Čekám na zařízení...";
const char* const kUnreachableText =
    "Zařízení bylo detekováno, ale nelze s ním komunikovat kvůli jeho síťovému nastavení. Pokud "
    "se pokusíte nastavit jeho IP adresu, můžou být ztracena některá současná nastavení "
    "zařízení.\r\nChcete přesto pokračovat?";

std::string ConflictText(const std::string& IP, const std::string& MAC)
{
    return "IP adresa " + IP + " již je přiřazena jinému zařízení v síti (" + MAC +
           ") a mohlo by dojít ke konfliktu.\r\nChcete přesto pokračovat?";
}

class AssignIPLab : public DeviceLab {
protected:
    void ExpectQuestion(std::size_t Index, const std::string& Text, TMessageIcon Icon,
                        TMessageAnswer DefaultButton) const
    {
        ASSERT_GT(View.Questions.size(), Index);
        const TMessageBox& box = View.Questions[Index];
        EXPECT_EQ(box.Caption, "Varování");
        EXPECT_EQ(box.Text, Text);
        EXPECT_EQ(box.Icon, Icon);
        EXPECT_EQ(box.DefaultButton, DefaultButton);
        EXPECT_EQ(box.Buttons, TMessageButtons::YesNo);
    }

    // The set-IP requests the device took, each checked for the new settings.
    std::vector<TSimReceived> SetRequests(const std::string& NewIP) const
    {
        std::vector<TSimReceived> sets = Device(0).ReceivedWithCode(0xFD);
        for (const TSimReceived& set : sets) {
            EXPECT_EQ(set.Data.size(), 124u);
            EXPECT_EQ(SimIPToText(SimReadIP(set.Data, kSimIPOffset)), NewIP);
            EXPECT_EQ(set.Data.at(kSimHostBitsOffset), 8);
            EXPECT_EQ(SimIPToText(SimReadIP(set.Data, kSimGatewayOffset)), kGateway);
        }
        return sets;
    }

    // Table rows that must survive a refused assignment: one that the temporary entry's
    // clean-up would take (the device's MAC) and one of a stranger.
    std::vector<std::string> FillTableWithStrangers()
    {
        AddStaticNeighbour("10.88.0.99", kDeviceMAC);
        AddStaticNeighbour("10.88.0.98", "02:00:00:00:00:98");
        return NeighbourTable();
    }

    void WaitUntilRestarted()
    {
        for (int i = 0; i < 300 && Device(0).Restarting(TSimClock::now()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
};

TEST_F(AssignIPLab, ReachableDeviceIsReadThenGivenItsNewSettingsDirectly)
{
    Start({{kDeviceMAC, "10.88.0.50", {.RestartMs = 300}}});
    TBytes stored = Device(0).Record();
    stored[30] = 0x9C;   // a setting of the device's own that the request must carry back
    Device(0).SetRecord(stored);
    Sender->AnswerTimeout = kAnswerTimeout;

    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, "10.88.0.60", kMask, kGateway));
    EXPECT_TRUE(Sender->DeviceAnswered);
    EXPECT_TRUE(View.Questions.empty());
    EXPECT_EQ(Device(0).ReceivedWithCode(0xF8).size(), 1u) << "its settings are read first";
    const auto sets = SetRequests("10.88.0.60");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(SimIPToText(sets[0].To), "10.88.0.50") << "sent to its present address";
    EXPECT_EQ(sets[0].Data.at(30), 0x9C);
    EXPECT_EQ(Neighbours().find("PERMANENT"), std::string::npos) << Neighbours();
    EXPECT_EQ(Sender->AnswerTimeout, kAnswerTimeout);

    WaitUntilRestarted();
    EXPECT_EQ(Sender->SearchByIP("10.88.0.60"), kDeviceMAC) << "the device answers at its new address";
}

TEST_F(AssignIPLab, DeviceSilentToARPInAForeignSubnetIsReachedThroughATemporaryEntry)
{
    Start({{kDeviceMAC, "192.168.77.5", {.RestartMs = 300, .SilentToARP = true}}});
    std::string entryWhileSending;
    View.OnPump = [&] {
        if (View.Status() == "Předávám informace ...")
            entryWhileSending = Neighbours("10.88.0.61");
    };
    View.Answers = {TMessageAnswer::Yes};
    Sender->AnswerTimeout = kAnswerTimeout;

    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, "10.88.0.61", kMask, kGateway));
    EXPECT_TRUE(Sender->DeviceAnswered);
    ASSERT_EQ(View.Questions.size(), 1u);
    ExpectQuestion(0, kUnreachableText, TMessageIcon::Warning, TMessageAnswer::Yes);
    EXPECT_NE(entryWhileSending.find(std::string("10.88.0.61 lladdr ") + kDeviceEntry + " PERMANENT"),
              std::string::npos)
        << entryWhileSending;

    const auto sets = SetRequests("10.88.0.61");
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(SimIPToText(sets[0].To), "10.88.0.61") << "the new address, delivered to its MAC";
    EXPECT_TRUE(Device(0).ReceivedWithCode(0xF8).empty()) << "nothing to read it at";
    const auto searches = Device(0).ReceivedWithCode(0xF6);
    ASSERT_EQ(searches.size(), 2u) << "the broadcast, then one search at the new address";
    EXPECT_EQ(SimIPToText(searches[1].To), "10.88.0.61");
    EXPECT_EQ(SimIPToText(Device(0).IP()), "10.88.0.61");

    EXPECT_EQ(Neighbours("10.88.0.61"), "") << "the temporary entry is gone";
    EXPECT_EQ(Neighbours().find("PERMANENT"), std::string::npos) << Neighbours();
    EXPECT_EQ(Sender->AnswerTimeout, kAnswerTimeout);
}

// "10.88.0.061" is 10.88.0.49 to the C library: the device gets 10.88.0.49 through the
// temporary entry, and that is where it is looked for and found.
TEST_F(AssignIPLab, AddressTypedWithALeadingZeroIsUsedAsTheAddressTheDeviceGets)
{
    Start({{kDeviceMAC, "192.168.77.8", {.RestartMs = 300, .SilentToARP = true}}});
    View.Answers = {TMessageAnswer::Yes};
    Sender->AnswerTimeout = kAnswerTimeout;

    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, "10.88.0.061", kMask, kGateway));
    const auto sets = SetRequests("10.88.0.49");
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(SimIPToText(sets[0].To), "10.88.0.49");
    EXPECT_EQ(SimIPToText(Device(0).IP()), "10.88.0.49");
    for (const std::string& status : View.Statuses)
        EXPECT_EQ(status.find("061"), std::string::npos) << status;
    EXPECT_EQ(Neighbours("10.88.0.49"), "") << "the temporary entry is gone";
    EXPECT_EQ(Neighbours().find("PERMANENT"), std::string::npos) << Neighbours();
}

TEST_F(AssignIPLab, TemporaryEntryIsRemovedAlsoWhenTheDeviceNeverComesBack)
{
    // It takes the request, then stays deaf for longer than the test.
    Start({{kDeviceMAC, "192.168.77.6", {.RestartMs = 120000, .SilentToARP = true}}});
    View.Answers = {TMessageAnswer::Yes};
    Sender->AnswerTimeout = kAnswerTimeout;

    const auto start = TLabClock::now();
    EXPECT_FALSE(Sender->AssignIP(kDeviceMAC, "10.88.0.62", kMask, kGateway));
    const long long took = MillisecondsSince(start);
    EXPECT_GE(took, 13 * 11 * 100) << "13 searches of 11 cycles";
    EXPECT_LT(took, 25000);
    EXPECT_FALSE(Sender->DeviceAnswered);
    EXPECT_EQ(std::count(View.Statuses.begin(), View.Statuses.end(), kWaitStatus), 13);
    const auto sets = SetRequests("10.88.0.62");
    ASSERT_EQ(sets.size(), 1u) << "the first request restarted it; the others found it deaf";
    EXPECT_EQ(SimIPToText(sets[0].To), "10.88.0.62");

    EXPECT_EQ(Neighbours("10.88.0.62"), "") << "the temporary entry is gone";
    EXPECT_EQ(Neighbours().find("PERMANENT"), std::string::npos) << Neighbours();
    EXPECT_EQ(Sender->AnswerTimeout, kAnswerTimeout);
}

TEST_F(AssignIPLab, AddressAnsweredByAnotherStationIsAskedAboutOrRefusedAndNothingIsSent)
{
    const std::string stranger = AddStation("10.88.0.77/24");
    Start({{kDeviceMAC, "10.88.0.50"}, {"00-20-4a-88-00-71", "192.168.77.7", {.SilentToARP = true}}});
    const auto before = FillTableWithStrangers();
    Sender->AnswerTimeout = kAnswerTimeout;

    // Reachable: the question comes before the device is written directly.
    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Sender->AssignIP(kDeviceMAC, "10.88.0.77", kMask, kGateway));
    ASSERT_EQ(View.Questions.size(), 1u);
    ExpectQuestion(0, ConflictText("10.88.0.77", stranger), TMessageIcon::Question,
                   TMessageAnswer::No);

    // Unreachable: a temporary entry would take the station's traffic, so none is made, whatever
    // the answers.
    View.Questions.clear();
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    EXPECT_THROW(Sender->AssignIP("00-20-4a-88-00-71", "10.88.0.77", kMask, kGateway), Exception);
    ASSERT_EQ(View.Questions.size(), 1u);
    ExpectQuestion(0, kUnreachableText, TMessageIcon::Warning, TMessageAnswer::Yes);

    for (std::size_t i = 0; i < 2; ++i) {
        // Each assignment's broadcast reaches both devices; nothing else reaches either.
        EXPECT_EQ(Device(i).ReceivedWithCode(0xF6).size(), 2u) << "device " << i;
        EXPECT_EQ(Device(i).Received().size(), 2u) << "device " << i;
    }
    EXPECT_EQ(NeighbourTable(), before);
}

TEST_F(AssignIPLab, AddressOutsideTheWorkstationsSubnetsIsAskedAboutAndNoSendsNothing)
{
    Start({{kDeviceMAC, "10.88.0.50"}});
    AddStaticNeighbour("172.16.5.5", "02:00:00:00:00:55");
    const auto before = FillTableWithStrangers();
    View.Answers = {TMessageAnswer::No};

    EXPECT_FALSE(Sender->AssignIP(kDeviceMAC, "172.16.5.5", kMask, kGateway));
    ASSERT_EQ(View.Questions.size(), 1u);
    ExpectQuestion(0,
                   "Adresa, kterou chcete přiřadit (172.16.5.5) nepřísluší stejné podsíti jako "
                   "tento počítač.\r\nChcete ji přesto přiřadit?",
                   TMessageIcon::Warning, TMessageAnswer::No);
    EXPECT_TRUE(Sender->DeviceAnswered);
    EXPECT_TRUE(Device(0).Received().empty());
    EXPECT_EQ(NeighbourTable(), before);
}

TEST_F(AssignIPLab, WorkstationsOwnAddressGetsNoTemporaryEntryAndLeavesNothingInTheWay)
{
    Start({{kDeviceMAC, "192.168.77.8", {.RestartMs = 300, .SilentToARP = true}}});
    Sender->AnswerTimeout = kAnswerTimeout;
    View.Answers = {TMessageAnswer::Yes};

    EXPECT_EQ(test::ARPMessageOf([&] { Sender->AssignIP(kDeviceMAC, kStationIP, kMask, kGateway); }),
              std::string("CreateARPEntry:\r\n") + kStationIP + " is an address of this host");
    ASSERT_EQ(View.Questions.size(), 1u);
    ExpectQuestion(0, kUnreachableText, TMessageIcon::Warning, TMessageAnswer::Yes);
    EXPECT_TRUE(Device(0).ReceivedWithCode(0xFD).empty());
    EXPECT_EQ(NeighboursEverywhere().find(kDeviceEntry), std::string::npos) << NeighboursEverywhere();
    EXPECT_EQ(Sender->AnswerTimeout, kAnswerTimeout);

    View.Questions.clear();
    View.Answers = {TMessageAnswer::Yes};
    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, "10.88.0.63", kMask, kGateway));
    EXPECT_EQ(SimIPToText(Device(0).IP()), "10.88.0.63");
    EXPECT_EQ(NeighboursEverywhere().find(kDeviceEntry), std::string::npos) << NeighboursEverywhere();
}

TEST_F(AssignIPLab, StaticEntryOfTheDevicesMACThatTheToolDidNotMakeIsLeftAloneAndTheAssignmentGoesOn)
{
    Start({{kDeviceMAC, "192.168.77.9", {.RestartMs = 300, .SilentToARP = true}}});
    // The kernel files it under 0.0.0.0, as it did the entries once made for an own address.
    AddStaticNeighbour(kStationIP, kDeviceMAC, "lo");
    ASSERT_NE(NeighboursEverywhere().find(std::string("0.0.0.0 dev lo lladdr ") + kDeviceEntry),
              std::string::npos)
        << NeighboursEverywhere();
    Sender->AnswerTimeout = kAnswerTimeout;
    View.Answers = {TMessageAnswer::Yes};

    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, "10.88.0.64", kMask, kGateway));
    EXPECT_EQ(SimIPToText(Device(0).IP()), "10.88.0.64");
    EXPECT_NE(NeighboursEverywhere().find(std::string("0.0.0.0 dev lo lladdr ") + kDeviceEntry), std::string::npos)
        << NeighboursEverywhere();
}

} // namespace
} // namespace qubra::lab
