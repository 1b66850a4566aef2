// The main window's commands against a simulated device on loopback, with scripted prompts,
// message boxes and wizard.
#include <gtest/gtest.h>

#include <QShortcut>
#include <QSpinBox>
#include <QTest>

#include <deque>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "i18n/Language.h"
#include "sim/SimRecords.h"
#include "sim/SimText.h"
#include "tests/control/ControlTestSupport.h"
#include "tests/ui/UiDeviceTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/MainWindow.h"
#include "ui/SetIPWizard.h"

using namespace qubra;
using namespace qubra::test;

namespace {

constexpr std::uint8_t kSetCode = 0xC0;

class MainWindowTest : public UiDeviceTest {
protected:
    std::deque<std::optional<QString>> PromptAnswers;
    std::vector<QString> PromptStarts;
    // What the wizard does when it runs; none: it is not expected to run.
    std::function<int(TMACAddress& MAC)> Wizard;
    int WizardRuns = 0;
    std::unique_ptr<TfQUBRA> Window;

    void Start()
    {
        StartDevices();
        TMainWindowServices services;
        services.Boxes = &Boxes;
        services.CreateView = ViewFactory();
        services.Prompt = [this](const QString&, const QString&, const QString& Text) -> std::optional<QString> {
            PromptStarts.push_back(Text);
            if (PromptAnswers.empty()) return std::nullopt;
            auto answer = PromptAnswers.front();
            PromptAnswers.pop_front();
            return answer;
        };
        services.RunWizard = [this](TDeviceController&, TMACAddress& MAC) {
            ++WizardRuns;
            return Wizard ? Wizard(MAC) : TfSetIPWiz::ResultCancelled;
        };
        Window = std::make_unique<TfQUBRA>(*Manager, std::move(services));
        AimAtDevices(Window->Controller());
    }

    bool SettingsOnShow() const { return !Window->pnlDevSetup->isHidden() && Window->pnlNone->isHidden(); }

    void FindByIP(const char* IP)
    {
        PromptAnswers.push_back(QString::fromLatin1(IP));
        Window->FindByIPClick();
    }
};

} // namespace

TEST_F(MainWindowTest, StartsWithTheEmptyPanelAndTheDesignedTexts)
{
    Start();
    EXPECT_EQ(Window->size(), TfQUBRA::ClientSize);
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("QUBRA 232 - nastavení"));
    EXPECT_FALSE(Window->pnlNone->isHidden());
    EXPECT_TRUE(Window->pnlDevSetup->isHidden());
    EXPECT_TRUE(Window->lblTitulek->text().isEmpty());
    EXPECT_TRUE(Window->tabTeplomer->Selected());
    EXPECT_FALSE(Window->tabSit->Selected());

    Window->MenuHintEnter(Window->menuMAC);
    EXPECT_EQ(Window->lblTitulek->text(), QStringLiteral("Vyhledat zařízení podle známé MAC adresy"));
    Window->MenuHintLeave(Window->menuMAC);
    EXPECT_TRUE(Window->lblTitulek->text().isEmpty());
}

TEST_F(MainWindowTest, FindByIPShowsTheDeviceAndOffersItsAddressNextTime)
{
    AddDevice("127.0.0.4");
    Start();
    FindByIP("127.0.0.4");
    ASSERT_EQ(PromptStarts.size(), 1u);
    EXPECT_EQ(PromptStarts[0], QStringLiteral("192.168.1.254"));
    ASSERT_TRUE(Window->Controller().DeviceLoaded) << LastNotice();
    EXPECT_TRUE(SettingsOnShow());
    EXPECT_EQ(Window->lblMACTitle->text(), QStringLiteral("00-20-4A-00-00-01"));

    Window->FindByIPClick(); // cancelled
    EXPECT_EQ(PromptStarts.back(), QStringLiteral("127.0.0.4"));
    Window->FindByMACClick(); // cancelled
    EXPECT_EQ(PromptStarts.back(), QStringLiteral("00-20-4a-00-00-01")) << "the device on show";

    QTest::mouseClick(Window->cmdCloseSet->Tlac, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(SettingsOnShow()) << "the close button";
    EXPECT_FALSE(IsZeroMAC(Window->Controller().DeviceMAC)) << "the identity stays";
}

TEST_F(MainWindowTest, FindByMACShowsTheDeviceWithTheAddressItAnswersAt)
{
    AddDevice("127.0.0.6");
    Start();
    PromptAnswers.push_back(QStringLiteral("00 20 4A 00 00 01"));
    Window->FindByMACClick();
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();
    EXPECT_EQ(IPToStr(Window->Controller().DeviceIP), "127.0.0.6");
    EXPECT_EQ(Window->Pages->IPSet().GetIPText(), QStringLiteral("127.0.0.6"));
    EXPECT_EQ(Window->lblMACTitle->text(), QStringLiteral("00-20-4A-00-00-01"));
}

TEST_F(MainWindowTest, LoadFromDeviceFindsTheDeviceByItsMACAtItsNewAddress)
{
    TSimKnobs restarting;
    restarting.RestartMs = 0;
    TSimDevice& device = AddDevice("127.0.0.4", restarting);
    Start();
    FindByIP("127.0.0.4");
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();

    // Another tool gives the device a new address meanwhile.
    TBytes setIP(kSimSettingsRecord.Size, 0);
    setIP[kSimCodeOffset] = kSimSettingsRecord.Set;
    SimWriteIP(setIP, kSimIPOffset, SimTextToIP("127.0.0.9"));
    device.Handle(setIP, TSimPeer{}, device.IP(), TSimClock::now());
    ASSERT_EQ(SimIPToText(device.IP()), "127.0.0.9");

    Window->LoadFromDeviceClick();
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();
    EXPECT_EQ(IPToStr(Window->Controller().DeviceIP), "127.0.0.9");
    EXPECT_EQ(Window->Pages->IPSet().GetIPText(), QStringLiteral("127.0.0.9"));
}

TEST_F(MainWindowTest, DefaultsThenWriteSendsExactlyTheDefaultRecord)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    controltest::TRecordReader held(device.Record());
    held.Record().SetValue("unit_port", TItemValue(std::int64_t{12345}));
    held.Record().SetValue("telnet_password", "abcd");
    device.SetRecord(held.Record().GetData());
    Start();
    FindByIP("127.0.0.4");
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();

    Window->DefaultsClick();
    auto* port = qobject_cast<QSpinBox*>(Window->Pages->Control("seSourcePort"));
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->value(), 10001) << "the controls show the defaults";
    Window->WriteToDeviceClick();
    const std::vector<TBytes> sets = device.PayloadsWithCode(kSetCode);
    ASSERT_EQ(sets.size(), 1u) << LastNotice();

    // Fields without a default (the device's own address) keep what the device holds.
    held.Record().ApplyDefaults();
    const TBytes expected = held.Record().GetData();
    ASSERT_EQ(sets[0].size(), expected.size());
    for (std::size_t i = 4; i < expected.size(); ++i)
        EXPECT_EQ(sets[0][i], expected[i]) << "byte " << i;
}

TEST_F(MainWindowTest, NoToTheConflictQuestionSendsNothing)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    // A loopback address is no device's: the new one lies in a subnet of the in-memory table.
    Network.AddAddress("192.0.2.1", "255.255.255.0", 1);
    Network.AddStation("192.0.2.7", "00-11-22-33-44-55");
    Start();
    FindByIP("127.0.0.4");
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();
    Window->Pages->IPSet().SetValues("192.0.2.7", "255.255.255.0", "0.0.0.0");
    Boxes.Answers = {TMessageAnswer::No};
    Window->WriteToDeviceClick();
    ASSERT_EQ(Boxes.Questions.size(), 1u) << "within the subnet: only the conflict question";
    EXPECT_NE(Boxes.Questions[0].Text.find("00-11-22-33-44-55"), std::string::npos) << Boxes.Questions[0].Text;
    EXPECT_TRUE(device.PayloadsWithCode(kSetCode).empty());
    EXPECT_TRUE(SettingsOnShow());
}

TEST_F(MainWindowTest, APartlyConfirmedWriteSaysSoAndReadsTheDeviceBack)
{
    // A device that keeps a second record but never confirms writing it.
    constexpr TSimRecordCodes kUnconfirmed{0xE1, 0xD1, 0xC9, 0xB1, 40};
    TSimDevice& device = AddDevice("127.0.0.4");
    device.AddRecord(kUnconfirmed, TBytes(40, 0x33));
    auto second = std::make_unique<TDataPacket>("SetupRecord1", ptSetup, "000000e1", "000000d1", "000000c1",
                                                "000000b1", 40);
    second->AddItem(std::make_unique<TDataItem>("$header", 0, 32, 0, itHexa, second->Buffer()));
    Manager->AddPacket(std::move(second));
    Start();
    FindByIP("127.0.0.4");
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();
    const std::size_t queries = device.PayloadsWithCode(0xE0).size();

    Window->WriteToDeviceClick();
    EXPECT_EQ(device.PayloadsWithCode(kSetCode).size(), 1u);
    const auto partly = std::ranges::find(Views.Notices, std::string("Nastavení zařízení se nezdařilo kompletně"),
                                          &TRecordingView::TNotice::Text);
    EXPECT_NE(partly, Views.Notices.end()) << LastNotice();
    EXPECT_EQ(device.PayloadsWithCode(0xE0).size(), queries + 1) << "read back";
    EXPECT_TRUE(SettingsOnShow());
}

TEST_F(MainWindowTest, InvalidPromptTextsWarnAndChangeNothing)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    Start();
    FindByIP("127.0.0.4");
    ASSERT_TRUE(SettingsOnShow());
    const auto received = device.Received().size();

    FindByIP("127.0.0.256");
    ASSERT_EQ(Boxes.Questions.size(), 1u);
    EXPECT_EQ(Boxes.Questions[0].Caption, "Upozornění");
    EXPECT_EQ(Boxes.Questions[0].Text, "Toto není platná IP adresa");
    EXPECT_EQ(Boxes.Questions[0].Icon, TMessageIcon::Warning);

    PromptAnswers.push_back(QStringLiteral("00-20-4a-00-00"));
    Window->FindByMACClick();
    ASSERT_EQ(Boxes.Questions.size(), 2u);
    EXPECT_EQ(Boxes.Questions[1].Text, "Toto není platná MAC adresa");

    TBoxRecorder errors;
    PromptAnswers.push_back(QStringLiteral("00:20:4a:00:00:02"));
    Guarded([this] { Window->FindByMACClick(); })();
    ASSERT_EQ(errors.Boxes.size(), 1u) << "the conversion error";
    EXPECT_EQ(Window->Controller().DeviceMAC, MACOf(kSimMAC));
    EXPECT_TRUE(SettingsOnShow());
    EXPECT_EQ(device.Received().size(), received) << "nothing sent";
}

TEST_F(MainWindowTest, ADeviceThatAnswersTheSearchButNotTheQueryLeavesTheEmptyPanel)
{
    TSimKnobs shortAnswers;
    shortAnswers.ShortAnswers = 8;
    AddDevice("127.0.0.4", shortAnswers);
    Start();
    FindByIP("127.0.0.4");
    EXPECT_FALSE(SettingsOnShow());
    EXPECT_EQ(LastNotice(), "Komunikace se zařízením selhala!");
    EXPECT_EQ(Window->Controller().DeviceMAC, MACOf(kSimMAC)) << "found by the search";
}

TEST_F(MainWindowTest, SetIPAsksOnlyAboutADeviceThatIsNotOnShow)
{
    AddDevice("127.0.0.4");
    Start();
    Wizard = [](TMACAddress& MAC) {
        MAC = MACOf(kSimMAC);
        return TfSetIPWiz::ResultAssigned;
    };
    Boxes.Answers = {TMessageAnswer::No};
    Window->SetIPClick();
    EXPECT_EQ(WizardRuns, 1);
    ASSERT_EQ(Boxes.Questions.size(), 1u) << "no device on show: the question";
    EXPECT_EQ(Boxes.Questions[0].Text, "Chcete toto zařízení nastavit?");
    EXPECT_FALSE(SettingsOnShow()) << "No ends it";

    Boxes.Answers = {TMessageAnswer::Yes};
    Window->SetIPClick();
    EXPECT_EQ(Boxes.Questions.size(), 2u);
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();

    Window->SetIPClick();
    EXPECT_EQ(Boxes.Questions.size(), 2u) << "the device on show: no question";
    EXPECT_TRUE(SettingsOnShow());

    Wizard = [](TMACAddress&) { return TfSetIPWiz::ResultFailed; };
    Window->SetIPClick();
    EXPECT_EQ(WizardRuns, 4);
    EXPECT_EQ(Boxes.Questions.size(), 2u) << "a wizard that assigned nothing ends the command";
}

TEST_F(MainWindowTest, AltKeysForTheSettingsWorkOnlyWhileTheyAreOnShow)
{
    AddDevice("127.0.0.4");
    Start();
    Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    Window->activateWindow();
    // Qt's own mnemonics must not get the keys first.
    int mnemonicRuns = 0;
    auto* mnemonic = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_I), Window.get());
    QObject::connect(mnemonic, &QShortcut::activated, [&] { ++mnemonicRuns; });

    for (int key : {Qt::Key_N, Qt::Key_Z, Qt::Key_H, Qt::Key_X, Qt::Key_T, Qt::Key_O})
        EXPECT_FALSE(Window->HandleAltKey(key)) << "empty panel: key " << key << " goes on";

    PromptAnswers.push_back(QStringLiteral("127.0.0.4"));
    QTest::keyClick(Window.get(), Qt::Key_I, Qt::AltModifier);
    EXPECT_EQ(PromptStarts.size(), 1u) << "Alt+I finds by IP";
    EXPECT_EQ(mnemonicRuns, 0);
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();

    QTest::keyClick(Window.get(), Qt::Key_O, Qt::AltModifier);
    EXPECT_TRUE(Window->tabSit->Selected());
    QTest::keyClick(Window.get(), Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(Window->tabTeplomer->Selected());
    QTest::keyClick(Window.get(), Qt::Key_X, Qt::AltModifier);
    EXPECT_FALSE(SettingsOnShow()) << "Alt+X closes the settings";

    QTest::keyClick(Window.get(), Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(PromptStarts.size(), 2u) << "Alt+M always";
    Window->hide();
}

TEST_F(MainWindowTest, ClosingStoresTheLanguageAndReportsWhenItCannot)
{
    Start();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qubra-mainwindow-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    Window->LanguageIni = TLanguageIni(folder.string() + "/", "");
    LanguageFile = "english.lng.xml";
    Window->close();
    std::ifstream written(folder / "lng.ini", std::ios::binary);
    std::string line;
    std::getline(written, line);
    EXPECT_EQ(line, "[LNG]=english.lng.xml\r");
    EXPECT_EQ(TLanguageIni(folder.string() + "/", "").Read(), "english.lng.xml");

    Window->LanguageIni = TLanguageIni((folder / "missing" / "deeper").string() + "/", "");
    Window->close();
    ASSERT_EQ(Boxes.Questions.size(), 1u);
    EXPECT_EQ(Boxes.Questions[0].Text, "Can't save LNG file.");
    EXPECT_EQ(Boxes.Questions[0].Icon, TMessageIcon::Error);
    LanguageFile = kDefaultLanguageFile;
    std::filesystem::remove_all(folder);
}

TEST_F(MainWindowTest, TheStartLanguageComesFromLngIni)
{
    Start();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qubra-startlang-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string directory = folder.string() + "/";
    Window->LanguageIni = TLanguageIni(directory, "");
    TBoxRecorder messages;
    Window->StartLanguage();
    EXPECT_EQ(LanguageFile, "cesky.lng.xml") << "no lng.ini";

    std::ofstream(folder / "lng.ini", std::ios::binary) << "[LNG]\r\n";
    Window->StartLanguage();
    EXPECT_EQ(LanguageFile, "");
    ASSERT_FALSE(messages.Boxes.empty());
    EXPECT_EQ(messages.Boxes.back().Text, QStringLiteral("Soubor s překladem:\"\" nenalezen!"));

    Window->StartLanguage("given.lng.xml");
    EXPECT_EQ(LanguageFile, "given.lng.xml") << "a file given at start wins";
    LanguageFile = kDefaultLanguageFile;
    std::filesystem::remove_all(folder);
}

TEST_F(MainWindowTest, FindFillsBothPagesAndWriteSendsWhatTheControlsDescribe)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    controltest::TRecordReader held(device.Record());
    held.Record().SetValue("unit_port", TItemValue(std::int64_t{12345}));
    device.SetRecord(held.Record().GetData());
    Start();
    FindByIP("127.0.0.4");
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();
    auto* port = qobject_cast<QSpinBox*>(Window->Pages->Control("seSourcePort"));
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->value(), 12345) << "the data-channel page";
    EXPECT_EQ(Window->Pages->IPSet().GetIPText(), QStringLiteral("127.0.0.4")) << "the network page";

    port->setValue(2101);
    Window->WriteToDeviceClick();
    const std::vector<TBytes> sets = device.PayloadsWithCode(kSetCode);
    ASSERT_EQ(sets.size(), 1u) << LastNotice();
    held.Record().SetValue("unit_port", TItemValue(std::int64_t{2101}));
    const TBytes expected = held.Record().GetData();
    ASSERT_EQ(sets[0].size(), expected.size());
    EXPECT_EQ(TBytes(sets[0].begin() + 4, sets[0].end()), TBytes(expected.begin() + 4, expected.end()))
        << "exactly the record read, with the one control changed";
    EXPECT_TRUE(SettingsOnShow()) << "read back";
    EXPECT_EQ(port->value(), 2101);
}

TEST_F(MainWindowTest, NoToTheSubnetQuestionSendsNothing)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    Start();
    FindByIP("127.0.0.4");
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();
    Window->Pages->IPSet().SetValues("10.1.2.3", "255.0.0.0", "0.0.0.0");
    Boxes.Answers = {TMessageAnswer::No};
    Window->WriteToDeviceClick();
    ASSERT_EQ(Boxes.Questions.size(), 1u);
    EXPECT_EQ(Boxes.Questions[0].Caption, "Varování");
    EXPECT_EQ(Boxes.Questions[0].DefaultButton, TMessageAnswer::No);
    EXPECT_TRUE(device.PayloadsWithCode(kSetCode).empty());
    EXPECT_EQ(Manager->GetValue("unit_ip").AsText(), "10.1.2.3") << "the record holds the controls' values";
}

// Addresses typed in the windows: a part with a leading zero is refused everywhere (the C
// library would read it as octal), and the device's new address must name a device. A text
// the record cannot hold names its field and brings its own page forward.
TEST_F(MainWindowTest, TypedValuesTheRecordCannotTakeAreRefusedOnTheirOwnPage)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    Start();
    FindByIP("127.0.0.4");
    ASSERT_TRUE(SettingsOnShow()) << LastNotice();
    const auto received = device.Received().size();
    FindByIP("127.0.0.004");
    ASSERT_EQ(Boxes.Questions.size(), 1u);
    EXPECT_EQ(Boxes.Questions[0].Text, "Toto není platná IP adresa");
    EXPECT_EQ(device.Received().size(), received);

    const auto shows = [this](const char* Page) { return Window->Pages->Container(Page)->isVisibleTo(Window->Pages); };
    const auto refused = [&](const std::string& Message, const char* Page) {
        Boxes.Questions.clear();
        Window->WriteToDeviceClick();
        ASSERT_EQ(Boxes.Questions.size(), 1u);
        EXPECT_EQ(Boxes.Questions[0].Text, Message);
        EXPECT_TRUE(shows(Page));
        EXPECT_TRUE(device.PayloadsWithCode(kSetCode).empty());
    };
    for (const char* ip : {"127.0.0.010", "0127.0.0.4", "127.0.0.0x4", "224.0.0.1", "240.0.0.1", "0.1.2.3"}) {
        SCOPED_TRACE(ip);
        Window->Pages->IPSet().SetValues(ip, "255.0.0.0", "0.0.0.0");
        refused("Síťové nastavení není v pořádku.", "pnlNastNet");
    }
    Window->Pages->IPSet().SetValues("127.0.0.4", "255.0.0.0", "0.00.0.0");
    refused("Síťové nastavení není v pořádku.", "pnlNastNet");
    Window->Pages->IPSet().SetValues("127.0.0.4", "255.0.0.0", "0.0.0.0");

    auto* password = qobject_cast<QLineEdit*>(Window->Pages->Control("Edit6"));
    password->setText(QStringLiteral("a日"));
    Window->TabClick(Window->tabTeplomer);
    refused("Text obsahuje znak, který nelze do zařízení uložit, v poli telnet_password: a日", "pnlNastNet");
    password->setText(QStringLiteral("ab"));
    Window->TabClick(Window->tabSit);
    qobject_cast<QLineEdit*>(Window->Pages->Control("Edit3"))->setText(QStringLiteral("10.0.0.010"));
    refused("Hodnoty nejsou zadány zprávně. Zkontrolujte je prosím", "pnlNastTepl");

    // The device's present address is taken, loopback as it is.
    qobject_cast<QLineEdit*>(Window->Pages->Control("Edit3"))->setText(QStringLiteral("10.0.0.10"));
    Boxes.Questions.clear();
    Window->WriteToDeviceClick();
    ASSERT_EQ(device.PayloadsWithCode(kSetCode).size(), 1u) << LastNotice();
    EXPECT_EQ(device.PayloadsWithCode(kSetCode)[0][28], 10);
    EXPECT_EQ(device.PayloadsWithCode(kSetCode)[0][31], 10);
}
