#include "MainWindowScreenshots.h"

#include <QApplication>

#include "conversation/RecordingView.h"
#include "i18n/Language.h"
#include "model/DeviceMapping.h"
#include "sim/TSimUdpHost.h"
#include "tests/conversation/SharedView.h"
#include "ui/MainWindow.h"
#include "ui/SetIPWizard.h"

namespace qubra::test {

bool SaveMainWindowShots(const TFrameWindow& Frame, const TSavePixmap& Save)
{
    TSimUdpHost host;
    host.AddDevice(SimTextToMAC("00-20-4a-00-00-01"), SimTextToIP("127.0.0.254"));
    host.Start();
    const std::unique_ptr<TDataManager> manager = LoadDeviceMapping("");
    // The communication windows and boxes are not what these pictures show.
    TRecordingView views;
    TRecordingView boxes;
    TMainWindowServices services;
    services.Boxes = &boxes;
    services.CreateView = [&views] { return std::make_unique<TSharedView>(views); };
    services.Prompt = [](const QString&, const QString&, const QString&) { return QStringLiteral("127.0.0.254"); };
    TfQUBRA window(*manager, services);
    window.Controller().Link.DevicePort = host.Port();
    window.Controller().Link.BroadcastIP = "127.255.255.255";
    window.Controller().Link.AnswerTimeout = 500;

    bool saved = Save(Frame(window), QStringLiteral("main-window-empty.png"));
    window.FindByIPClick();
    if (!window.Controller().DeviceLoaded) return false;
    saved = saved && Save(Frame(window), QStringLiteral("main-window-data-channel.png"));
    window.TabClick(window.tabSit);
    saved = saved && Save(Frame(window), QStringLiteral("main-window-network.png"));

    TfSetIPWiz wizard(window.Controller(), boxes);
    wizard.txtMAC->setText(QStringLiteral("00-20-4a-00-00-01"));
    saved = saved && Save(Frame(wizard), QStringLiteral("wizard-mac.png"));
    wizard.cmdMAC_NextClick();
    saved = saved && Save(Frame(wizard), QStringLiteral("wizard-ip.png"));
    wizard.IPSet->SetValues("127.0.0.200", "255.0.0.0", "127.0.0.1");
    wizard.cmdSetIPClick();
    saved = saved && Save(Frame(wizard), QStringLiteral("wizard-finish.png"));
    wizard.hide();

    window.SwitchLanguage(QUBRA_RESOURCES_DIR "/english.lng.xml");
    window.TabClick(window.tabTeplomer);
    saved = saved && Save(Frame(window), QStringLiteral("main-window-english.png"));
    window.TabClick(window.tabSit);
    saved = saved && Save(Frame(window), QStringLiteral("main-window-english-network.png"));
    window.SwitchLanguage(QUBRA_RESOURCES_DIR "/cesky.lng.xml");
    window.hide();
    return saved;
}

} // namespace qubra::test
