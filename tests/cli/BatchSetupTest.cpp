// Several devices set up side by side by the real program: the order of the results, a silent
// device among others, the dry run, the read-back check, the report, and provisioning from a plan.
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "cli/CommandLine.h"
#include "cli/SetupFile.h"
#include "model/Conversions.h"
#include "net/ARPManager.h"
#include "net/ARPMemoryBackend.h"
#include "sim/SimRecords.h"
#include "tests/cli/CliTestSupport.h"

using namespace qubra;
using namespace qubra::clitest;

namespace {

const char* const kMAC1 = "00-20-4a-00-00-01";
const char* const kMAC2 = "00-20-4a-00-00-02";
const char* const kMAC3 = "00-20-4a-00-00-03";
const char* const kMAC4 = "00-20-4a-00-00-04";

bool Contains(const std::string& Text, const std::string& Part)
{
    return Text.find(Part) != std::string::npos;
}

std::string TempPath(const std::string& Name)
{
    return ::testing::TempDir() + "qubra-batch-" + std::to_string(getpid()) + "-" + Name;
}

std::string TempFile(const std::string& Name, const std::string& Content)
{
    const std::string path = TempPath(Name);
    std::ofstream(path, std::ios::binary) << Content;
    return path;
}

nlohmann::ordered_json ReadJson(const std::string& Path)
{
    std::ifstream file(Path);
    return nlohmann::ordered_json::parse(file);
}

// What a device received, beside the searches and the queries.
std::size_t Changes(const TSimDevice& Device)
{
    return Device.PayloadsWithCode(kSetCode).size() + Device.PayloadsWithCode(kSetIPCode).size();
}

TSimKnobs Restarting(int Ms)
{
    TSimKnobs knobs;
    knobs.RestartMs = Ms;
    return knobs;
}

class BatchSetup : public CliProgramTest {
protected:
    // An export of a device with a port, a speed and a name of its own, at 127.0.0.9/8.
    static std::string TestedFile()
    {
        const std::unique_ptr<TDataManager> layout = LoadDeviceMapping("");
        TDataPacket& record = *layout->FindPacket("SetupRecord0");
        record.SetData(SimDefaultSetupRecord(SimTextToIP("127.0.0.9")));
        record.SetValue("unit_port", 4001);
        record.SetValue("line_speed", 8);
        record.SetValue("terminal_name", "Linka");
        record.SetValue("num_host_bits", 24);
        record.SetValue("gateway_ip", "127.0.0.254");
        return TempFile("tested.json", JsonText(SetupDocument(*layout, "00-20-4a-00-00-09", "127.0.0.9")));
    }
};

} // namespace

// The devices run side by side, a silent one does not hold up the others, and the results keep
// the order given; the report has a row for each, also for the one that failed.
TEST_F(BatchSetup, DevicesRunSideBySideAndReportInTheOrderGiven)
{
    TSimKnobs silent;
    silent.Silent = true;
    TSimDevice& first = AddDevice("127.0.0.1", kMAC1, Restarting(400));
    AddDevice("127.0.0.2", kMAC2, silent);
    TSimDevice& third = AddDevice("127.0.0.3", kMAC3, Restarting(400));
    const std::string report = TempPath("report.json");
    const TProgramResult result = Cli({"write", "--ip", "127.0.0.3", "--ip", "127.0.0.2", "--ip", "127.0.0.1", "--set",
                                       "unit_port=5000", "--yes", "--report", report});
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    const std::size_t at3 = result.Out.find("# 127.0.0.3 00-20-4a-00-00-03 127.0.0.3 ok\n");
    const std::size_t at2 = result.Out.find("# 127.0.0.2 - - failed\n");
    const std::size_t at1 = result.Out.find("# 127.0.0.1 00-20-4a-00-00-01 127.0.0.1 ok\n");
    ASSERT_NE(at3, std::string::npos) << result.Out;
    EXPECT_TRUE(at3 < at2 && at2 < at1 && at1 != std::string::npos) << result.Out;
    EXPECT_TRUE(Contains(result.Err, "127.0.0.2: error: Zařízení nebylo nalezeno")) << result.Err;
    // Both written devices were reached before either was back from its restart.
    const auto firstWrite = first.ReceivedWithCode(kSetCode);
    const auto thirdWrite = third.ReceivedWithCode(kSetCode);
    ASSERT_EQ(firstWrite.size(), 1u);
    ASSERT_EQ(thirdWrite.size(), 1u);
    const auto apart = firstWrite[0].At - thirdWrite[0].At;
    EXPECT_LT(std::chrono::abs(apart), std::chrono::milliseconds(400)) << "side by side";

    const auto rows = ReadJson(report);
    EXPECT_EQ(rows["command"], "write");
    EXPECT_EQ(rows["dry_run"], false);
    ASSERT_EQ(rows["devices"].size(), 3u);
    const auto& ok = rows["devices"][0];
    EXPECT_EQ(ok["target"], "127.0.0.3");
    EXPECT_EQ(ok["mac"], kMAC3);
    EXPECT_EQ(ok["ip_before"], "127.0.0.3");
    EXPECT_EQ(ok["ip_after"], "127.0.0.3");
    EXPECT_EQ(ok["outcome"], "ok");
    EXPECT_EQ(ok["changed"], (nlohmann::ordered_json::parse(
                                 R"([{"field":"SetupRecord0.unit_port","old":"10001","new":"5000"}])")));
    EXPECT_GT(ok["seconds"].get<double>(), 0.4) << "it waited for the restart";
    const auto& failed = rows["devices"][1];
    EXPECT_EQ(failed["outcome"], "failed");
    EXPECT_EQ(failed["ip_before"], "");
    EXPECT_TRUE(Contains(failed["error"].get<std::string>(), "nebylo nalezeno")) << failed;
    EXPECT_EQ(rows["devices"][2]["target"], "127.0.0.1");

    // One after another with --jobs 1: the second device is written only once the first is back.
    first.ClearReceived();
    third.ClearReceived();
    const TProgramResult serial =
        Cli({"write", "--ip", "127.0.0.1", "--ip", "127.0.0.3", "--set", "unit_port=5001", "--yes", "--jobs", "1"});
    ASSERT_EQ(serial.ExitCode, 0) << serial.Err;
    const auto firstReceived = first.Received();
    const auto thirdReceived = third.ReceivedWithCode(kSetCode);
    ASSERT_FALSE(firstReceived.empty());
    ASSERT_EQ(thirdReceived.size(), 1u);
    EXPECT_GT(thirdReceived[0].At - first.ReceivedWithCode(kSetCode).at(0).At, std::chrono::milliseconds(400));
}

// Each device is read and what would change is shown field by field; nothing is written.
TEST_F(BatchSetup, DryRunShowsEveryChangeAndSendsNothingButReads)
{
    const std::string tested = TestedFile();
    TSimDevice& first = AddDevice("127.0.0.1", kMAC1);
    TSimDevice& second = AddDevice("127.0.0.2", kMAC2);
    const TProgramResult result = Cli({"import", "--ip", "127.0.0.1", "--mac", kMAC2, "--in", tested, "--dry-run"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out,
              "# 127.0.0.1 00-20-4a-00-00-01 127.0.0.1 dry-run\n"
              "SetupRecord0.line_speed: 2 [9600] -> 8 [115200]\n"
              "SetupRecord0.unit_port: 10001 -> 4001\n"
              "SetupRecord0.terminal_name:  -> Linka\n"
              "# 00-20-4a-00-00-02 00-20-4a-00-00-02 127.0.0.2 dry-run\n"
              "SetupRecord0.line_speed: 2 [9600] -> 8 [115200]\n"
              "SetupRecord0.unit_port: 10001 -> 4001\n"
              "SetupRecord0.terminal_name:  -> Linka\n");

    const std::string plan = TempFile("dry.csv", "00-20-4a-00-00-01,127.0.0.21,255.255.0.0\n");
    const TProgramResult provision = Cli({"provision", "--plan", plan, "--in", tested, "--dry-run", "--json"});
    ASSERT_EQ(provision.ExitCode, 0) << provision.Err;
    const auto rows = Json(provision);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["target"], plan + ":1");
    EXPECT_EQ(rows[0]["ip"], "127.0.0.21");
    std::map<std::string, std::pair<std::string, std::string>> changes;
    for (const auto& change : rows[0]["changes"])
        changes[change["field"]] = {change["old"], change["new"]};
    EXPECT_EQ(changes["SetupRecord0.unit_ip"], (std::pair<std::string, std::string>{"127.0.0.1", "127.0.0.21"}));
    EXPECT_EQ(changes["SetupRecord0.num_host_bits"].second, "16") << "the plan's mask";
    EXPECT_EQ(changes["SetupRecord0.gateway_ip"].second, "127.0.0.254") << "the file's gateway";
    for (const TSimDevice* device : {&first, &second})
        EXPECT_EQ(Changes(*device), 0u) << "a dry run sends nothing but searches and reads";
}

// A device that keeps an old value fails, naming the field; the others are not held back.
TEST_F(BatchSetup, AFieldThatDoesNotReadBackAsWrittenFailsThatDevice)
{
    TSimKnobs stale = Restarting(50);
    stale.StaleByte = 24;  // the low byte of unit_port
    AddDevice("127.0.0.1", kMAC1, stale);
    AddDevice("127.0.0.2", kMAC2, Restarting(50));
    const TProgramResult result = Cli({"write", "--ip", "127.0.0.1", "--ip", "127.0.0.2", "--set", "unit_port=4001",
                                       "--set", "line_speed=115200", "--yes", "--json"});
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    const auto rows = Json(result);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["ok"], false);
    EXPECT_EQ(rows[0]["error"], "zapsáno, ale zařízení vrací SetupRecord0.unit_port=3857 místo 4001");
    EXPECT_EQ(rows[1]["ok"], true);
    EXPECT_TRUE(Contains(result.Err, "127.0.0.1: error: zapsáno, ale zařízení vrací SetupRecord0.unit_port=3857"))
        << result.Err;

    Locale = {"LANG=en_US.UTF-8"};
    const TProgramResult english = Cli({"write", "--ip", "127.0.0.1", "--set", "unit_port=4002", "--yes"});
    EXPECT_EQ(english.ExitCode, 1);
    EXPECT_TRUE(Contains(english.Err, "error: written but reads back SetupRecord0.unit_port=3857 instead of 4002"))
        << english.Err;
}

// Every device of the plan gets its address, then the tested configuration with that address,
// and is read back there.
TEST_F(BatchSetup, ProvisionGivesEachDeviceItsAddressAndTheTestedConfiguration)
{
    const std::string tested = TestedFile();
    std::vector<TSimDevice*> devices;
    int i = 1;
    for (const char* mac : {kMAC1, kMAC2, kMAC3, kMAC4})
        devices.push_back(&AddDevice("127.0.0." + std::to_string(i++), mac, Restarting(300)));
    const std::string plan = TempFile("plan.csv", std::string("MAC,IP,MASK,GATEWAY\n") + kMAC1 +
                                                      ",127.0.1.1\n" + kMAC2 + ",127.0.1.2,255.255.0.0\n" + kMAC3 +
                                                      ",127.0.1.3,,127.0.0.1\n# spare\n" + kMAC4 + ",127.0.1.4\n");
    const std::string report = TempPath("provision.json");
    const TProgramResult result = Cli({"provision", "--plan", plan, "--in", tested, "--yes", "--report", report});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const std::vector<std::pair<int, std::string>> expected{{24, "127.0.0.254"}, {16, "127.0.0.254"},
                                                            {24, "127.0.0.1"}, {24, "127.0.0.254"}};
    const auto rows = ReadJson(report)["devices"];
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t d = 0; d < devices.size(); ++d) {
        SCOPED_TRACE(d);
        const std::string ip = "127.0.1." + std::to_string(d + 1);
        EXPECT_EQ(SimIPToText(devices[d]->IP()), ip);
        TRecordReader record(devices[d]->Record());
        EXPECT_EQ(record.Value("unit_ip").Text(), ip);
        EXPECT_EQ(record.Value("num_host_bits").Integer(), expected[d].first);
        EXPECT_EQ(record.Value("gateway_ip").Text(), expected[d].second);
        EXPECT_EQ(record.Value("unit_port").Integer(), 4001);
        EXPECT_EQ(record.Value("terminal_name").Text(), "Linka");
        EXPECT_EQ(rows[d]["ip_before"], "127.0.0." + std::to_string(d + 1));
        EXPECT_EQ(rows[d]["ip_after"], ip);
        EXPECT_EQ(rows[d]["outcome"], "ok");
        EXPECT_FALSE(devices[d]->PayloadsWithCode(kSetIPCode).empty());
    }
    EXPECT_TRUE(Contains(result.Out, "# " + plan + ":4 00-20-4a-00-00-03 127.0.1.3 ok\n")) << result.Out;
}

// A plan with a fault is refused before anything is sent, naming the line; so is an address that
// another station answers for.
TEST_F(BatchSetup, AFaultyPlanIsRefusedBeforeAnythingIsSent)
{
    const std::string tested = TestedFile();
    TSimDevice& device = AddDevice("127.0.0.1", kMAC1);
    const std::string twice = TempFile("twice.csv", std::string(kMAC1) + ",127.0.1.1\n" + kMAC2 + ",127.0.1.1\n");
    const std::string malformed = TempFile("malformed.csv", "MAC,IP\n\n" + std::string(kMAC1) + ",127.0.1\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"provision", "--plan", twice, "--in", tested}, twice + ":2: address 127.0.1.1 is already on line 1"},
        {{"provision", "--plan", malformed, "--in", tested, "--dry-run"},
         malformed + ":3: IP: '127.0.1' is not an IPv4 address"},
        {{"provision", "--plan", "/nonexistent/plan.csv", "--in", tested}, "failed to load \"/nonexistent/plan.csv\""},
        {{"provision", "--plan", "/dev/zero", "--in", tested}, "/dev/zero: larger than 1 MB"},
        {{"provision", "--plan", twice}, "provision needs --in FILE"},
        {{"provision", "--in", tested}, "provision needs --plan PLAN"},
        {{"provision", "--plan", twice, "--in", tested, "--mac", kMAC1}, "provision takes no --ip or --mac"},
        {{"read", "--ip", "127.0.0.1", "--dry-run"}, "--dry-run belongs to write, defaults, import, provision"},
        {{"export", "--ip", "127.0.0.1", "--jobs", "4"}, "--jobs belongs to"},
        {{"write", "--ip", "127.0.0.1", "--set", "unit_port=1", "--jobs", "0"}, "--jobs: '0' is not a number from 1"},
        {{"write", "--ip", "127.0.0.1", "--set", "unit_port=1", "--report", "/nonexistent/r.json"},
         "/nonexistent/r.json: the folder /nonexistent does not exist"},
    };
    for (const auto& [arguments, message] : cases) {
        const TProgramResult result = Cli(arguments);
        SCOPED_TRACE(result.Err);
        EXPECT_EQ(result.ExitCode, 2);
        EXPECT_TRUE(Contains(result.Err, "qubra-cli: " + message));
        EXPECT_EQ(result.Out, "");
    }
    EXPECT_TRUE(device.Received().empty());

    // In-process, where a station of the host's table answers for the address of line 3.
    TARPMemoryBackend host;
    host.AddAddress("127.0.0.100", "255.0.0.0", 1);
    host.AddStation("127.0.1.2", "00-11-22-33-44-55");
    TScopedIPHelper scope(host.Loader());
    const std::string taken = TempFile("taken.csv", std::string("MAC,IP\n") + kMAC1 + ",127.0.1.2\n");
    std::ostringstream out, err;
    std::istringstream in;
    TCommandLine program(out, err, in, -1);
    EXPECT_EQ(program.Run({"--port", std::to_string(Host.Port()), "--broadcast", "127.255.255.255", "provision",
                           "--plan", taken, "--in", tested, "--yes"}),
              2);
    EXPECT_TRUE(Contains(err.str(), taken + ":2: address 127.0.1.2 is already answered by 00-11-22-33-44-55"))
        << err.str();
    EXPECT_TRUE(device.Received().empty());
}
