// The list of the devices on the LAN in the main window, against simulated devices on loopback:
// its rows, order and states, Enter on each kind of row, the context menu, a stop by Esc or by
// another command, and a language switch while it is on show.
#include <gtest/gtest.h>

#include <map>

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <chrono>

#include "i18n/Language.h"
#include "sim/SimText.h"
#include "tests/ui/UiDeviceTestSupport.h"
#include "ui/MainWindow.h"
#include "ui/SetIPWizard.h"

using namespace qubra;
using namespace qubra::test;

namespace {

const char* const kInSubnet = "00-20-4a-00-00-0a";
const char* const kOutside = "00-20-4a-00-00-0b";
const char* const kSharedFirst = "00-20-4a-00-00-0c";
const char* const kSharedSecond = "00-20-4a-00-00-0d";

class DeviceListTest : public UiDeviceTest {
protected:
    // The MACs the wizard was started with, and whether it assigns.
    std::vector<std::string> WizardMACs;
    bool WizardAssigns = false;
    std::map<std::string, TSimDevice*> Devices;
    std::string WizardLocalIP = "unset";
    std::unique_ptr<TfQUBRA> Window;

    void Start(std::int32_t AnswerTimeout)
    {
        // The host's subnet is 127.0.0.0/24, so 127.0.1.7 lies outside it.
        Network.AddAddress("127.0.0.1", "255.255.255.0", 1);
        for (const auto& [mac, ip] : {std::pair{kInSubnet, "127.0.0.4"}, {kOutside, "127.0.1.7"},
                                      {kSharedFirst, "127.0.0.9"}, {kSharedSecond, "127.0.0.9"}})
            Devices[mac] = &Host.AddDevice(SimTextToMAC(mac), SimTextToIP(ip));
        Host.Start();
        TMainWindowServices services{&Boxes, ViewFactory(), {}, {}};
        services.RunWizard = [this](TDeviceController& Controller, TMACAddress& MAC) {
            WizardMACs.push_back(MACToStr(MAC));
            WizardLocalIP = Controller.Link.LocalIP;
            if (!WizardAssigns)
                return TfSetIPWiz::ResultCancelled;
            // The address stays, but the device that shared it is gone: the assigned one is
            // alone there, as after a real assignment.
            for (auto& [mac, device] : Devices)
                if (mac != MACToStr(MAC) && device->IP() == Devices[MACToStr(MAC)]->IP()) {
                    TSimKnobs knobs = device->Knobs();
                    knobs.Silent = true;
                    device->SetKnobs(knobs);
                }
            return TfSetIPWiz::ResultAssigned;
        };
        Window = std::make_unique<TfQUBRA>(*Manager, std::move(services));
        AimAtDevices(Window->Controller());
        Window->Controller().Link.AnswerTimeout = AnswerTimeout;
    }
    TDeviceListPanel& List() const { return *Window->Devices; }
    void AwaitScanEnd() const
    {
        while (List().Scanning()) QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    std::vector<std::string> Column(int Column) const
    {
        std::vector<std::string> texts;
        const QAbstractItemModel& model = *List().lvDevices->model();
        for (int row = 0; row < model.rowCount(); ++row)
            texts.push_back(model.index(row, Column).data().toString().toStdString());
        return texts;
    }
    void Select(const char* MAC) const
    {
        const int row = List().List().IndexOf(MACOf(MAC));
        ASSERT_GE(row, 0) << MAC;
        List().lvDevices->setCurrentIndex(List().lvDevices->model()->index(row, 0));
    }
    void PressEnter() const { QTest::keyClick(List().lvDevices, Qt::Key_Return); }
};

TEST_F(DeviceListTest, ListsEveryDeviceInOrderWithItsStateAndEnterOpensEachKindOfRow)
{
    Start(300);
    EXPECT_FALSE(List().isVisible());
    Window->show();
    Window->LANClick();
    EXPECT_TRUE(List().Scanning());
    EXPECT_TRUE(List().isVisible());
    EXPECT_FALSE(Window->Label1->isVisible()) << "the list takes the empty panel's place";
    AwaitScanEnd();

    EXPECT_EQ(Column(0), (std::vector<std::string>{kInSubnet, kSharedFirst, kSharedSecond, kOutside}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"127.0.0.4", "127.0.0.9", "127.0.0.9", "127.0.1.7"}));
    const std::string shared = "Stejná adresa jako jiné zařízení: nejdříve Nastavit IP";
    EXPECT_EQ(Column(3), (std::vector<std::string>{"V podsíti rozhraní", shared, shared,
                                                   "Mimo podsíť: nejdříve Nastavit IP"}));
    EXPECT_EQ(List().lblScan->text(), QStringLiteral("Nalezená zařízení: 4"));
    EXPECT_EQ(List().lvDevices->currentIndex().row(), 0) << "the first row is selected";
    EXPECT_EQ(QApplication::focusWidget(), List().lvDevices);

    // The device in the subnet is read; the settings take the centre until they are closed.
    PressEnter();
    TDeviceController& c = Window->Controller();
    ASSERT_TRUE(c.DeviceLoaded) << LastNotice();
    EXPECT_EQ(c.DeviceMAC, MACOf(kInSubnet));
    EXPECT_EQ(IPToStr(c.DeviceIP), "127.0.0.4");
    EXPECT_TRUE(WizardMACs.empty());
    EXPECT_FALSE(List().isVisible());
    Window->CloseSettings();
    EXPECT_TRUE(List().isVisible());
    EXPECT_EQ(Column(0).size(), 4u) << "the list comes back as it was";

    // Outside the subnet: the wizard with its MAC; not assigned, nothing is read.
    Select(kOutside);
    PressEnter();
    EXPECT_EQ(WizardMACs, std::vector<std::string>{kOutside});
    EXPECT_EQ(WizardLocalIP, "") << "a scan at one broadcast address knows no interface";
    EXPECT_FALSE(c.DeviceLoaded);
    EXPECT_TRUE(List().isVisible());

    // A shared address: the wizard, and after the assignment the device is read by its MAC.
    WizardAssigns = true;
    Select(kSharedFirst);
    const QPoint cell = List().lvDevices->visualRect(List().lvDevices->currentIndex()).center();
    QTest::mousePress(List().lvDevices->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(List().lvDevices->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(WizardMACs.back(), kSharedFirst);
    ASSERT_TRUE(c.DeviceLoaded) << LastNotice();
    EXPECT_EQ(c.DeviceMAC, MACOf(kSharedFirst));
    Window->CloseSettings();

    // The context menu: open, Set IP even for a device in the subnet, copy the MAC.
    Select(kInSubnet);
    std::unique_ptr<QMenu> menu = List().ContextMenu();
    ASSERT_TRUE(menu);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Otevřít"));
    actions[2]->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1(kInSubnet));
    WizardAssigns = false;
    actions[1]->trigger();
    EXPECT_EQ(WizardMACs.back(), kInSubnet);
    EXPECT_FALSE(c.DeviceLoaded);

    // A language switch translates the list on show.
    const std::string resources = QUBRA_RESOURCES_DIR;
    Window->SwitchLanguage(resources + "/english.lng.xml");
    const QAbstractItemModel& model = *List().lvDevices->model();
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("MAC address"));
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Interface"));
    EXPECT_EQ(Column(3).back(), "Outside the subnet: Set IP first");
    EXPECT_EQ(List().lblScan->text(), QStringLiteral("Devices found: 4"));
    EXPECT_EQ(Window->menuLAN->Tlac->Caption(), QStringLiteral("Devices on the &LAN"));
    Window->SwitchLanguage(resources + "/cesky.lng.xml");
    EXPECT_EQ(Column(3).front(), "V podsíti rozhraní");
    EXPECT_EQ(Window->menuLAN->Tlac->Caption(), QStringLiteral("Zařízení v &LAN"));
}

TEST_F(DeviceListTest, EscOrACommandThatTalksToADeviceStopsTheScanAtOnce)
{
    Start(TfDataSender::kDefaultAnswerTimeout);
    Window->show();
    const auto scanFor = [this](const std::function<void()>& Stop) {
        QTest::keyClick(Window.get(), Qt::Key_L, Qt::AltModifier);
        EXPECT_TRUE(List().Scanning());
        while (Column(0).size() < 4) QApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_TRUE(List().lblScan->text().startsWith(QStringLiteral("Vyhledávám zařízení v LAN... zbývá ")))
            << List().lblScan->text().toStdString();
        const auto start = std::chrono::steady_clock::now();
        Stop();
        EXPECT_FALSE(List().Scanning());
        return std::chrono::steady_clock::now() - start;
    };

    EXPECT_LT(scanFor([this] { QTest::keyClick(List().lvDevices, Qt::Key_Escape); }), std::chrono::milliseconds(200));
    EXPECT_EQ(List().lblScan->text(), QStringLiteral("Vyhledávání zastaveno. Nalezená zařízení: 4"));
    EXPECT_EQ(Column(0).size(), 4u) << "what was found stays";

    // The command again stops it too; a new scan replaces the list.
    scanFor([this] { QTest::keyClick(Window.get(), Qt::Key_L, Qt::AltModifier); });
    EXPECT_EQ(Column(0).size(), 4u);

    // Reading a device ends the scan first.
    scanFor([this] {
        Select(kInSubnet);
        Window->LoadFromDeviceClick();
    });
    EXPECT_FALSE(List().Scanning());
}

} // namespace
