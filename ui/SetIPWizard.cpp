#include "ui/SetIPWizard.h"

#include <QApplication>
#include <QKeyEvent>

#include "i18n/Language.h"
#include "model/Conversions.h"
#include "net/ARPManager.h"
#include "ui/Application.h"
#include "ui/Place.h"
#include "ui/WidgetControl.h"

namespace qubra {

namespace {

QWidget* Page(QWidget* Parent, const char* Name)
{
    auto* page = Place(new QWidget(Parent), Name, QRect(184, 6, 249, 233));
    page->setAutoFillBackground(true);
    return page;
}

QLabel* BoldLabel(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry)
{
    auto* label = Place(new QLabel(Text, Parent), Name, Geometry);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// Every page has its left button at (70, 206) and its right one at (160, 206).
QPushButton* Button(QWidget* Page, const char* Name, const QString& Caption, bool Right)
{
    auto* button = Place(new QPushButton(Caption, Page), Name, QRect(Right ? 160 : 70, 206, 83, 25));
    // Enter and Esc are the wizard's own, by the page on show.
    button->setAutoDefault(false);
    return button;
}

} // namespace

TfSetIPWiz::TfSetIPWiz(TDeviceController& Controller, TMessageBoxView& Boxes, QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint),
      Image1(Place(new QLabel(this), "Image1", QRect(6, 6, 170, 233))),
      Shape1(Place(new QFrame(this), "Shape1", QRect(5, 5, 172, 235))),
      pnlMAC(Page(this, "pnlMAC")),
      Label1(BoldLabel(pnlMAC, "Label1",
                       QStringLiteral("Zadejte MAC adresu zařízení, kterému chcete změnit IP adresu:"),
                       QRect(8, 8, 233, 44))),
      txtMAC(Place(new QLineEdit(pnlMAC), "txtMAC", QRect(8, 60, 233, 21))),
      Label2(Place(new QLabel(QStringLiteral("Adresu pište ve tvaru 00-12-34-56-78-9A"), pnlMAC), "Label2",
                   QRect(8, 86, 233, 16))),
      cmdMAC_Cancel(Button(pnlMAC, "cmdMAC_Cancel", QStringLiteral("&Storno"), false)),
      cmdMAC_Next(Button(pnlMAC, "cmdMAC_Next", QStringLiteral("&Další >>"), true)),
      pnlIP(Page(this, "pnlIP")),
      Label3(BoldLabel(pnlIP, "Label3", QStringLiteral("Nové síťové nastavení :"), QRect(8, 8, 233, 16))),
      IPSet(Place(new Tfrm_IPSet(pnlIP), "IPSet", QRect(0, 28, 240, 132))),
      cmdIP_Back(Button(pnlIP, "cmdIP_Back", QStringLiteral("<< &Zpět"), false)),
      cmdSetIP(Button(pnlIP, "cmdSetIP", QStringLiteral("&Nastavit"), true)),
      pnlFinish(Page(this, "pnlFinish")),
      imgSit(Place(new QLabel(pnlFinish), "imgSit", QRect(8, 8, 32, 32))),
      lblFinish(BoldLabel(pnlFinish, "lblFinish", QString(), QRect(48, 8, 193, 90))),
      lblAgain(Place(new QLabel(QStringLiteral("Chcete pokračovat v nastavování IP adresy?"), pnlFinish), "lblAgain",
                     QRect(8, 150, 233, 40))),
      cmdFin_Again(Button(pnlFinish, "cmdFin_Again", QStringLiteral("&Znovu"), false)),
      cmdFinish(Button(pnlFinish, "cmdFinish", QStringLiteral("&Konec"), true)),
      Controller(Controller),
      Boxes(Boxes)
{
    setObjectName(QStringLiteral("fSetIPWiz"));
    setWindowTitle(QStringLiteral("Nastavení IP"));
    setFixedSize(ClientSize);
    Shape1->setStyleSheet(QStringLiteral("QFrame#Shape1 { border: 1px solid rgb(0, 128, 64); }"));
    Shape1->lower();
    Image1->setScaledContents(true);
    Image1->setPixmap(RenderPicture(TPicture::Network, Image1->size()));
    imgSit->setPixmap(RenderPicture(TPicture::Network, imgSit->size()));
    lblAgain->setWordWrap(true);

    const auto bind = [this](QPushButton* Button, void (TfSetIPWiz::*Handler)()) {
        connect(Button, &QPushButton::clicked, this, Guarded([this, Handler] { (this->*Handler)(); }));
    };
    bind(cmdMAC_Next, &TfSetIPWiz::cmdMAC_NextClick);
    bind(cmdMAC_Cancel, &TfSetIPWiz::cmdMAC_CancelClick);
    bind(cmdSetIP, &TfSetIPWiz::cmdSetIPClick);
    bind(cmdIP_Back, &TfSetIPWiz::cmdIP_BackClick);
    bind(cmdFinish, &TfSetIPWiz::cmdFinishClick);
    bind(cmdFin_Again, &TfSetIPWiz::cmdFin_AgainClick);
    ShowPage(pnlMAC);
}

void TfSetIPWiz::ShowPage(QWidget* Page)
{
    FPage = Page;
    Page->raise();
    for (QWidget* page : {pnlMAC, pnlIP, pnlFinish}) page->setEnabled(page == Page);
}

void TfSetIPWiz::Warn(const TMessage& Caption, const std::string& Text)
{
    Boxes.MessageBox({GetText(Caption), Text, TMessageButtons::OK, TMessageIcon::Warning, TMessageAnswer::OK});
}

void TfSetIPWiz::cmdMAC_NextClick()
{
    // Separators and blanks are skipped; any other character that is no hexadecimal digit
    // raises the conversion error, which goes to the application's error box.
    if (!TARPManager::MACTextToBytes(txtMAC->text().toStdString(), WizardMAC.data(), 6)) {
        Warn(msgUpozorneni, GetText(msgTotoNeniPlatnaMAC) + "\r\n" + GetText(msgZkontrolujtePro));
        return;
    }
    GoToIPPage();
}

void TfSetIPWiz::GoToIPPage()
{
    std::string found;
    for (;;) {
        const TStepOutcome search = Controller.SearchDevice(WizardMAC, found);
        if (search == TStepOutcome::Failed) return;
        if (search == TStepOutcome::Done) break;
        const TMessageAnswer answer = Boxes.MessageBox(
            {"Varování",
             GetText(msgZarizeniNebylo0) + "\r\n" + GetText(msgZkontrolujteZd) + GetText(msgPotePokusOpaku),
             TMessageButtons::RetryCancel, TMessageIcon::Warning, TMessageAnswer::Retry});
        if (answer != TMessageAnswer::Retry) return;
    }
    ShowPage(pnlIP);
    IPSet->setFocus();
    IPSet->txtIP->setFocus();
    QApplication::processEvents();

    TNetworkSettings settings{"", 0, "0.0.0.0"};
    switch (Controller.ReadNetworkSettingsAt(found, settings)) {
    case TStepOutcome::Failed: return;
    case TStepOutcome::NotDone: settings = {"", 0, "0.0.0.0"}; break;
    case TStepOutcome::Done: break;
    }
    IPSet->SetValues(settings.IP, IPToStr(settings.Mask), settings.Gateway);
}

void TfSetIPWiz::cmdSetIPClick()
{
    if (!IPSet->IsValid()) {
        Warn(msgUpozorneni0, GetText(msgHodnotyNejsouZ));
        return;
    }
    const TAssignResult result = Controller.AssignAddress(WizardMAC, IPToStr(IPSet->GetIP()), IPSet->GetMask(),
                                                          IPToStr(IPSet->GetGateway()));
    // An error was shown as a notice; the page stays and so does the result.
    if (result.Outcome == TAssignOutcome::Failed || result.Outcome == TAssignOutcome::Cancelled) return;
    const bool assigned = result.Outcome == TAssignOutcome::Assigned;
    ResultCode = assigned ? ResultAssigned : ResultFailed;
    if (assigned)
        ShowFinish(QString::fromStdString(GetText(msgIPAdresaBylaN)) + IPSet->GetIPText() + QLatin1Char('.'),
                   TNoticePicture::Tick);
    else if (result.DeviceAnswered)
        ShowFinish(QString::fromStdString(GetText(msgIPNebylaNastav)), TNoticePicture::Cross);
    else
        ShowFinish(QString::fromStdString(GetText(msgZarizeniNebyloExclamation)), TNoticePicture::Warning);
}

void TfSetIPWiz::ShowFinish(const QString& Text, TNoticePicture Picture)
{
    ShowPage(pnlFinish);
    lblFinish->setText(Text);
    FFinishPicture = Picture;
    imgSit->clear();
    imgSit->setPixmap(RenderPicture(Picture, imgSit->size()));
    const bool again = ResultCode == ResultFailed;
    cmdFin_Again->setVisible(again);
    lblAgain->setVisible(again);
}

void TfSetIPWiz::cmdIP_BackClick() { ShowPage(pnlMAC); }

void TfSetIPWiz::cmdFinishClick() { close(); }

void TfSetIPWiz::cmdFin_AgainClick()
{
    ResultCode = ResultRunning;
    ShowPage(pnlMAC);
}

void TfSetIPWiz::cmdMAC_CancelClick()
{
    ResultCode = ResultCancelled;
    close();
}

void TfSetIPWiz::keyPressEvent(QKeyEvent* Event)
{
    QPushButton* button = nullptr;
    switch (Event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        button = FPage == pnlMAC ? cmdMAC_Next : FPage == pnlIP ? cmdSetIP : nullptr;
        break;
    case Qt::Key_Escape:
        button = FPage == pnlMAC ? cmdMAC_Cancel : FPage == pnlIP ? cmdIP_Back : cmdFinish;
        break;
    default:
        QDialog::keyPressEvent(Event);
        return;
    }
    if (button && button->isVisible()) button->click();
}

int ExecuteSetIPWizard(TDeviceController& Controller, TMessageBoxView& Boxes, TMACAddress& MAC)
{
    TfSetIPWiz wizard(Controller, Boxes);
    TranslateForm(&wizard);
    wizard.ShowPage(wizard.pnlMAC);
    wizard.ResultCode = TfSetIPWiz::ResultRunning;
    wizard.txtMAC->setText(IsZeroMAC(MAC) ? QString() : QString::fromStdString(MACToStr(MAC)));
    wizard.exec();
    if (wizard.ResultCode == TfSetIPWiz::ResultAssigned) MAC = wizard.WizardMAC;
    return wizard.ResultCode;
}

} // namespace qubra
