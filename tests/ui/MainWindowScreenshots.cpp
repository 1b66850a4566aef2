#include "MainWindowScreenshots.h"

#include <QApplication>

#include <chrono>

#include "conversation/RecordingView.h"
#include "i18n/Language.h"
#include "model/DeviceMapping.h"
#include "sim/SimText.h"
#include "sim/TSimUdpHost.h"
#include "tests/conversation/SharedView.h"
#include "ui/MainWindow.h"
#include "ui/SetIPWizard.h"

namespace qubra::test {

namespace {

// The list while a scan runs on a workstation with a cable (eth0) and Wi-Fi (wlan0): one device
// beyond the cable's subnet, two sharing the factory address. Loopback has one interface, so
// the answers are handed to the list as the scan would hand them; the scan itself runs at a
// port where nobody answers, for its countdown.
bool SaveDeviceListShot(TfQUBRA& Window, const TFrameWindow& Frame, const TSavePixmap& Save)
{
    TSimUdpHost quiet;
    quiet.AddDevice(SimTextToMAC("00-20-4a-00-00-99"), SimTextToIP("127.0.0.253"), {.Silent = true});
    quiet.Start();
    TLinkSettings& link = Window.Controller().Link;
    const TLinkSettings saved = link;
    link.DevicePort = quiet.Port();
    link.AnswerTimeout = TfDataSender::kDefaultAnswerTimeout;
    Window.LANClick();
    constexpr std::uint32_t mask24 = 0x00FFFFFF;
    Window.Devices->AddDevices({
        {"00-20-4a-12-34-56", "192.168.1.20", "eth0", "192.168.1.10", mask24, false},
        {"00-20-4a-12-34-57", "192.168.1.254", "eth0", "192.168.1.10", mask24, false},
        {"00-20-4a-12-34-58", "192.168.1.254", "eth0", "192.168.1.10", mask24, false},
        {"00-20-4a-12-34-59", "10.0.0.17", "eth0", "192.168.1.10", mask24, false},
        {"00-20-4a-0a-00-07", "10.8.0.7", "wlan0", "10.8.0.101", mask24, false},
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1200);
    while (std::chrono::steady_clock::now() < until) QApplication::processEvents(QEventLoop::AllEvents, 10);
    const bool ok = Window.Devices->Scanning() && Save(Frame(Window), QStringLiteral("main-window-device-list.png"));
    Window.Devices->StopScan();
    link = saved;
    return ok;
}

} // namespace

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
    saved = saved && SaveDeviceListShot(window, Frame, Save);
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
