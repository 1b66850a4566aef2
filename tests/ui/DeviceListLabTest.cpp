// The device list on a workstation with two network segments (root only): a cable with its
// devices and a wireless LAN, which the default route takes. Devices on both are listed once
// each, and Enter on a device of the cable reads exactly that device.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <map>

#include "model/DeviceMapping.h"
#include "net/IPHelper.h"
#include "sim/SimText.h"
#include "sim/TSimRawHost.h"
#include "tests/control/ControlTestSupport.h"
#include "tests/conversation/SharedView.h"
#include "tests/lab/support/LabNetwork.h"
#include "ui/MainWindow.h"

using namespace qubra;
using namespace qubra::lab;

namespace {

constexpr std::uint8_t kRecordQuery = 0xE0;

// Devices at Ethernet level on Interface inside Ns.
std::unique_ptr<TSimRawHost> DevicesIn(const TNetNamespace& Ns, const std::map<std::string, std::string>& Devices)
{
    TEnterNamespace inside(Ns);
    auto host = std::make_unique<TSimRawHost>("eth0");
    for (const auto& [mac, ip] : Devices) host->AddDevice(SimTextToMAC(mac), SimTextToIP(ip));
    host->Start();
    return host;
}

TEST(DeviceListLab, DevicesOnBothSegmentsAreListedOnceAndEnterReadsExactlyTheOneChosen)
{
    QUBRA_LAB_REQUIRE_ROOT();
    TNetNamespace workstation("qdl"), wired("qdl"), wireless("qdl");
    ConnectVeth(workstation, "eth0", wired, "eth0");
    ConnectVeth(workstation, "wlan0", wireless, "eth0");
    workstation.AddAddress("eth0", "10.71.0.1/24");
    workstation.AddAddress("wlan0", "10.72.0.1/24");
    workstation.ExecOrThrow("ip route add default dev wlan0");
    wired.LinkUp("eth0");
    wireless.LinkUp("eth0");
    const std::unique_ptr<TSimRawHost> cable =
        DevicesIn(wired, {{"00-20-4a-71-00-05", "10.71.0.5"}, {"00-20-4a-71-00-06", "192.168.1.254"}});
    const std::unique_ptr<TSimRawHost> air = DevicesIn(wireless, {{"00-20-4a-72-00-07", "10.72.0.7"}});

    TEnterNamespace inside(workstation);
    TScopedIPHelper backend(LinuxIPHelperLoader());
    TRecordingView views, boxes;
    const std::unique_ptr<TDataManager> manager = LoadDeviceMapping("");
    TfQUBRA window(*manager, {&boxes, [&] { return std::make_unique<test::TSharedView>(views); }, {}, {}});
    window.Controller().Link.AnswerTimeout = 600;
    window.show();
    window.LANClick();
    while (window.Devices->Scanning()) QApplication::processEvents(QEventLoop::AllEvents, 5);

    std::map<std::string, std::pair<std::string, TDeviceState>> listed;
    for (const TDeviceRow& row : window.Devices->List().Rows())
        EXPECT_TRUE(listed.emplace(row.Entry.MAC, std::pair{InterfaceText(row.Entry), row.State}).second)
            << "listed twice: " << row.Entry.MAC;
    const std::map<std::string, std::pair<std::string, TDeviceState>> expected{
        {"00-20-4a-71-00-05", {"eth0 (10.71.0.1)", TDeviceState::InSubnet}},
        {"00-20-4a-71-00-06", {"eth0 (10.71.0.1)", TDeviceState::OutsideSubnet}},
        {"00-20-4a-72-00-07", {"wlan0 (10.72.0.1)", TDeviceState::InSubnet}},
    };
    EXPECT_EQ(listed, expected);

    // The cable is not where the default route leads: the search must leave through it.
    const int row = window.Devices->List().IndexOf(controltest::MACOf("00-20-4a-71-00-05"));
    ASSERT_GE(row, 0);
    window.Devices->lvDevices->setCurrentIndex(window.Devices->lvDevices->model()->index(row, 0));
    QTest::keyClick(window.Devices->lvDevices, Qt::Key_Return);
    TDeviceController& c = window.Controller();
    ASSERT_TRUE(c.DeviceLoaded) << (views.Notices.empty() ? "" : views.Notices.back().Text);
    EXPECT_EQ(c.DeviceMAC, controltest::MACOf("00-20-4a-71-00-05"));
    EXPECT_EQ(IPToStr(c.DeviceIP), "10.71.0.5");
    EXPECT_FALSE(cable->Device(0).ReceivedWithCode(kRecordQuery).empty());
    EXPECT_TRUE(cable->Device(1).ReceivedWithCode(kRecordQuery).empty());
    EXPECT_TRUE(air->Device(0).ReceivedWithCode(kRecordQuery).empty());
    EXPECT_EQ(c.Link.LocalIP, "") << "the interface was chosen for that command only";
}

} // namespace
