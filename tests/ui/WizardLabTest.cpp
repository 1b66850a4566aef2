// The address wizard on a LAN of network namespaces (root only): a device in a foreign subnet
// that does not answer ARP gets its new address through a temporary entry in the
// workstation's neighbour table, and the entry is gone when the wizard has finished.
#include <gtest/gtest.h>

#include "model/Conversions.h"
#include "sim/SimRecords.h"
#include "sim/SimText.h"
#include "tests/control/ControlTestSupport.h"
#include "tests/conversation/SharedView.h"
#include "tests/lab/DeviceLab.h"
#include "ui/SetIPWizard.h"

using namespace qubra;
using namespace qubra::lab;

namespace {

const char* const kDeviceMAC = "00-20-4a-88-00-71";

class WizardLab : public DeviceLab {
protected:
    TRecordingView Boxes;
    std::unique_ptr<TDeviceController> Controller;
    std::unique_ptr<TfSetIPWiz> Wizard;

    void StartWizard()
    {
        Controller = std::make_unique<TDeviceController>(
            *Manager, Boxes, [this] { return std::make_unique<test::TSharedView>(View); });
        Controller->Link.AnswerTimeout = 2500;
        Wizard = std::make_unique<TfSetIPWiz>(*Controller, Boxes);
    }
};

} // namespace

TEST_F(WizardLab, ADeviceInAForeignSubnetGetsItsAddressThroughATemporaryEntry)
{
    Start({{kDeviceMAC, "192.168.77.15", {.RestartMs = 300, .SilentToARP = true}}});
    StartWizard();
    std::string entryWhileSending;
    View.OnPump = [&] {
        if (View.Status() == "Předávám informace ...")
            entryWhileSending = Neighbours("10.88.0.71");
    };
    // Every question the unreachable device brings is answered Yes.
    Boxes.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes, TMessageAnswer::Yes};
    View.Answers = Boxes.Answers;

    Wizard->txtMAC->setText(QString::fromLatin1(kDeviceMAC));
    Wizard->cmdMAC_Next->click();
    ASSERT_EQ(Wizard->PageOnShow(), Wizard->pnlIP) << View.Status();
    Wizard->IPSet->SetValues("10.88.0.71", "255.255.255.0", "10.88.0.254");
    Wizard->cmdSetIP->click();

    EXPECT_EQ(Wizard->ResultCode, TfSetIPWiz::ResultAssigned) << Wizard->lblFinish->text().toStdString();
    EXPECT_EQ(Wizard->FinishPicture(), TNoticePicture::Tick);
    EXPECT_EQ(Wizard->WizardMAC, controltest::MACOf(kDeviceMAC));
    EXPECT_NE(entryWhileSending.find("10.88.0.71 lladdr 00:20:4a:88:00:71 PERMANENT"), std::string::npos)
        << "the device was reached through the temporary entry: " << entryWhileSending;
    EXPECT_EQ(SimIPToText(Device(0).IP()), "10.88.0.71");
    EXPECT_EQ(Neighbours("10.88.0.71"), "") << "the temporary entry is gone";
    EXPECT_EQ(Neighbours().find("PERMANENT"), std::string::npos) << Neighbours();
}
