// qubra-cli inside network namespaces against devices simulated at Ethernet level: the scan of
// every interface, the assignment through a temporary ARP entry, and its cleanup on a signal;
// converters that share one factory address provisioned from a plan.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/SetupFile.h"
#include "model/Conversions.h"
#include "model/DeviceMapping.h"
#include "sim/SimRecords.h"
#include "sim/SimText.h"
#include "tests/cli/CliLabSupport.h"
#include "tests/cli/ProgramRun.h"
#include "tests/lab/support/LabNetwork.h"

using namespace qubra::clitest;
using namespace qubra::lab;

namespace {

const char* const kDeviceMAC = "00-20-4a-63-00-09";

std::vector<std::string> CliIn(const TNetNamespace& Ns, std::vector<std::string> Arguments)
{
    Arguments.insert(Arguments.begin(), {"ip", "netns", "exec", Ns.Name(), QUBRA_CLI_PROGRAM});
    return Arguments;
}

bool HasPermanentEntry(const TNetNamespace& Ns, const std::string& IP)
{
    return Ns.Exec("ip neigh show " + IP).Output.find("PERMANENT") != std::string::npos;
}

// A workstation on a LAN whose devices sit at Ethernet level; no default route, so searches
// go to the LAN's own broadcast address.
class CliLab : public TWorkstationLan {
protected:
    CliLab() : TWorkstationLan("qcli") {}
};

} // namespace

TEST(CliLabScan, EveryInterfaceIsSearchedAndNamed)
{
    QUBRA_LAB_REQUIRE_ROOT();
    TNetNamespace workstation("qcli"), wired("qcli"), wireless("qcli");
    ConnectVeth(workstation, "eth0", wired, "eth0");
    ConnectVeth(workstation, "wlan0", wireless, "eth0");
    workstation.AddAddress("eth0", "10.61.0.1/24");
    workstation.AddAddress("wlan0", "10.62.0.1/24");
    // The default route leads to the wireless LAN, as on a laptop; the device on the cable
    // must be found all the same.
    workstation.ExecOrThrow("ip route add default dev wlan0");
    wired.LinkUp("eth0");
    wireless.LinkUp("eth0");
    const std::string wiredLog = "/tmp/qubra-lab-" + wired.Name() + ".log";
    const std::string wirelessLog = "/tmp/qubra-lab-" + wireless.Name() + ".log";
    StartRawDevices(wired, "eth0", "--device 00-20-4a-61-00-05,10.61.0.5 --device 00-20-4a-61-00-06,192.168.1.254",
                    wiredLog);
    StartRawDevices(wireless, "eth0", "--device 00-20-4a-62-00-07,10.62.0.7", wirelessLog);

    const TProgramResult result = RunProgram(CliIn(workstation, {"scan", "--json", "--timeout", "600"}));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    std::map<std::string, std::pair<std::string, std::string>> found;
    for (const auto& entry : nlohmann::json::parse(result.Out))
        EXPECT_TRUE(found.emplace(entry["mac"], std::pair{entry["ip"], entry["interface"]}).second)
            << "listed twice: " << entry;
    const std::map<std::string, std::pair<std::string, std::string>> expected{
        {"00-20-4a-61-00-05", {"10.61.0.5", "eth0"}},
        {"00-20-4a-61-00-06", {"192.168.1.254", "eth0"}},
        {"00-20-4a-62-00-07", {"10.62.0.7", "wlan0"}},
    };
    EXPECT_EQ(found, expected) << result.Out;
    std::filesystem::remove(wiredLog);
    std::filesystem::remove(wirelessLog);
}

TEST_F(CliLab, AssignIPThroughATemporaryEntryThenFindAndWriteOnTheLan)
{
    StartDevices(std::string("--device ") + kDeviceMAC + ",192.168.1.254,restart=100");
    const TProgramResult result = RunProgram(CliIn(
        *Workstation, {"assign-ip", "--mac", kDeviceMAC, "--ip", "10.63.0.50", "--mask", "255.255.255.0",
                       "--broadcast", "10.63.0.255", "--timeout", "1000", "--yes"}));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, std::string(kDeviceMAC) + " 10.63.0.50\n");
    EXPECT_FALSE(HasPermanentEntry(*Workstation, "10.63.0.50")) << "the temporary entry is removed";

    const TProgramResult read = RunProgram(
        CliIn(*Workstation, {"read", "--ip", "10.63.0.50", "--broadcast", "10.63.0.255", "--json"}));
    ASSERT_EQ(read.ExitCode, 0) << read.Err;
    EXPECT_EQ(nlohmann::json::parse(read.Out)["SetupRecord0.unit_ip"], "10.63.0.50");

    const TProgramResult found = RunProgram(
        CliIn(*Workstation, {"find", "--mac", kDeviceMAC, "--broadcast", "10.63.0.255", "--json"}));
    ASSERT_EQ(found.ExitCode, 0) << found.Err;
    EXPECT_EQ(nlohmann::json::parse(found.Out)["ip"], "10.63.0.50");

    // The device answers the address question itself, so nothing is asked; the value comes back
    // in the read after the write.
    const TProgramResult written = RunProgram(CliIn(
        *Workstation, {"write", "--mac", kDeviceMAC, "--set", "unit_port=4100", "--broadcast", "10.63.0.255",
                       "--timeout", "1000", "--no", "--json"}));
    ASSERT_EQ(written.ExitCode, 0) << written.Err;
    const auto report = nlohmann::json::parse(written.Out);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0]["fields"]["SetupRecord0.unit_port"], 4100);
    EXPECT_EQ(written.Err.find("-> no"), std::string::npos) << written.Err;
}

TEST_F(CliLab, SignalsDuringTheAssignmentRemoveTheTemporaryEntry)
{
    // Never answers, so the assignment waits with the entry in place.
    StartDevices(std::string("--device ") + kDeviceMAC + ",192.168.1.254,silent");
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        TProgram program(CliIn(*Workstation, {"assign-ip", "--mac", kDeviceMAC, "--ip", "10.63.0.60",
                                              "--broadcast", "10.63.0.255", "--timeout", "300", "--yes"}));
        bool added = false;
        for (int i = 0; i < 1000 && !added && program.Running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            added = HasPermanentEntry(*Workstation, "10.63.0.60");
        }
        ASSERT_TRUE(added) << program.Wait(1000).Err;
        program.Signal(signal);
        const TProgramResult result = program.Wait(5000);
        EXPECT_EQ(result.ExitCode, 128 + signal) << result.Err;
        EXPECT_NE(result.Err.find("interrupted"), std::string::npos) << result.Err;
        EXPECT_FALSE(HasPermanentEntry(*Workstation, "10.63.0.60"));
    }
}

namespace {

// The payloads' code bytes that the simulated device MAC took in, from its --log lines.
std::string CodesReceivedBy(const std::string& Log, const std::string& MAC)
{
    std::ifstream file(Log);
    std::string line, codes;
    while (std::getline(file, line))
        if (line.rfind("in " + MAC + " ", 0) == 0 && line.size() >= 8)
            codes += line.substr(line.size() - 2) + " ";
    return codes;
}

} // namespace

TEST_F(CliLab, ADeviceSharingItsAddressIsNeverReachedThroughTheOtherAndGetsAnAddressOfItsOwn)
{
    const std::string a = "00-20-4a-63-00-0a", b = "00-20-4a-63-00-0b";
    // New units hear only the limited broadcast, which the default route takes onto the cable.
    Workstation->ExecOrThrow("ip route add default dev eth0");
    StartDevices("--log --device " + a + ",10.63.0.77 --device " + b + ",10.63.0.77,restart=100");
    const std::vector<std::string> lan = {"--timeout", "1000"};
    const auto cli = [&](std::vector<std::string> Arguments) {
        Arguments.insert(Arguments.end(), lan.begin(), lan.end());
        return RunProgram(CliIn(*Workstation, Arguments));
    };

    for (const auto& command : {std::vector<std::string>{"read", "--mac", b},
                                std::vector<std::string>{"write", "--mac", b, "--set", "unit_port=4100", "--yes"}}) {
        SCOPED_TRACE(command[0]);
        const TProgramResult refused = cli(command);
        EXPECT_EQ(refused.ExitCode, 1) << refused.Err;
        EXPECT_NE(refused.Err.find(b), std::string::npos) << refused.Err;
        EXPECT_NE(refused.Err.find(a), std::string::npos) << refused.Err;
    }
    // Each device heard the searches and nothing else.
    for (const std::string& mac : {a, b}) {
        const std::string codes = CodesReceivedBy(DeviceLog(), mac);
        EXPECT_EQ(codes.find_first_not_of("F6 "), std::string::npos) << mac << ": " << codes;
    }

    const TProgramResult assigned = cli({"assign-ip", "--mac", b, "--ip", "10.63.0.78", "--mask", "255.255.255.0", "--yes"});
    ASSERT_EQ(assigned.ExitCode, 0) << assigned.Err;
    EXPECT_EQ(CodesReceivedBy(DeviceLog(), a).find_first_not_of("F6 "), std::string::npos)
        << "the assignment reached the other device: " << CodesReceivedBy(DeviceLog(), a);
    EXPECT_FALSE(HasPermanentEntry(*Workstation, "10.63.0.78"));

    const TProgramResult read = cli({"read", "--mac", b, "--json"});
    ASSERT_EQ(read.ExitCode, 0) << read.Err;
    EXPECT_EQ(nlohmann::json::parse(read.Out)["SetupRecord0.unit_ip"], "10.63.0.78");
    EXPECT_EQ(CodesReceivedBy(DeviceLog(), a).find_first_not_of("F6 "), std::string::npos);
}

TEST_F(CliLab, ADeviceOfAForeignSubnetThatAnswersARPIsReAddressedThroughTheEntryAlsoAsRoot)
{
    const std::string mac = "00-20-4a-63-00-0c";
    // Behind the default route, datagrams for 192.168.5.20 go to a gateway, whoever answers
    // ARP for that address on the cable.
    Workstation->ExecOrThrow("ip route add default via 10.63.0.254");
    StartDevices("--device " + mac + ",192.168.5.20,restart=100");
    const TProgramResult assigned = RunProgram(CliIn(
        *Workstation, {"assign-ip", "--mac", mac, "--ip", "10.63.0.56", "--mask", "255.255.255.0", "--timeout", "1000",
                       "--yes"}));
    ASSERT_EQ(assigned.ExitCode, 0) << assigned.Err;
    EXPECT_EQ(assigned.Out, mac + " 10.63.0.56\n");
    EXPECT_FALSE(HasPermanentEntry(*Workstation, "10.63.0.56"));
}

// Four converters straight from the factory, all at 192.168.1.254, known by their MACs: each ends
// at the address of its line with the tested configuration, every datagram meant for one reached
// that one alone, and the workstation's neighbour table keeps no entry of the tool.
TEST_F(CliLab, ProvisionGivesDevicesAtOneFactoryAddressEachItsOwn)
{
    const std::vector<std::string> macs{"00-20-4a-63-00-11", "00-20-4a-63-00-12", "00-20-4a-63-00-13",
                                        "00-20-4a-63-00-14"};
    std::string devices = "--log";
    std::string planText = "MAC,IP,MASK\n";
    std::map<std::string, std::string> planned;
    for (std::size_t i = 0; i < macs.size(); ++i) {
        devices += " --device " + macs[i] + ",192.168.1.254,restart=300";
        planned[macs[i]] = "10.63.0." + std::to_string(51 + i);
        planText += macs[i] + "," + planned[macs[i]] + ",255.255.255.0\n";
    }
    StartDevices(devices);
    // Searches go to 255.255.255.255, which devices of any subnet hear.
    Workstation->ExecOrThrow("ip route add default dev eth0");

    const std::unique_ptr<qubra::TDataManager> layout = qubra::LoadDeviceMapping("");
    qubra::TDataPacket& record = *layout->FindPacket("SetupRecord0");
    record.SetData(qubra::SimDefaultSetupRecord(qubra::SimTextToIP("10.63.0.9")));
    record.SetValue("unit_port", 4001);
    record.SetValue("line_speed", 8);
    record.SetValue("terminal_name", "Linka 4");
    const std::string prefix = "/tmp/qubra-lab-" + Lan->Name();
    const std::string tested = prefix + "-tested.json", plan = prefix + "-plan.csv", report = prefix + "-report.json";
    std::ofstream(tested) << qubra::JsonText(qubra::SetupDocument(*layout, "00-20-4a-63-00-09", "10.63.0.9"));
    std::ofstream(plan) << planText;

    const TProgramResult result = RunProgram(
        CliIn(*Workstation,
              {"provision", "--plan", plan, "--in", tested, "--timeout", "1000", "--yes", "--report", report}),
        "", 120000);
    EXPECT_EQ(result.ExitCode, 0) << result.Out << result.Err;
    std::ifstream reportFile(report);
    const auto rows = nlohmann::json::parse(reportFile, nullptr, false);
    for (const auto& row : rows["devices"])
        EXPECT_EQ(row["outcome"], "ok") << row;

    for (const std::string& mac : macs) {
        SCOPED_TRACE(mac);
        const TProgramResult exported = RunProgram(
            CliIn(*Workstation, {"export", "--mac", mac, "--timeout", "1000"}));
        if (exported.ExitCode != 0) {
            ADD_FAILURE() << exported.Err;
            continue;
        }
        const auto document = nlohmann::json::parse(exported.Out);
        EXPECT_EQ(document["ip"], planned[mac]);
        qubra::TBytes expected = record.GetData();
        qubra::SimWriteIP(expected, qubra::kSimIPOffset, qubra::SimTextToIP(planned[mac]));
        expected[qubra::kSimHostBitsOffset] = 8;
        const qubra::TBytes bytes = qubra::HexToBytes(document["records"]["SetupRecord0"].get<std::string>());
        ASSERT_EQ(bytes.size(), expected.size());
        EXPECT_TRUE(std::equal(bytes.begin() + 4, bytes.end(), expected.begin() + 4)) << "the tested bytes";
    }

    // "in MAC FROM-IP:PORT > TO-IP:PORT LENGTH HEX": a datagram not broadcast went to the device's
    // new address, never to the address the devices shared.
    std::ifstream log(DeviceLog());
    int unicasts = 0;
    for (std::string line; std::getline(log, line);) {
        std::istringstream words(line);
        std::string kind, mac, from, arrow, to;
        words >> kind >> mac >> from >> arrow >> to;
        if (kind != "in" || !planned.count(mac))
            continue;
        const std::string toIP = to.substr(0, to.find(':'));
        if (toIP == "10.63.0.255" || toIP == "255.255.255.255")
            continue;
        ++unicasts;
        EXPECT_EQ(toIP, planned[mac]) << line;
    }
    EXPECT_GT(unicasts, 0);
    EXPECT_EQ(Workstation->Exec("ip neigh show nud permanent").Output, "") << "no entry of the tool is left";
    for (const std::string& file : {tested, plan, report})
        std::filesystem::remove(file);
}
