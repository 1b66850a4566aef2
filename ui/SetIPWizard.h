#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "control/DeviceController.h"
#include "ui/IPSetFrame.h"
#include "ui/Pictures.h"

namespace qubra {

// The address wizard `fSetIPWiz`: the MAC address of the device, its new network settings,
// the outcome, as three pages on top of each other of which only the one on show reacts.
// Each step that talks to the device runs through the controller in a communication window
// of its own; the wizard's own questions go to Boxes.
class TfSetIPWiz : public QDialog {
    Q_OBJECT

public:
    // The outcomes of a run.
    static constexpr int ResultRunning = 8;
    static constexpr int ResultCancelled = 2;
    static constexpr int ResultAssigned = 6;
    static constexpr int ResultFailed = 7;
    static constexpr QSize ClientSize{437, 244};

    TfSetIPWiz(TDeviceController& Controller, TMessageBoxView& Boxes, QWidget* Parent = nullptr);

    QLabel* const Image1;
    QFrame* const Shape1;
    QWidget* const pnlMAC;
    QLabel* const Label1;
    QLineEdit* const txtMAC;
    QLabel* const Label2;
    QPushButton* const cmdMAC_Cancel;
    QPushButton* const cmdMAC_Next;
    QWidget* const pnlIP;
    QLabel* const Label3;
    Tfrm_IPSet* const IPSet;
    QPushButton* const cmdIP_Back;
    QPushButton* const cmdSetIP;
    QWidget* const pnlFinish;
    QLabel* const imgSit;
    QLabel* const lblFinish;
    QLabel* const lblAgain;
    QPushButton* const cmdFin_Again;
    QPushButton* const cmdFinish;

    int ResultCode = ResultRunning;
    // The MAC accepted on the first page.
    TMACAddress WizardMAC{};

    // Brings the page to the front; only it is enabled.
    void ShowPage(QWidget* Page);
    QWidget* PageOnShow() const { return FPage; }
    // The picture imgSit shows on the finish page.
    TNoticePicture FinishPicture() const { return FFinishPicture; }

    void cmdMAC_NextClick();
    void cmdMAC_CancelClick();
    void cmdSetIPClick();
    void cmdIP_BackClick();
    void cmdFinishClick();
    void cmdFin_AgainClick();

protected:
    // Enter presses the default button of the page on show, Esc its cancel button.
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void GoToIPPage();
    void ShowFinish(const QString& Text, TNoticePicture Picture);
    void Warn(const TMessage& Caption, const std::string& Text);

    TDeviceController& Controller;
    TMessageBoxView& Boxes;
    QWidget* FPage = nullptr;
    TNoticePicture FFinishPicture = TNoticePicture::Information;
};

// Runs the wizard modally for MAC (all zero: none typed yet) and returns its result code;
// with ResultAssigned, MAC becomes the device that got its new address.
int ExecuteSetIPWizard(TDeviceController& Controller, TMessageBoxView& Boxes, TMACAddress& MAC);

} // namespace qubra
