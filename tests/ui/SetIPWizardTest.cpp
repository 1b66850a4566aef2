// The address wizard against a simulated device on loopback, its boxes answered by a script.
#include <gtest/gtest.h>

#include <tuple>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "sim/SimRecords.h"
#include "sim/SimText.h"
#include "tests/ui/UiDeviceTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DataSenderWindow.h"
#include "ui/MainWindow.h"
#include "ui/SetIPWizard.h"

using namespace qubra;
using namespace qubra::test;

namespace {

class SetIPWizardTest : public UiDeviceTest {
protected:
    std::unique_ptr<TDeviceController> Controller;
    std::unique_ptr<TfSetIPWiz> Wizard;

    void Start()
    {
        StartDevices();
        Controller = std::make_unique<TDeviceController>(*Manager, Boxes, ViewFactory());
        AimAtDevices(*Controller);
        Wizard = std::make_unique<TfSetIPWiz>(*Controller, Boxes);
    }
    void Next(const QString& MAC)
    {
        Wizard->txtMAC->setText(MAC);
        Wizard->cmdMAC_Next->click();
    }
};

} // namespace

TEST_F(SetIPWizardTest, AFoundDeviceFillsTheSecondPageFromItsSettings)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    TBytes record = device.Record();
    record[kSimHostBitsOffset] = 0;
    SimWriteIP(record, kSimGatewayOffset, SimTextToIP("127.0.0.254"));
    device.SetRecord(record);
    Start();
    EXPECT_EQ(Wizard->size(), TfSetIPWiz::ClientSize);
    EXPECT_FALSE(Wizard->pnlIP->isEnabled()) << "only the page on show reacts";

    Next(QStringLiteral("00-20-4a-00-00-01"));
    ASSERT_EQ(Wizard->PageOnShow(), Wizard->pnlIP);
    EXPECT_FALSE(Wizard->pnlMAC->isEnabled());
    EXPECT_EQ(Wizard->IPSet->txtIP->text(), QStringLiteral("127.0.0.4"));
    EXPECT_TRUE(Wizard->IPSet->AutoMask()) << "no host bits: the automatic mask";
    EXPECT_EQ(Wizard->IPSet->txtMask->text(), QStringLiteral("0.0.0.0")) << "127 has no standard mask";
    EXPECT_EQ(Wizard->IPSet->txtGate->text(), QStringLiteral("127.0.0.254"));
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty()) << "nothing set yet";

    Wizard->cmdIP_BackClick();
    EXPECT_EQ(Wizard->PageOnShow(), Wizard->pnlMAC);
    EXPECT_EQ(Wizard->ResultCode, TfSetIPWiz::ResultRunning);
}

TEST_F(SetIPWizardTest, MACTextsAreReadWithBlanksOrWithoutSeparatorsAndBadOnesKeepTheFirstPage)
{
    AddDevice("127.0.0.4");
    Start();
    for (const char* text : {"00 20 4a 00 00 01", "00204A000001"}) {
        Wizard->ShowPage(Wizard->pnlMAC);
        Next(QString::fromLatin1(text));
        EXPECT_EQ(Wizard->PageOnShow(), Wizard->pnlIP) << text;
        EXPECT_EQ(Wizard->WizardMAC, MACOf(kSimMAC)) << text;
    }

    Wizard->ShowPage(Wizard->pnlMAC);
    Next(QStringLiteral("00-20-4a-00-00"));
    EXPECT_EQ(Wizard->PageOnShow(), Wizard->pnlMAC);
    ASSERT_EQ(Boxes.Questions.size(), 1u);
    EXPECT_EQ(Boxes.Questions[0].Caption, "Upozornění");
    EXPECT_EQ(Boxes.Questions[0].Text, "Toto není platná MAC adresa.\r\nZkontrolujte prosím.");
    EXPECT_EQ(Boxes.Questions[0].Icon, TMessageIcon::Warning);

    TBoxRecorder errors;
    Next(QStringLiteral("00:20:4a:00:00:01"));
    EXPECT_EQ(Wizard->PageOnShow(), Wizard->pnlMAC);
    ASSERT_EQ(errors.Boxes.size(), 1u) << "the conversion error reaches the error box";
    EXPECT_EQ(errors.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(Boxes.Questions.size(), 1u);
}

TEST_F(SetIPWizardTest, NotFoundAsksRetryOrCancelAndRetrySearchesAgain)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    Start();
    Boxes.Answers = {TMessageAnswer::Retry, TMessageAnswer::Cancel};
    Next(QStringLiteral("00-20-4a-00-00-77"));
    ASSERT_EQ(Boxes.Questions.size(), 2u);
    EXPECT_EQ(Boxes.Questions[0].Caption, "Varování");
    EXPECT_EQ(Boxes.Questions[0].Buttons, TMessageButtons::RetryCancel);
    EXPECT_EQ(Boxes.Questions[0].Text,
              "Zařízení nebylo nalezeno!\r\nZkontrolujte, zda je správně zadána MAC adresa a zařízení je "
              "správně zapojeno.Poté pokus opakujte.");
    EXPECT_EQ(Wizard->PageOnShow(), Wizard->pnlMAC);
    EXPECT_EQ(Wizard->txtMAC->text(), QStringLiteral("00-20-4a-00-00-77"));
    const auto searches = device.PayloadsWithCode(0xF6).size();
    EXPECT_GE(searches, 2u) << "one search, then another for Retry";
}

TEST_F(SetIPWizardTest, ASuccessEndsWithTheTickAndTheAddressAsTyped)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    Start();
    Next(QStringLiteral("00-20-4a-00-00-01"));
    ASSERT_EQ(Wizard->PageOnShow(), Wizard->pnlIP);
    Wizard->IPSet->SetValues("127.0.0.9", "255.0.0.0", "");
    Wizard->cmdSetIPClick();

    EXPECT_EQ(Wizard->ResultCode, TfSetIPWiz::ResultAssigned);
    EXPECT_EQ(Wizard->PageOnShow(), Wizard->pnlFinish);
    EXPECT_EQ(Wizard->lblFinish->text(), QStringLiteral("IP adresa byla nastavena na 127.0.0.9."));
    EXPECT_EQ(Wizard->FinishPicture(), TNoticePicture::Tick);
    EXPECT_TRUE(Wizard->cmdFin_Again->isHidden());
    EXPECT_TRUE(Wizard->lblAgain->isHidden());
    const std::vector<TBytes> sent = device.PayloadsWithCode(0xFD);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(SimIPToText(SimReadIP(sent[0], kSimIPOffset)), "127.0.0.9");
    EXPECT_EQ(sent[0][kSimHostBitsOffset], 24) << "255.0.0.0 leaves 24 host bits";
}

TEST_F(SetIPWizardTest, ARefusedAssignmentOffersAgainAndCancelThenEndsWithTwo)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    Start();
    Next(QStringLiteral("00-20-4a-00-00-01"));
    Wizard->IPSet->SetValues("10.1.2.3", "255.0.0.0", "");
    Boxes.Answers = {TMessageAnswer::No};
    Wizard->cmdSetIPClick();
    EXPECT_EQ(Wizard->ResultCode, TfSetIPWiz::ResultFailed);
    EXPECT_EQ(Wizard->lblFinish->text(), QStringLiteral("IP nebyla nastavena!"));
    EXPECT_EQ(Wizard->FinishPicture(), TNoticePicture::Cross);
    EXPECT_FALSE(Wizard->cmdFin_Again->isHidden());
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty());

    Wizard->cmdFin_Again->click();
    EXPECT_EQ(Wizard->ResultCode, TfSetIPWiz::ResultRunning);
    EXPECT_EQ(Wizard->PageOnShow(), Wizard->pnlMAC);
    Wizard->cmdMAC_Cancel->click();
    EXPECT_EQ(Wizard->ResultCode, TfSetIPWiz::ResultCancelled);
}

TEST_F(SetIPWizardTest, InvalidValuesKeepTheSecondPage)
{
    AddDevice("127.0.0.4");
    Start();
    Next(QStringLiteral("00-20-4a-00-00-01"));
    Wizard->IPSet->SetValues("255.255.255.255", "", "");
    Wizard->cmdSetIP->click();
    EXPECT_EQ(Wizard->PageOnShow(), Wizard->pnlIP);
    ASSERT_EQ(Boxes.Questions.size(), 1u);
    EXPECT_EQ(Boxes.Questions[0].Text, "Hodnoty nejsou zadány zprávně. Zkontrolujte je prosím");
    EXPECT_EQ(Wizard->ResultCode, TfSetIPWiz::ResultRunning);
}

TEST_F(SetIPWizardTest, AnAddressPartWithALeadingZeroKeepsTheSecondPage)
{
    TSimDevice& device = AddDevice("127.0.0.4");
    Start();
    Next(QStringLiteral("00-20-4a-00-00-01"));
    ASSERT_EQ(Wizard->PageOnShow(), Wizard->pnlIP);
    const auto questions = Boxes.Questions.size();
    const std::tuple<const char*, const char*, const char*> typed[] = {
        {"127.0.0.010", "255.0.0.0", ""}, {"0127.0.0.9", "255.0.0.0", ""}, {"127.0.0.9", "", "127.0.0.01"}};
    for (const auto& [ip, mask, gateway] : typed) {
        Wizard->IPSet->SetValues(ip, mask, gateway);
        Wizard->cmdSetIPClick();
        EXPECT_EQ(Wizard->PageOnShow(), Wizard->pnlIP) << ip << " " << mask << " " << gateway;
    }
    ASSERT_EQ(Boxes.Questions.size(), questions + 3);
    EXPECT_EQ(Boxes.Questions.back().Text, "Hodnoty nejsou zadány zprávně. Zkontrolujte je prosím");
    EXPECT_TRUE(device.PayloadsWithCode(0xFD).empty());
}

// The main window's own Qt communication windows and the wizard run modally, as in the
// program; Esc goes through the window system, which drops input for windows a modal one blocks.
TEST_F(SetIPWizardTest, EscInACommunicationWindowOfTheModalWizardStopsItsSearchAtOnce)
{
    AddDevice("127.0.0.4");
    StartDevices();
    TfQUBRA window(*Manager, {&Boxes, {}, {}, {}});
    window.Controller().Link.DevicePort = Host.Port();
    window.Controller().Link.BroadcastIP = "127.255.255.255";
    ASSERT_EQ(window.Controller().Link.AnswerTimeout, 3500) << "an unknown MAC is searched for 3.6 s";

    QElapsedTimer clock;
    qint64 pressed = -1, searchEnded = -1;
    QString owner;
    QTimer::singleShot(0, &window, [&] {
        auto* wizard = qobject_cast<TfSetIPWiz*>(QApplication::activeModalWidget());
        ASSERT_NE(wizard, nullptr);
        QTimer::singleShot(300, wizard, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* comm = qobject_cast<TDataSenderDialog*>(top); comm && comm->isVisible()) {
                    owner = comm->parentWidget()->objectName();
                    pressed = clock.elapsed();
                    QTest::keyClick(comm->windowHandle(), Qt::Key_Escape);
                }
        });
        wizard->txtMAC->setText(QStringLiteral("00-20-4a-00-00-77"));
        clock.start();
        wizard->cmdMAC_Next->click();
        searchEnded = clock.elapsed();
        wizard->cmdMAC_Cancel->click();
    });
    window.SetIPClick();

    ASSERT_GE(pressed, 0) << "no communication window on show";
    EXPECT_EQ(owner, QStringLiteral("fSetIPWiz"));
    EXPECT_LT(searchEnded - pressed, 100) << "the search went on after Esc";
    EXPECT_TRUE(Boxes.Questions.empty()) << "a stopped search asks nothing";
}
