#include "ConversationTestSupport.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "model/Conversions.h"
#include "net/ARPManager.h"
#include "net/ARPMemoryBackend.h"
#include "tests/net/ARPTestSupport.h"

namespace qubra::test {
namespace {

const char* const kForeignDeviceIP = "127.0.2.9";
const char* const kOtherStationMAC = "02-00-00-00-00-50";

// The workstation sits in 127.0.0.0/24 with one known neighbour; addresses in 127.0.1.0 and
// 127.0.2.0 are foreign subnets.
class AssignIPTest : public ConversationTest {
protected:
    TARPMemoryBackend Arp;
    std::unique_ptr<TScopedIPHelper> Scope;
    std::vector<MIB_IPNETROW> TableBefore;

    void SetUp() override
    {
        Arp.AddAddress("127.0.0.1", "255.255.255.0", 1);
        Arp.AddNeighbour("127.0.0.254", "02-00-00-00-00-fe", MIB_IPNET_TYPE_DYNAMIC, 1);
        Scope = std::make_unique<TScopedIPHelper>(Arp.Loader());
        TableBefore = Arp.Neighbours;
    }

    bool TableUnchanged() const
    {
        return Arp.Neighbours.size() == TableBefore.size() &&
               std::memcmp(Arp.Neighbours.data(), TableBefore.data(),
                           TableBefore.size() * sizeof(MIB_IPNETROW)) == 0;
    }

    void ExpectQuestion(std::size_t index, const std::string& caption, const std::string& text,
                        TMessageIcon icon, TMessageAnswer defaultButton) const
    {
        ASSERT_GT(View.Questions.size(), index);
        const TMessageBox& box = View.Questions[index];
        EXPECT_EQ(box.Caption, caption);
        EXPECT_EQ(box.Text, text);
        EXPECT_EQ(box.Icon, icon);
        EXPECT_EQ(box.DefaultButton, defaultButton);
        EXPECT_EQ(box.Buttons, TMessageButtons::YesNo);
    }
};

TEST_F(AssignIPTest, InvalidMACEndsAtOnceWithoutAQuestion)
{
    TSimDevice& device = AddDevice();
    Start();
    for (const char* mac : {"00-20-4a-00-00", "", "zz-20-4a-00-00-01", "00-20-4a-00-00-01-02"}) {
        EXPECT_FALSE(Sender->AssignIP(mac, kDeviceIP, 0, "0.0.0.0")) << mac;
    }
    EXPECT_TRUE(View.Questions.empty());
    EXPECT_TRUE(View.Statuses.empty());
    EXPECT_TRUE(Arp.Calls.empty());
    EXPECT_TRUE(device.Received().empty());
}

TEST_F(AssignIPTest, AddressOutsideTheSubnetsIsAskedFirstAndNoEndsIt)
{
    TSimDevice& device = AddDevice();
    Start();
    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Sender->AssignIP(kDeviceMAC, "10.1.2.3", 0, "0.0.0.0"));
    ExpectQuestion(0, "Varování",
                   "Adresa, kterou chcete přiřadit (10.1.2.3) nepřísluší stejné podsíti jako tento "
                   "počítač.\r\nChcete ji přesto přiřadit?",
                   TMessageIcon::Warning, TMessageAnswer::No);
    EXPECT_TRUE(Sender->DeviceAnswered);
    EXPECT_EQ(View.Questions.size(), 1u);
    EXPECT_TRUE(device.Received().empty());
    EXPECT_TRUE(TableUnchanged());
}

TEST_F(AssignIPTest, ReachableDeviceAtTheNewAddressGetsTheSettingsDirectly)
{
    TSimDevice& device = AddDevice();
    Start();
    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, kDeviceIP, StrToIP("255.255.255.0"), "127.0.0.254"));
    EXPECT_TRUE(View.Questions.empty());
    EXPECT_TRUE(Sender->DeviceAnswered);
    EXPECT_EQ(View.Statuses.front(), "Hledání zařízení 00-20-4a-00-00-01...");
    const std::vector<TBytes> sent = device.PayloadsWithCode(0xFD);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][10], 8);
    EXPECT_EQ(Arp.CallCount("CreateIpNetEntry"), 0);
    EXPECT_TRUE(TableUnchanged());
}

TEST_F(AssignIPTest, AddressTakenByAnotherStationIsAskedWithTheFixedTexts)
{
    TSimDevice& device = AddDevice();
    Arp.AddStation("127.0.0.50", kOtherStationMAC);
    Start();
    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Sender->AssignIP(kDeviceMAC, "127.0.0.50", 0, "0.0.0.0"));
    ExpectQuestion(0, "Varování",
                   "IP adresa 127.0.0.50 již je přiřazena jinému zařízení v síti (02-00-00-00-00-50) "
                   "a mohlo by dojít ke konfliktu.\r\nChcete přesto pokračovat?",
                   TMessageIcon::Question, TMessageAnswer::No);
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty());
    EXPECT_TRUE(TableUnchanged());

    // The device itself answering for the address is no conflict.
    Arp.Stations.clear();
    Arp.AddStation("127.0.0.50", kDeviceMAC);
    View.Questions.clear();
    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, "127.0.0.50", 0, "0.0.0.0"));
    EXPECT_TRUE(View.Questions.empty());
}

TEST_F(AssignIPTest, FoundButUnreachableDeviceIsAskedAboutWithYesAsDefault)
{
    TSimDevice& device = AddDevice("127.0.1.5");
    Start();
    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Sender->AssignIP(kDeviceMAC, "127.0.0.60", 0, "0.0.0.0"));
    ExpectQuestion(0, "Varování",
                   "Zařízení bylo detekováno, ale nelze s ním komunikovat kvůli jeho síťovému "
                   "nastavení. Pokud se pokusíte nastavit jeho IP adresu, můžou být ztracena některá "
                   "současná nastavení zařízení.\r\nChcete přesto pokračovat?",
                   TMessageIcon::Warning, TMessageAnswer::Yes);
    EXPECT_TRUE(Sender->DeviceAnswered);
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty());
    EXPECT_TRUE(TableUnchanged());
    EXPECT_EQ(Arp.CallCount("SendARP"), 1);
}

TEST_F(AssignIPTest, DeviceNotFoundIsAskedAboutThenAnAddressAnotherStationHoldsIsRefused)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Arp.AddStation("127.0.0.60", kOtherStationMAC);
    Start(100);
    const std::string notFound =
        "Zařízení (00-20-4a-00-00-01) nebylo nalezeno!\r\nPokud jste si jisti, že je zařízení "
        "správně připojeno k síti a souhlasí MAC adresa,  je možné že jeho síťové nastavení "
        "nesouhlasí s místní sítí a nekomunikuje správně.\r\n\r\nChcete přesto zkusit přiřadit IP "
        "adresu?";

    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Sender->AssignIP(kDeviceMAC, "127.0.0.60", 0, "0.0.0.0"));
    ExpectQuestion(0, "Zařízení nebylo nalezeno", notFound, TMessageIcon::Warning, TMessageAnswer::No);
    EXPECT_FALSE(Sender->DeviceAnswered);
    EXPECT_EQ(View.Questions.size(), 1u);

    // A temporary entry would take the station's traffic: no answer lets that happen.
    View.Questions.clear();
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    try {
        Sender->AssignIP(kDeviceMAC, "127.0.0.60", 0, "0.0.0.0");
        ADD_FAILURE() << "assigned";
    } catch (const Exception& error) {
        EXPECT_EQ(std::string(error.what()),
                  "IP adresa 127.0.0.60 již je přiřazena jinému zařízení v síti (02-00-00-00-00-50).\r\n"
                  "Dočasný záznam ARP by přesměroval provoz této stanice. Zvolte jinou adresu.");
    }
    EXPECT_EQ(View.Questions.size(), 1u);
    EXPECT_EQ(View.Status(), "Kontrola IP adresy 127.0.0.60...");
    EXPECT_EQ(Arp.CallCount("CreateIpNetEntry"), 0);
    EXPECT_TRUE(TableUnchanged());
}

TEST_F(AssignIPTest, TemporaryEntryCarriesTheRequestsAndIsRemovedAfterwards)
{
    TSimDevice& device = AddDevice(kForeignDeviceIP);
    Start(700);
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, kForeignDeviceIP, 0, "0.0.0.0"));
    EXPECT_EQ(View.Questions.size(), 2u);
    EXPECT_TRUE(Sender->DeviceAnswered);
    EXPECT_EQ(Sender->AnswerTimeout, 700);
    // Three unacknowledged requests, nothing asked first.
    EXPECT_EQ(device.PayloadsWithCode(0xFD).size(), 3u);
    EXPECT_TRUE(device.PayloadsWithCode(0xF8).empty());
    EXPECT_EQ(Arp.CallCount("CreateIpNetEntry"), 1);
    EXPECT_NE(std::find(Arp.Calls.begin(), Arp.Calls.end(), "DeleteIpNetEntry 127.0.2.9"), Arp.Calls.end());
    EXPECT_TRUE(TableUnchanged());
    EXPECT_EQ(View.Statuses.back(), "Čekám na zařízení...");
}

// An address given in another form than the tool writes (here with octal parts) is sent,
// searched for and shown as the address the device really gets.
TEST_F(AssignIPTest, NewAddressIsUsedInTheFormTheDeviceReportsIt)
{
    TSimDevice& reachable = AddDevice();
    TSimDevice& foreign = AddDevice(kForeignDeviceIP, "00-20-4a-00-00-02");
    Start(300);

    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, "127.0.0.010", 0, "0.0.0.0"));
    const std::vector<TBytes> direct = reachable.PayloadsWithCode(0xFD);
    ASSERT_EQ(direct.size(), 1u);
    EXPECT_EQ(SimIPToText(SimReadIP(direct[0], kSimIPOffset)), "127.0.0.8");
    EXPECT_EQ(View.Status(), "Nastavení IP adresy na 127.0.0.8...");

    // Through the temporary entry the device is found again at the address it got.
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    View.Statuses.clear();
    EXPECT_TRUE(Sender->AssignIP("00-20-4a-00-00-02", "127.0.2.011", 0, "0.0.0.0"));
    EXPECT_FALSE(foreign.PayloadsWithCode(0xFD).empty());
    EXPECT_NE(std::find(View.Statuses.begin(), View.Statuses.end(), "Kontrola IP adresy 127.0.2.9..."),
              View.Statuses.end());
    for (const std::string& status : View.Statuses)
        EXPECT_EQ(status.find("011"), std::string::npos) << status;
    EXPECT_TRUE(TableUnchanged());
}

TEST_F(AssignIPTest, QuestionsAndStatusesAreLookedUpByTheirOwnKeys)
{
    AddDevice(kForeignDeviceIP);
    AddDevice(kDeviceIP, "00-20-4a-00-00-02");
    Arp.AddStation("127.0.0.60", kOtherStationMAC);
    Start(100);
    const TKeyedTexts keyed;

    // Through the temporary entry, after the subnet and the unreachable questions.
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, kForeignDeviceIP, 0, "0.0.0.0"));
    ExpectQuestion(0, "[Varování]", "[Adresakterouc]127.0.2.9[nepříslušíste]\r\n[Chcetejipřesto]",
                   TMessageIcon::Warning, TMessageAnswer::No);
    ExpectQuestion(1, "[Varování0]", "[Zařízeníbylode]\r\n[Chcetepřestopo]", TMessageIcon::Warning,
                   TMessageAnswer::Yes);
    const std::string setting = "[NastaveníIPadr]127.0.2.9...";
    EXPECT_EQ(View.Statuses,
              (std::vector<std::string>{"[Hledánízařízení]00-20-4a-00-00-01...",
                                        "[Vyhledávámzaříz]00-20-4a-00-00-01...",
                                        "[KontrolaIPadre]127.0.2.9...", "[Předáváminforma]", setting,
                                        setting, setting, "[Čekámnazařízen]"}));

    // Not found, then the refusal of an address another station holds.
    View.Questions.clear();
    View.Answers = {TMessageAnswer::Yes};
    try {
        Sender->AssignIP("00-20-4a-00-00-09", "127.0.0.60", 0, "0.0.0.0");
        ADD_FAILURE() << "assigned";
    } catch (const Exception& error) {
        EXPECT_EQ(std::string(error.what()),
                  "[IPadresa0]127.0.0.60[jižjepřiřazen0]02-00-00-00-00-50).\r\n[DočasnýzáznamA]");
    }
    ExpectQuestion(0, "[Zařízenínebylo]",
                   "[Zařízení]00-20-4a-00-00-09[nebylonalezen]\r\n[Pokudjstesiji][jemožnéžejeh]"
                   "\r\n\r\n[Chcetepřestozk]",
                   TMessageIcon::Warning, TMessageAnswer::No);

    // Found and reachable: only the first text of the conflict question is looked up.
    View.Questions.clear();
    View.Answers = {TMessageAnswer::No};
    EXPECT_FALSE(Sender->AssignIP("00-20-4a-00-00-02", "127.0.0.60", 0, "0.0.0.0"));
    ExpectQuestion(0, "Varování",
                   "[IPadresa]127.0.0.60 již je přiřazena jinému zařízení v síti (02-00-00-00-00-50) "
                   "a mohlo by dojít ke konfliktu.\r\nChcete přesto pokračovat?",
                   TMessageIcon::Question, TMessageAnswer::No);
    EXPECT_TRUE(TableUnchanged());
}

TEST_F(AssignIPTest, TemporaryEntryAndTimeoutAreRestoredWhenTheViewFails)
{
    AddDevice(kForeignDeviceIP, kDeviceMAC);
    Start(700);
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    View.OnPump = [this] {
        if (View.Status() == "Čekám na zařízení...") {
            EXPECT_EQ(Sender->AnswerTimeout, 1000);
            EXPECT_EQ(Arp.Neighbours.size(), TableBefore.size() + 1);
            throw std::runtime_error("window gone");
        }
    };
    EXPECT_THROW(Sender->AssignIP(kDeviceMAC, kForeignDeviceIP, 0, "0.0.0.0"), std::runtime_error);
    EXPECT_EQ(Sender->AnswerTimeout, 700);
    EXPECT_TRUE(TableUnchanged());
}

TEST_F(AssignIPTest, AStopWhileWaitingAtTheNewAddressTakesTheSameWayOut)
{
    TSimDevice& device = AddDevice(kForeignDeviceIP, kDeviceMAC, {.Silent = true});
    Start(TfDataSender::kDefaultAnswerTimeout);
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    View.OnKeepAlive = [this] {
        if (View.Status() == "Čekám na zařízení...") {
            EXPECT_EQ(Arp.Neighbours.size(), TableBefore.size() + 1);
            View.Cancel = true;
        }
    };
    const auto start = TClock::now();
    EXPECT_THROW(Sender->AssignIP(kDeviceMAC, kForeignDeviceIP, 0, "0.0.0.0"), EOperationCancelled);
    // The search for the device took its 3.5 s; the wait at the new address ended at once.
    EXPECT_LT(MillisecondsSince(start), 3600 + 500);
    EXPECT_EQ(Sender->AnswerTimeout, TfDataSender::kDefaultAnswerTimeout);
    EXPECT_TRUE(TableUnchanged());
    EXPECT_EQ(device.PayloadsWithCode(0xFD).size(), 3u);
}

TEST_F(AssignIPTest, EntryThatCannotBeCreatedEndsTheAssignment)
{
    TSimDevice& device = AddDevice(kForeignDeviceIP);
    Arp.Failures["CreateIpNetEntry"] = 1;  // EPERM: no right to change the table
    Start();
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    EXPECT_THROW(Sender->AssignIP(kDeviceMAC, kForeignDeviceIP, 0, "0.0.0.0"), EARPException);
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty());
    EXPECT_TRUE(TableUnchanged());
}

TEST_F(AssignIPTest, NoTemporaryEntryForTheWorkstationsOwnAddressOrOnALinkWithoutARP)
{
    TSimDevice& device = AddDevice(kForeignDeviceIP);
    Start(100);
    const auto refused = [&](const std::string& NewIP) {
        View.Answers = {TMessageAnswer::Yes};   // found but unreachable: go on
        return test::ARPMessageOf([&] { Sender->AssignIP(kDeviceMAC, NewIP, 0, "0.0.0.0"); });
    };

    EXPECT_EQ(refused("127.0.0.1"), "CreateARPEntry:\r\n" + SystemText(EADDRINUSE, "00000062"));
    Arp.NoARPInterfaces = {1};
    EXPECT_EQ(refused("127.0.0.60"), "CreateARPEntry:\r\n" + SystemText(EOPNOTSUPP, "0000005F"));
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty()) << "nothing sent without the entry";
    EXPECT_TRUE(TableUnchanged());

    // Nothing was left behind that would stand in the way of the next assignment.
    Arp.NoARPInterfaces.clear();
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, kForeignDeviceIP, 0, "0.0.0.0"));
    EXPECT_TRUE(TableUnchanged());
}

TEST_F(AssignIPTest, TemporaryEntryThatOutlivesItsRemovalIsReportedBesideTheSuccess)
{
    AddDevice(kForeignDeviceIP);
    Start(700);
    View.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    // The host files the entry under another address than asked (as Linux does on loopback
    // and point-to-point links), so removing it by its address finds nothing.
    View.OnPump = [this] {
        for (MIB_IPNETROW& row : Arp.Neighbours)
            if (row.dwType == MIB_IPNET_TYPE_STATIC)
                row.dwAddr = 0;
    };
    EXPECT_TRUE(Sender->AssignIP(kDeviceMAC, kForeignDeviceIP, 0, "0.0.0.0"));
    EXPECT_EQ(Sender->AssignmentLeftover,
              "Dočasný záznam ARP se nepodařilo odstranit: DeleteARPEntry:\r\nThe temporary entry "
              "for 00-20-4a-00-00-01 is still in the ARP table (0.0.0.0 on interface 1).");
    EXPECT_EQ(Sender->AnswerTimeout, 700);
}

} // namespace
} // namespace qubra::test
