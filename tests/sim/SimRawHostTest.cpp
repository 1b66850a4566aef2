// The simulated devices at Ethernet level, on a veth cable between two test-made namespaces:
// a workstation with ordinary UDP sockets on one end, the devices' packet socket on the other.
#include "sim/TSimRawHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <thread>

#include "tests/lab/support/LabNetwork.h"
#include "tests/sim/SimTestClient.h"

using namespace qubra;
using namespace qubra::lab;
using simtest::Request;
using simtest::TTestClient;

namespace {

constexpr std::uint16_t kPort = 30718;
const char* const kFirstMAC = "00:20:4a:77:00:50";
const char* const kSecondMAC = "00:20:4a:77:00:51";

class SimRawHostLab : public testing::Test {
protected:
    void SetUp() override
    {
        QUBRA_LAB_REQUIRE_ROOT();
        Station = std::make_unique<TNetNamespace>("qsim");
        Lan = std::make_unique<TNetNamespace>("qsim");
        ConnectVeth(*Station, "veth0", *Lan, "veth0");
        Station->AddAddress("veth0", "10.77.0.1/24");
        // The limited broadcast needs a route out of the workstation.
        Station->ExecOrThrow("ip route add default dev veth0");
        Lan->LinkUp("veth0");
    }

    // Starts the devices inside the LAN namespace; the host's thread stays there.
    TSimRawHost& StartDevices(const std::vector<std::pair<const char*, const char*>>& devices,
                              const TSimKnobs& knobs = {})
    {
        TEnterNamespace inside(*Lan);
        Host = std::make_unique<TSimRawHost>("veth0");
        for (auto [mac, ip] : devices)
            Host->AddDevice(SimTextToMAC(mac), SimTextToIP(ip), knobs);
        Host->Start();
        return *Host;
    }

    // A UDP socket of the workstation.
    std::unique_ptr<TTestClient> StationClient()
    {
        TEnterNamespace inside(*Station);
        return std::make_unique<TTestClient>("0.0.0.0");
    }

    std::string Neighbour(const std::string& ip)
    {
        return Station->Exec("ip neigh show " + ip + " dev veth0").Output;
    }

    std::unique_ptr<TNetNamespace> Station;
    std::unique_ptr<TNetNamespace> Lan;
    std::unique_ptr<TSimRawHost> Host;   // declared last: goes before the namespaces
};

} // namespace

TEST_F(SimRawHostLab, AnswersARPAndADatagramToItsAddress)
{
    TSimRawHost& host = StartDevices({{kFirstMAC, "10.77.0.50"}});
    auto client = StationClient();
    client->SendTo("10.77.0.50", kPort, Request(0xE0));
    const auto answer = client->Receive(3000);
    ASSERT_TRUE(answer) << "no answer: ARP or checksums failed";
    EXPECT_EQ(answer->IP, "10.77.0.50");
    EXPECT_EQ(answer->Port, kPort);
    ASSERT_EQ(answer->Data.size(), 120u);
    EXPECT_EQ(answer->Data[3], 0xD0);
    EXPECT_EQ(SimIPToText(SimReadIP(answer->Data, 4)), "10.77.0.50");
    EXPECT_NE(Neighbour("10.77.0.50").find(kFirstMAC), std::string::npos);

    const auto received = host.Device(0).Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(SimIPToText(received[0].From.IP), "10.77.0.1");
    EXPECT_EQ(received[0].From.Port, client->Port());
    EXPECT_EQ(received[0].From.MAC, SimTextToMAC(Station->MACOf("veth0")));
}

TEST_F(SimRawHostLab, TakesADatagramSentToItsMACAtAnotherAddress)
{
    TSimRawHost& host = StartDevices({{kFirstMAC, "10.77.0.50"}, {kSecondMAC, "10.77.0.51"}});
    Station->ExecOrThrow(std::string("ip neigh replace 10.77.0.99 lladdr ") + kFirstMAC +
                         " dev veth0 nud permanent");
    auto client = StationClient();
    client->SendTo("10.77.0.99", kPort, Request(0xF8));
    const auto answer = client->Receive(3000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->IP, "10.77.0.50") << "the device answers from its own address";
    EXPECT_EQ(answer->Data[3], 0xF9);
    ASSERT_EQ(host.Device(0).Received().size(), 1u);
    EXPECT_EQ(SimIPToText(host.Device(0).Received()[0].To), "10.77.0.99");
    EXPECT_TRUE(host.Device(1).Received().empty());
}

TEST_F(SimRawHostLab, BroadcastIsAnsweredByEveryDeviceAlsoFromAForeignSubnet)
{
    StartDevices({{kFirstMAC, "10.77.0.50"}, {kSecondMAC, "192.168.5.5"}});
    auto client = StationClient();
    client->SendTo("255.255.255.255", kPort, Request(0xF6));
    std::set<std::string> answered;
    for (const auto& answer : client->ReceiveAll(500)) {
        ASSERT_EQ(answer.Data.size(), 30u);
        EXPECT_EQ(answer.Data[3], 0xF7);
        const TSimMAC mac = SimTextToMAC(answer.Data[29] == 0x50 ? kFirstMAC : kSecondMAC);
        EXPECT_TRUE(std::equal(mac.begin(), mac.end(), answer.Data.begin() + 24));
        answered.insert(answer.IP + " " + std::to_string(answer.Data[29]));
    }
    EXPECT_EQ(answered, (std::set<std::string>{"10.77.0.50 80", "192.168.5.5 81"}));
}

TEST_F(SimRawHostLab, DeviceSilentToARPIsOnlyFoundByBroadcast)
{
    TSimRawHost& host = StartDevices({{kFirstMAC, "10.77.0.60"}}, {.SilentToARP = true});
    auto client = StationClient();
    client->SendTo("10.77.0.60", kPort, Request(0xF6));
    EXPECT_FALSE(client->Receive(1500));
    EXPECT_TRUE(host.Device(0).Received().empty());
    EXPECT_EQ(Neighbour("10.77.0.60").find(kFirstMAC), std::string::npos);

    client->SendTo("255.255.255.255", kPort, Request(0xF6));
    const auto answer = client->Receive(2000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->IP, "10.77.0.60");
}

TEST_F(SimRawHostLab, SetIPThroughAStaticEntryRestartsTheDeviceAtTheNewAddress)
{
    StartDevices({{kFirstMAC, "192.168.5.5"}}, {.RestartMs = 300});
    Station->ExecOrThrow(std::string("ip neigh replace 10.77.0.70 lladdr ") + kFirstMAC +
                         " dev veth0 nud permanent");
    auto client = StationClient();
    TBytes request(124, 0);
    request[3] = 0xFD;
    SimWriteIP(request, 4, SimTextToIP("10.77.0.70"));
    request[10] = 8;
    client->SendTo("10.77.0.70", kPort, request);
    const auto confirmation = client->Receive(3000);
    ASSERT_TRUE(confirmation);
    EXPECT_EQ(confirmation->Data[3], 0xFB);
    EXPECT_EQ(confirmation->IP, "192.168.5.5");

    Station->ExecOrThrow("ip neigh del 10.77.0.70 dev veth0");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    client->SendTo("10.77.0.70", kPort, Request(0xF6));
    const auto answer = client->Receive(3000);
    ASSERT_TRUE(answer) << "the device must answer ARP and datagrams at its new address";
    EXPECT_EQ(answer->IP, "10.77.0.70");
    EXPECT_NE(Neighbour("10.77.0.70").find(kFirstMAC), std::string::npos);
    EXPECT_EQ(Neighbour("10.77.0.70").find("PERMANENT"), std::string::npos);
}

TEST_F(SimRawHostLab, ProgramInRawModeAnswersAndLogs)
{
    const std::string log = "/tmp/qubra-sim-raw-" + std::to_string(getpid()) + ".log";
    Lan->StartBackground(std::string("exec ") + QUBRA_SIM_PROGRAM +
                         " --raw veth0 --log --device 00-20-4a-77-00-52,10.77.0.52 > " + log +
                         " 2>&1");
    const auto text = [&] {
        std::ifstream file(log);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    for (int i = 0; i < 300 && text().find("ready") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(text().find("ready raw veth0 port 30718"), std::string::npos) << text();

    auto client = StationClient();
    client->SendTo("10.77.0.52", kPort, Request(0xF6));
    const auto answer = client->Receive(3000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Data[29], 0x52);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string expected = "in 00-20-4a-77-00-52 10.77.0.1:" +
                                 std::to_string(client->Port()) +
                                 " > 10.77.0.52:30718 4 000000F6";
    EXPECT_NE(text().find(expected), std::string::npos) << text();
    EXPECT_NE(text().find("arp 00-20-4a-77-00-52 10.77.0.52 > 10.77.0.1"), std::string::npos);
    std::filesystem::remove(log);
}
