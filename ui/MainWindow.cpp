#include "ui/MainWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMouseEvent>

#include "i18n/Language.h"
#include "model/Conversions.h"
#include "control/AddressEntry.h"
#include "model/DeviceMapping.h"
#include "net/ARPManager.h"
#include "ui/Application.h"
#include "ui/Place.h"
#include "ui/DataSenderWindow.h"
#include "ui/Pictures.h"
#include "ui/SetIPWizard.h"

namespace qubra {

namespace {

const QColor HeaderColor{255, 255, 255};
const QColor MenuBarColor{248, 115, 17};
const QColor TitleBarColor{0, 128, 64};
const QColor PanelColor{255, 235, 202};
const QColor FooterColor{64, 64, 64};

QWidget* Panel(QWidget* Parent, const char* Name, QRect Geometry, const QColor& Colour)
{
    auto* panel = Place(new QWidget(Parent), Name, Geometry);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Colour);
    panel->setPalette(palette);
    return panel;
}

QLabel* Label(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry)
{
    return Place(new QLabel(Text, Parent), Name, Geometry);
}

QLabel* Picture(QWidget* Parent, const char* Name, TPicture Picture, QRect Geometry, bool Link)
{
    QLabel* label = Label(Parent, Name, QString(), Geometry);
    label->setPixmap(RenderPicture(Picture, Geometry.size()));
    if (Link) label->setCursor(Qt::PointingHandCursor);
    return label;
}

template <typename TFrame>
TFrame* Frame(QWidget* Parent, const char* Name, const QString& Caption, const QString& Hint, QRect Geometry)
{
    auto* frame = Place(new TFrame(Parent), Name, Geometry);
    frame->Tlac->SetCaption(Caption);
    frame->Tlac->setToolTip(Hint);
    return frame;
}

void SetTextColour(QWidget* Widget, const QColor& Colour)
{
    QPalette palette = Widget->palette();
    palette.setColor(QPalette::WindowText, Colour);
    Widget->setPalette(palette);
}

void SetFont(QWidget* Widget, int PixelSize, bool Bold)
{
    QFont font = Widget->font();
    font.setPixelSize(PixelSize);
    font.setBold(Bold);
    Widget->setFont(font);
}

} // namespace

TfQUBRA::TfQUBRA(TDataManager& DataManager, TMainWindowServices Services, QWidget* Parent)
    : QWidget(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint),
      pnlHeader(Panel(this, "pnlHeader", QRect(0, 0, 883, 107), HeaderColor)),
      imgLogo(Picture(pnlHeader, "imgLogo", TPicture::Logo, QRect(10, 12, 200, 64), true)),
      Label3(Label(pnlHeader, "Label3", QStringLiteral("QUBRA 232"), QRect(228, 6, 260, 36))),
      Label8(Label(pnlHeader, "Label8", QStringLiteral("v 1.1-1.2"), QRect(448, 22, 80, 16))),
      Label2(Label(pnlHeader, "Label2", QStringLiteral("Nastavovací software pro převodník RS232 na Ethernet"),
                   QRect(230, 42, 560, 16))),
      Image2(Picture(pnlHeader, "Image2", TPicture::FlagCzech, QRect(823, 8, 24, 16), true)),
      Image3(Picture(pnlHeader, "Image3", TPicture::FlagEnglish, QRect(851, 8, 24, 16), true)),
      pnlTitulek(Panel(pnlHeader, "pnlTitulek", QRect(230, 62, 645, 18), HeaderColor)),
      lblTitulek(Label(pnlTitulek, "lblTitulek", QString(), QRect(0, 0, 645, 18))),
      pnlHMenyItems(Panel(pnlHeader, "pnlHMenyItems", QRect(0, 84, 883, 23), MenuBarColor)),
      menuLAN(Frame<TfrmTlacMenu>(pnlHMenyItems, "menuLAN", QStringLiteral("Zařízení v &LAN"),
                                  QStringLiteral("Vyhledat všechna zařízení v sítích této stanice"), QRect(30, 4, 190, 16))),
      menuIP(Frame<TfrmTlacMenu>(pnlHMenyItems, "menuIP", QStringLiteral("Vyhledat podle &IP"),
                                 QStringLiteral("Vyhledat zařízení podle známé IP adresy"), QRect(230, 4, 190, 16))),
      menuMAC(Frame<TfrmTlacMenu>(pnlHMenyItems, "menuMAC", QStringLiteral("Vyhledat podle &MAC"),
                                  QStringLiteral("Vyhledat zařízení podle známé MAC adresy"), QRect(430, 4, 200, 16))),
      menuSetIP(Frame<TfrmTlacMenu>(pnlHMenyItems, "menuSetIP", QStringLiteral("Na&stavit IP"),
                                    QStringLiteral("Změnit síťové nastavení zařízení"), QRect(640, 4, 150, 16))),
      Image1(Picture(this, "Image1", TPicture::SidePicture, QRect(0, 107, 120, 577), false)),
      pnlCenter(Panel(this, "pnlCenter", QRect(120, 107, 763, 577), PanelColor)),
      pnlNone(Panel(pnlCenter, "pnlNone", QRect(0, 0, 763, 577), PanelColor)),
      Label1(Label(pnlNone, "Label1", QStringLiteral("Vyhledejte zařízení podle jeho IP adresy nebo MAC adresy..."),
                   QRect(130, 220, 503, 80))),
      pnlDevSetup(Panel(pnlCenter, "pnlDevSetup", QRect(0, 0, 763, 577), PanelColor)),
      pnlSetupLista(Panel(pnlDevSetup, "pnlSetupLista", QRect(0, 0, 763, 24), TitleBarColor)),
      lblMACTitle(Label(pnlSetupLista, "lblMACTitle", QString(), QRect(30, 0, 703, 24))),
      cmdCloseSet(Frame<TfrmTlacitko>(pnlSetupLista, "cmdCloseSet", QStringLiteral("X"),
                                      QStringLiteral("Zrušit nastavení"), QRect(737, 3, 22, 18))),
      pnlMenuItems(Panel(pnlDevSetup, "pnlMenuItems", QRect(0, 28, 763, 22), PanelColor)),
      tabTeplomer(Frame<TfrmTlacMenu>(pnlMenuItems, "tabTeplomer", QStringLiteral("N&astavení datového kanálu"),
                                      QString(), QRect(8, 3, 250, 16))),
      tabSit(Frame<TfrmTlacMenu>(pnlMenuItems, "tabSit", QStringLiteral("Síť&ové nastavení"), QString(),
                                 QRect(266, 3, 190, 16))),
      pnlNastav(Panel(pnlDevSetup, "pnlNastav", QRect(0, 52, 763, 487), PanelColor)),
      cmdSaveVals(Frame<TfrmTlacitko>(pnlDevSetup, "cmdSaveVals", QStringLiteral("&Nastavit"),
                                      QStringLiteral("Uloží nastavení do zařízení."), QRect(250, 546, 160, 22))),
      cmdLoadVals(Frame<TfrmTlacitko>(pnlDevSetup, "cmdLoadVals", QStringLiteral("Načíst ze &zařízení"),
                                      QStringLiteral("Načte ze zařízení aktuální nastavení."), QRect(420, 546, 160, 22))),
      cmdDefaultVal(Frame<TfrmTlacitko>(pnlDevSetup, "cmdDefaultVal", QStringLiteral("Výchozí &hodnoty"),
                                        QStringLiteral("Výchozí nastavení určené pro zařízení."),
                                        QRect(590, 546, 160, 22))),
      pnlFooter(Panel(this, "pnlFooter", QRect(0, 684, 883, 24), FooterColor)),
      lblFooter(Label(pnlFooter, "lblFooter", QStringLiteral("QUBRA 232 – domovská stránka produktu: ") + kHomePage.host(),
                      QRect(10, 4, 863, 16))),
      Services(std::move(Services)),
      OwnBoxes(this->Services.Boxes ? nullptr : std::make_unique<TQtMessageBoxView>(this))
{
    if (OwnBoxes) this->Services.Boxes = OwnBoxes.get();
    if (!this->Services.CreateView) this->Services.CreateView = QtDataSenderViews(this);
    FController = std::make_unique<TDeviceController>(DataManager, *this->Services.Boxes, this->Services.CreateView);
    Pages = new TSettingsPages(DataManager, FController->DeviceIP, pnlNastav);
    Devices = new TDeviceListPanel(FController->Link, [] { return LoadDeviceMapping(); }, pnlNone);
    // A command that talks to a device ends a scan first.
    FController->OnCommand = [this] { Devices->StopScan(); };
    Devices->OnOpen = [this](const TDeviceRow& Row, TRowCommand Command) {
        RunRowCommand(*FController, Row, Command, [this](TMACAddress& MAC) {
            return this->Services.RunWizard(*FController, MAC) == TfSetIPWiz::ResultAssigned;
        });
        ShowPanels();
    };
    auto* holder = new QGridLayout(pnlNastav);
    holder->setContentsMargins(0, 0, 0, 0);
    holder->addWidget(Pages);
    Pages->SetTabHandler([this](const std::string& Tab) { TabClick(Tab == "tabSit" ? tabSit : tabTeplomer); });
    if (auto* list = qobject_cast<QComboBox*>(Pages->Control("ComboBox8"))) list->view()->setMinimumWidth(260);

    if (!this->Services.Prompt)
        this->Services.Prompt = [this](const QString& Caption, const QString& Prompt, const QString& Text) {
            bool ok = false;
            const QString answer = QInputDialog::getText(this, Caption, Prompt, QLineEdit::Normal, Text, &ok);
            return ok ? std::optional<QString>(answer) : std::nullopt;
        };
    if (!this->Services.RunWizard)
        this->Services.RunWizard = [this](TDeviceController& Controller, TMACAddress& MAC) {
            return ExecuteSetIPWizard(Controller, *this->Services.Boxes, MAC);
        };
    setObjectName(QStringLiteral("fQUBRA"));
    setWindowTitle(QStringLiteral("QUBRA 232 - nastavení"));
    setFixedSize(ClientSize);

    SetFont(Label3, 30, true);
    SetFont(Label2, 13, true);
    SetTextColour(Label3, MenuBarColor);
    SetTextColour(Label2, TitleBarColor);
    SetFont(lblTitulek, 12, false);
    SetFont(Label1, 16, true);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    SetFont(lblMACTitle, 13, true);
    SetTextColour(lblMACTitle, Qt::white);
    lblMACTitle->setAlignment(Qt::AlignCenter);
    lblMACTitle->setToolTip(QStringLiteral("MAC adresa nastavovaného zařízení"));
    lblFooter->setCursor(Qt::PointingHandCursor);
    QFont underlined = lblFooter->font();
    underlined.setUnderline(true);
    lblFooter->setFont(underlined);
    SetTextColour(lblFooter, Qt::white);
    imgLogo->setToolTip(kHomePage.toString());

    Connect(menuLAN, &TfQUBRA::LANClick);
    Connect(menuIP, &TfQUBRA::FindByIPClick);
    Connect(menuMAC, &TfQUBRA::FindByMACClick);
    Connect(menuSetIP, &TfQUBRA::SetIPClick);
    Connect(cmdLoadVals, &TfQUBRA::LoadFromDeviceClick);
    Connect(cmdSaveVals, &TfQUBRA::WriteToDeviceClick);
    Connect(cmdDefaultVal, &TfQUBRA::DefaultsClick);
    Connect(cmdCloseSet, &TfQUBRA::CloseSettings);
    for (TfrmTlacMenu* tab : {tabTeplomer, tabSit})
        connect(tab, &TTlacFrame::clicked, this, Guarded([this](QWidget* Sender) { TabClick(Sender); }));
    for (TfrmTlacMenu* menu : {menuLAN, menuIP, menuMAC, menuSetIP}) {
        menu->SetOnMenuEnter([this](QWidget* Sender) { MenuHintEnter(Sender); });
        menu->SetOnMenuLeave([this](QWidget* Sender) { MenuHintLeave(Sender); });
    }

    SelectTab(tabTeplomer);
    ShowSettingsPage(PageOfTab(tabTeplomer));
    ShowPanels();
    // Seen before any focused control and before Qt's mnemonics.
    qApp->installEventFilter(this);
}

TfQUBRA::~TfQUBRA() = default;

void TfQUBRA::Connect(TTlacFrame* Frame, void (TfQUBRA::*Command)())
{
    connect(Frame, &TTlacFrame::clicked, this, Guarded([this, Command](QWidget*) { (this->*Command)(); }));
}

void TfQUBRA::Warn(const TMessage& Caption, const TMessage& Text)
{
    Services.Boxes->MessageBox({GetText(Caption), GetText(Text), TMessageButtons::OK, TMessageIcon::Warning,
                                TMessageAnswer::OK});
}

void TfQUBRA::LANClick()
{
    if (FController->Busy()) return;
    FController->DeviceLoaded = false;
    ShowPanels();
    Label1->hide();
    Devices->ScanClick();
}

void TfQUBRA::FindByIPClick()
{
    TDeviceController& c = *FController;
    if (c.Busy()) return;
    const std::uint32_t offered = c.LastSearchIP != 0 ? c.LastSearchIP : c.DeviceIP;
    const std::string start = offered != 0 ? IPToStr(offered) : "192.168.1.254";
    const std::optional<QString> text = Services.Prompt(QString::fromStdString(GetText(msgVyhledaniZarize)),
                                                        QString::fromStdString(GetText(msgZadejteIPAdres)),
                                                        QString::fromStdString(start));
    if (!text) return;
    const std::optional<std::uint32_t> ip = ReadTypedIP(text->toStdString());
    if (!ip) {
        Warn(msgUpozorneni, msgTotoNeniPlatna);
        return;
    }
    c.FindByIP(*ip);
    ShowPanels();
}

void TfQUBRA::FindByMACClick()
{
    TDeviceController& c = *FController;
    if (c.Busy()) return;
    const TMACAddress& offered = !IsZeroMAC(c.LastSearchMAC) ? c.LastSearchMAC : c.DeviceMAC;
    const std::string start = IsZeroMAC(offered) ? std::string() : MACToStr(offered);
    const std::optional<QString> text = Services.Prompt(QString::fromStdString(GetText(msgVyhledaniZarize1)),
                                                        QString::fromStdString(GetText(msgZadejteMACAdre)),
                                                        QString::fromStdString(start));
    if (!text) return;
    // A pair that is no hexadecimal number raises the conversion error for the error box.
    TMACAddress mac{};
    if (!StrToMAC(text->toStdString(), mac.data())) {
        Warn(msgUpozorneni0, msgTotoNeniPlatna0);
        return;
    }
    c.FindByMAC(mac);
    ShowPanels();
}

void TfQUBRA::SetIPClick()
{
    TDeviceController& c = *FController;
    if (c.Busy()) return;
    TMACAddress mac = c.DeviceMAC;
    if (Services.RunWizard(c, mac) != TfSetIPWiz::ResultAssigned) return;
    c.ContinueSetIP(mac);
    ShowPanels();
}

void TfQUBRA::LoadFromDeviceClick()
{
    if (FController->Busy()) return;
    FController->LoadFromDevice();
    ShowPanels();
}

void TfQUBRA::DefaultsClick()
{
    if (FController->RestoreDefaults()) RecordToControls();
}

void TfQUBRA::WriteToDeviceClick()
{
    if (FController->Busy()) return;
    try {
        ControlsToRecord();
        RecordToControls();
    } catch (const std::exception& error) {
        Services.Boxes->MessageBox({"ZAN", error.what(), TMessageButtons::OK, TMessageIcon::Error,
                                    TMessageAnswer::OK});
        return;
    }
    FController->WriteToDevice();
    ShowPanels();
}

void TfQUBRA::CloseSettings()
{
    if (FController->Busy()) return;
    FController->DeviceLoaded = false;
    ShowPanels();
}

void TfQUBRA::TabClick(QWidget* Tab)
{
    TfrmTlacMenu* tab = Tab == tabSit ? tabSit : tabTeplomer;
    SelectTab(tab);
    ShowSettingsPage(PageOfTab(tab));
}

void TfQUBRA::StartLanguage(const std::string& FileName)
{
    LanguageFile = FileName.empty() ? LanguageIni.Read() : FileName;
    Language.LoadLanguage(LanguageFile);
}

void TfQUBRA::SwitchLanguage(const std::string& FileName)
{
    if (FController->Busy()) return;
    LanguageFile = FileName;
    Language.LoadLanguage(LanguageFile);
    // The new caption of the current-address label replaced the address it showed.
    if (FController->DeviceLoaded) Pages->Binding().ShowCurrentIP(FController->DeviceIP);
    Devices->Retranslate();
}

void TfQUBRA::OpenHomePage() { QDesktopServices::openUrl(kHomePage); }

void TfQUBRA::ShowPanels()
{
    TDeviceController& c = *FController;
    const auto showEmpty = [this] {
        pnlNone->raise();
        pnlNone->show();
        pnlDevSetup->hide();
    };
    try {
        if (!c.DeviceLoaded) {
            showEmpty();
            return;
        }
        pnlDevSetup->raise();
        pnlDevSetup->show();
        pnlNone->hide();
        lblMACTitle->setText(QString::fromStdString(MACToStr(c.DeviceMAC)).toUpper());
        RecordToControls();
    } catch (...) {
        c.DeviceLoaded = false;
        showEmpty();
        throw;
    }
}

void TfQUBRA::SelectTab(TfrmTlacMenu* Tab)
{
    for (auto* tab : pnlMenuItems->findChildren<TfrmTlacMenu*>(Qt::FindDirectChildrenOnly)) tab->SetSelected(tab == Tab);
}

void TfQUBRA::ShowSettingsPage(QWidget* Page) { Pages->ShowPage(Page); }

void TfQUBRA::RecordToControls() { Pages->Binding().RecordToControls(); }

void TfQUBRA::ControlsToRecord() { Pages->Binding().ControlsToRecord(); }

void TfQUBRA::MenuHintEnter(QWidget* Sender)
{
    if (auto* menu = qobject_cast<TfrmTlacMenu*>(Sender)) lblTitulek->setText(menu->Tlac->toolTip());
}

void TfQUBRA::MenuHintLeave(QWidget*) { lblTitulek->clear(); }

TfQUBRA::TCommand TfQUBRA::AltKeyCommand(int Key) const
{
    switch (Key) {
    case Qt::Key_L: return &TfQUBRA::LANClick;
    case Qt::Key_I: return &TfQUBRA::FindByIPClick;
    case Qt::Key_M: return &TfQUBRA::FindByMACClick;
    case Qt::Key_S: return &TfQUBRA::SetIPClick;
    default: break;
    }
    if (!FController->DeviceLoaded) return nullptr;
    switch (Key) {
    case Qt::Key_H: return &TfQUBRA::DefaultsClick;
    case Qt::Key_N: return &TfQUBRA::WriteToDeviceClick;
    case Qt::Key_O: return &TfQUBRA::ShowNetworkTab;
    case Qt::Key_T: return &TfQUBRA::ShowDataChannelTab;
    case Qt::Key_X: return &TfQUBRA::CloseSettings;
    case Qt::Key_Z: return &TfQUBRA::LoadFromDeviceClick;
    default: return nullptr;
    }
}

bool TfQUBRA::HandleAltKey(int Key)
{
    const TCommand command = AltKeyCommand(Key);
    if (command) (this->*command)();
    return command != nullptr;
}

QWidget* TfQUBRA::PageOfTab(TfrmTlacMenu* Tab) const
{
    return Pages->Container(Tab == tabSit ? "pnlNastNet" : "pnlNastTepl");
}

// Alt+letter is looked at before the focused control and before Qt's own shortcuts: a
// shortcut override accepted here keeps the mnemonics from claiming the key, and the key
// press that follows runs the command.
bool TfQUBRA::eventFilter(QObject* Watched, QEvent* Event)
{
    const QEvent::Type type = Event->type();
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
        auto* widget = qobject_cast<QWidget*>(Watched);
        auto* key = static_cast<QKeyEvent*>(Event);
        if (widget && widget->window() == this && (key->modifiers() & Qt::AltModifier)) {
            if (type == QEvent::ShortcutOverride) {
                if (!AltKeyCommand(key->key())) return false;
                Event->accept();
                return true;
            }
            bool handled = false;
            Guarded([&] { handled = HandleAltKey(key->key()); })();
            return handled;
        }
        return false;
    }
    if (type == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
        if (Watched == Image2) Guarded([this] { SwitchLanguage("cesky.lng.xml"); })();
        else if (Watched == Image3) Guarded([this] { SwitchLanguage("english.lng.xml"); })();
        else if (Watched == imgLogo || Watched == lblFooter) OpenHomePage();
    }
    return false;
}

void TfQUBRA::closeEvent(QCloseEvent* Event)
{
    try {
        LanguageIni.Write(LanguageFile);
    } catch (const std::exception& error) {
        Services.Boxes->MessageBox({TApplication::Title.toStdString(), error.what(), TMessageButtons::OK,
                                    TMessageIcon::Error, TMessageAnswer::OK});
    }
    Event->accept();
}

} // namespace qubra
