// The device list's rows, their order and states, what Enter does, and the scan's status line.
#include <gtest/gtest.h>

#include "control/DeviceList.h"
#include "tests/control/ControlTestSupport.h"

using namespace qubra;

namespace {

constexpr std::uint32_t kMask24 = 0x00FFFFFF;   // 255.255.255.0 in network order

TScanEntry OnEth0(const std::string& MAC, const std::string& IP)
{
    return {MAC, IP, "eth0", "10.0.0.1", kMask24, false};
}

TEST(DeviceList, RowsGoByAddressThenMACAndEachStateFollowsTheWholeList)
{
    // A scan at one broadcast address knows no interface: the workstation's subnets decide.
    TDeviceList list([](std::uint32_t IP) { return IP == StrToIP("127.0.0.9"); });
    list.Add({OnEth0("00-20-4a-00-00-0a", "10.0.0.10"), OnEth0("00-20-4a-00-00-09", "10.0.0.9"),
              OnEth0("00-20-4a-00-00-03", "192.168.1.254"), {"00-20-4a-00-00-07", "127.0.0.9", "", "", 0, false}});
    // Later answers: the same device again (another interface), a second one at 10.0.0.9 whose
    // MAC sorts first, one beyond the interface's subnet, one the subnet test refuses.
    list.Add({{"00-20-4a-00-00-0a", "10.0.0.10", "wlan0", "10.0.1.1", kMask24, false},
              OnEth0("00-20-4a-00-00-01", "10.0.0.9"), {"00-20-4a-00-00-08", "127.0.0.8", "", "", 0, false}});

    struct TExpected {
        const char* MAC;
        const char* Interface;
        TDeviceState State;
        TRowCommand Enter;
    };
    const TExpected expected[] = {
        {"00-20-4a-00-00-01", "eth0 (10.0.0.1)", TDeviceState::SharedIP, TRowCommand::SetIP},
        {"00-20-4a-00-00-09", "eth0 (10.0.0.1)", TDeviceState::SharedIP, TRowCommand::SetIP},
        {"00-20-4a-00-00-0a", "eth0 (10.0.0.1)", TDeviceState::InSubnet, TRowCommand::Open},
        {"00-20-4a-00-00-08", "", TDeviceState::OutsideSubnet, TRowCommand::SetIP},
        {"00-20-4a-00-00-07", "", TDeviceState::InSubnet, TRowCommand::Open},
        {"00-20-4a-00-00-03", "eth0 (10.0.0.1)", TDeviceState::OutsideSubnet, TRowCommand::SetIP},
    };
    ASSERT_EQ(list.Rows().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const TDeviceRow& row = list.Rows()[i];
        SCOPED_TRACE(row.Entry.MAC);
        EXPECT_EQ(row.Entry.MAC, expected[i].MAC);
        EXPECT_EQ(row.MAC, controltest::MACOf(expected[i].MAC));
        EXPECT_EQ(InterfaceText(row.Entry), expected[i].Interface);
        EXPECT_EQ(row.State, expected[i].State);
        EXPECT_EQ(EnterCommand(row), expected[i].Enter);
        EXPECT_EQ(list.IndexOf(row.MAC), static_cast<int>(i));
    }
    EXPECT_EQ(list.IndexOf(controltest::MACOf("00-20-4a-00-00-02")), -1);
    list.Clear();
    EXPECT_TRUE(list.Rows().empty());
}

TEST(DeviceList, TheStatusLineCountsDownWholeSecondsThenTellsTheOutcome)
{
    using std::chrono::milliseconds;
    EXPECT_EQ(ScanStatusText(true, false, milliseconds(3600), 0), "Vyhledávám zařízení v LAN... zbývá 4 s");
    EXPECT_EQ(ScanStatusText(true, false, milliseconds(1), 2), "Vyhledávám zařízení v LAN... zbývá 1 s");
    EXPECT_EQ(ScanStatusText(false, false, milliseconds(0), 250), "Nalezená zařízení: 250");
    EXPECT_EQ(ScanStatusText(false, true, milliseconds(900), 3), "Vyhledávání zastaveno. Nalezená zařízení: 3");
    EXPECT_EQ(ScanStatusText(false, false, milliseconds(0), 0), "Zařízení nebylo nalezeno");
}

} // namespace
