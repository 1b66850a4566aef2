#pragma once

#include <QLabel>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "control/DeviceController.h"
#include "ui/DeviceListPanel.h"
#include "i18n/LanguageIni.h"
#include "ui/MessageBoxes.h"
#include "ui/SettingsPages.h"
#include "ui/TlacFrames.h"

namespace qubra {

// The product's home page, opened by the logo and the footer label.
inline const QUrl kHomePage{QStringLiteral("https://qubra232.example.org/")};

// Asks for one line of text: caption, prompt and start text; none when the user cancelled.
using TTextPrompt = std::function<std::optional<QString>(const QString& Caption, const QString& Prompt,
                                                         const QString& Text)>;
// Runs the address wizard for the device MAC (zero: none); hands back its result code and,
// with result 6, the MAC of the device that got the new address.
using TWizardRunner = std::function<int(TDeviceController& Controller, TMACAddress& MAC)>;

// What the main window talks through: its own message boxes, the communication windows'
// views, the input prompt and the address wizard. Tests give scripted ones; those not given
// are the Qt ones.
struct TMainWindowServices {
    TMessageBoxView* Boxes = nullptr;
    TDataSenderViewFactory CreateView;
    TTextPrompt Prompt;
    TWizardRunner RunWizard;
};

// The main window `fQUBRA`: the header with the menu, the empty panel or the settings panel
// of the device on show, the footer. Its commands run through the device controller, which
// owns the state of the device being set up.
class TfQUBRA : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize ClientSize{883, 708};

    TfQUBRA(TDataManager& DataManager, TMainWindowServices Services = {}, QWidget* Parent = nullptr);
    ~TfQUBRA() override;

    TDeviceController& Controller() { return *FController; }
    // Where lng.ini is written when the window closes.
    TLanguageIni LanguageIni;

    // Header.
    QWidget* const pnlHeader;
    QLabel* const imgLogo;
    QLabel* const Label3;
    QLabel* const Label8;
    QLabel* const Label2;
    QLabel* const Image2;
    QLabel* const Image3;
    QWidget* const pnlTitulek;
    QLabel* const lblTitulek;
    QWidget* const pnlHMenyItems;
    TfrmTlacMenu* const menuLAN;
    TfrmTlacMenu* const menuIP;
    TfrmTlacMenu* const menuMAC;
    TfrmTlacMenu* const menuSetIP;
    QLabel* const Image1;
    // Centre: the empty panel and the settings panel.
    QWidget* const pnlCenter;
    QWidget* const pnlNone;
    QLabel* const Label1;
    // The devices on the LAN, in place of Label1 once the list command ran.
    TDeviceListPanel* Devices = nullptr;
    QWidget* const pnlDevSetup;
    QWidget* const pnlSetupLista;
    QLabel* const lblMACTitle;
    TfrmTlacitko* const cmdCloseSet;
    QWidget* const pnlMenuItems;
    TfrmTlacMenu* const tabTeplomer;
    TfrmTlacMenu* const tabSit;
    QWidget* const pnlNastav;
    // The data-channel page pnlNastTepl and the network page pnlNastNet, in pnlNastav.
    TSettingsPages* Pages = nullptr;
    TfrmTlacitko* const cmdSaveVals;
    TfrmTlacitko* const cmdLoadVals;
    TfrmTlacitko* const cmdDefaultVal;
    // Footer.
    QWidget* const pnlFooter;
    QLabel* const lblFooter;

    // The commands.
    void LANClick();
    void FindByIPClick();
    void FindByMACClick();
    void SetIPClick();
    void LoadFromDeviceClick();
    void DefaultsClick();
    void WriteToDeviceClick();
    void CloseSettings();
    void TabClick(QWidget* Tab);
    // The language at start: FileName when one is given, otherwise the one lng.ini names.
    void StartLanguage(const std::string& FileName = "");
    // Switches to the language file and translates every open window.
    void SwitchLanguage(const std::string& FileName);
    void OpenHomePage();

    // The panel of DeviceLoaded on show; on an error the empty panel, and the error passed on.
    void ShowPanels();
    void SelectTab(TfrmTlacMenu* Tab);
    // The direct child panel of pnlNastav to show; none hides them all.
    void ShowSettingsPage(QWidget* Page);
    void MenuHintEnter(QWidget* Sender);
    void MenuHintLeave(QWidget* Sender);

    // The Alt shortcuts; true when the key was one and its command ran.
    bool HandleAltKey(int Key);
    // The settings page of a tab: pnlNastTepl or pnlNastNet.
    QWidget* PageOfTab(TfrmTlacMenu* Tab) const;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void BuildHeader();
    void BuildCenter();
    void Connect(TTlacFrame* Frame, void (TfQUBRA::*Command)());
    using TCommand = void (TfQUBRA::*)();
    // The command of Alt+Key in the present state; none when the key goes on to the control.
    TCommand AltKeyCommand(int Key) const;
    void ShowDataChannelTab() { TabClick(tabTeplomer); }
    void ShowNetworkTab() { TabClick(tabSit); }
    void RecordToControls();
    void ControlsToRecord();
    // The command's outcome on show.
    void AfterCommand();
    void Warn(const TMessage& Caption, const TMessage& Text);

    TMainWindowServices Services;
    std::unique_ptr<TQtMessageBoxView> OwnBoxes;
    std::unique_ptr<TDeviceController> FController;
};

} // namespace qubra
