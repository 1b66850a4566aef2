// The qubra-cli program as a user runs it, against simulated devices on loopback.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/Conversions.h"
#include "net/ARPManager.h"
#include "resources/QUBRA_dmi.h"
#include "sim/SimRecords.h"
#include "tests/cli/CliTestSupport.h"

using namespace qubra;
using namespace qubra::clitest;

namespace {

const char* const kMAC1 = "00-20-4a-00-00-01";
const char* const kMAC2 = "00-20-4a-00-00-02";
const char* const kMAC3 = "00-20-4a-00-00-03";

bool Contains(const std::string& Text, const std::string& Part)
{
    return Text.find(Part) != std::string::npos;
}

// A factory record at IP with some fields changed through the layout.
TBytes RecordWith(const std::string& IP, const std::vector<std::pair<std::string, TItemValue>>& Values)
{
    TRecordReader reader(SimDefaultSetupRecord(SimTextToIP(IP)));
    for (const auto& [field, value] : Values)
        reader.Record().SetValue(field, value);
    return reader.Record().GetData();
}

std::string TempFile(const std::string& Name, const std::string& Content)
{
    const std::string path = ::testing::TempDir() + "qubra-cli-" + std::to_string(getpid()) + "-" + Name;
    std::ofstream(path, std::ios::binary) << Content;
    return path;
}

// The built-in mapping with Extra more fields in its setup record.
std::string LargeMapping(int Extra)
{
    std::string mapping(resources::QUBRA_dmi);
    std::string fields;
    for (int i = 0; i < Extra; ++i)
        fields += "<dataitem name=\"extra_" + std::to_string(i) + "\" type=\"number\" position=\"100\" size=\"1\"/>\n";
    return mapping.insert(mapping.find("</datapacket>"), fields);
}

// The bytes after the header, where the settings are.
TBytes Body(const TBytes& Record)
{
    if (Record.size() <= 4) {
        ADD_FAILURE() << "a record of " << Record.size() << " bytes has no settings";
        return {};
    }
    return TBytes(Record.begin() + 4, Record.end());
}

} // namespace

TEST_F(CliProgramTest, BadUsageAndBadInputEndWithTwoAndReachNoDevice)
{
    TSimDevice& device = AddDevice("127.0.0.1", kMAC1);
    const std::string missing = "/nonexistent/qubra-setup.json";
    const std::string malformed = TempFile("malformed.json", "{\"format\": \"qubra232-setup\", ");
    const std::string shortRecord = TempFile(
        "short.json", R"({"format":"qubra232-setup","version":1,"records":{"SetupRecord0":"00FF"}})");
    const std::string strangeRecord = TempFile(
        "strange.json", R"({"format":"qubra232-setup","version":1,"records":{"SetupRecord0":")" +
                            std::string(240, '0') + R"(","Other":"00"}})");
    const auto setupFile = [&](const std::string& Name, const std::string& Version,
                               const std::string& Fields) {
        return TempFile(Name, R"({"format":"qubra232-setup","version":)" + Version +
                                  R"(,"records":{"SetupRecord0":")" + BytesToHex(RecordWith("127.0.0.5", {})) +
                                  R"("},"fields":{)" + Fields + "}}");
    };
    const std::string huge = TempFile("huge.json", std::string((16u << 20) + 1, ' '));
    const std::string hugeLanguage = TempFile("huge.lng.xml", std::string((16u << 20) + 1, ' '));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{}, "no command given"},
        {{"read"}, "read needs exactly one --ip or --mac"},
        {{"read", "--ip", "127.0.0.1", "--ip", "127.0.0.2"}, "exactly one"},
        {{"read", "--ip", "127.0.0.256"}, "not an IPv4 address"},
        {{"read", "--mac", "00:20:4a:00:00:01"}, "not a MAC address"},
        {{"read", "--mac", "00-20-4a-00-00"}, "not a MAC address"},
        {{"read", "--ip", "127.0.0.1", "--yes", "--no"}, "exclude each other"},
        {{"read", "--ip", "127.0.0.1", "--set", "line_speed=1"}, "--set belongs to write"},
        {{"scan", "--ip", "127.0.0.1"}, "scan takes no"},
        {{"assign-ip", "--mac", kMAC1}, "one --mac and one --ip"},
        {{"assign-ip", "--mac", kMAC1, "--ip", "127.0.0.7", "--mask", "255.0.255.0"}, "not a netmask"},
        {{"write", "--ip", "127.0.0.1"}, "write needs at least one --set"},
        {{"write", "--ip", "127.0.0.1", "--set", "SetupRecord0.no_such_field=1"},
         "Polozka SetupRecord0.no_such_field nebyla nalezena."},
        {{"write", "--ip", "127.0.0.1", "--set", "line_speed=1", "--set", "unit_port=fast"},
         "'fast' is not a valid integer value"},
        {{"write", "--ip", "127.0.0.1", "--set", "terminal_name=\xE6\x97\xA5"}, "Windows-1250"},
        {{"write", "--ip", "127.0.0.1", "--set", "line_speed=999999"}, "'999999' does not fit line_speed"},
        {{"write", "--ip", "127.0.0.1", "--set", "line_speed=-1"}, "does not fit"},
        {{"write", "--ip", "127.0.0.1", "--set", "telnet_password=abcdef"}, "does not fit"},
        {{"import", "--ip", "127.0.0.1", "--in", missing}, "cannot be read"},
        {{"import", "--ip", "127.0.0.1", "--in", malformed}, "parse error"},
        {{"import", "--ip", "127.0.0.1", "--in", shortRecord}, "has 2 bytes, the device's has 120"},
        {{"import", "--ip", "127.0.0.1", "--in", strangeRecord}, "record Other is not a setup record"},
        // The version is the integer 1 alone; a value beyond int is no undefined behaviour.
        {{"import", "--ip", "127.0.0.1", "--in", setupFile("v1e93.json", "1e93", "")}, "unknown version"},
        {{"import", "--ip", "127.0.0.1", "--in", setupFile("vbig.json", "4294967297", "")}, "unknown version"},
        {{"import", "--ip", "127.0.0.1", "--in", setupFile("vfraction.json", "1.99", "")}, "unknown version"},
        {{"import", "--ip", "127.0.0.1", "--in", setupFile("vtrue.json", "true", "")}, "unknown version"},
        {{"import", "--ip", "127.0.0.1", "--in", TempFile("format.json", R"({"format":{}})")}, "not a setup file"},
        {{"import", "--ip", "127.0.0.1", "--in", huge}, "huge.json: larger than 16 MB"},
        {{"read", "--ip", "127.0.0.1", "--lang", hugeLanguage}, "huge.lng.xml: larger than 16 MB"},
        // An edited readable field goes by the rules of --set.
        {{"import", "--ip", "127.0.0.1", "--in", setupFile("port.json", "1", R"("SetupRecord0.unit_port":"fast")")},
         "field SetupRecord0.unit_port: 'fast' is not a valid integer value"},
        {{"import", "--ip", "127.0.0.1", "--in", setupFile("speed.json", "1", R"("SetupRecord0.line_speed":15)")},
         "field SetupRecord0.line_speed: '15' is none of the values"},
        {{"import", "--ip", "127.0.0.1", "--in", setupFile("ip.json", "1", R"("SetupRecord0.unit_ip":"224.0.0.1")")},
         "unit_ip: 224.0.0.1 is no device's address"},
        {{"import", "--ip", "127.0.0.1", "--in", setupFile("float.json", "1", R"("SetupRecord0.unit_port":4001.5)")},
         "field SetupRecord0.unit_port: 4001.5 is no number"},
        {{"import", "--ip", "127.0.0.1", "--in", setupFile("unknown.json", "1", R"("SetupRecord0.nope":1)")},
         "field SetupRecord0.nope is not a setup field"},
        {{"read", "--ip", "127.0.0.1", "--mapping", missing}, "no such file"},
        {{"read", "--ip", "127.0.0.1", "--mapping", malformed}, ""},
        {{"read", "--ip", "127.0.0.1", "--lang", missing}, "nenalezen"},
        // Addresses and MACs only in the form the tool writes, and only a device's.
        {{"read", "--ip", "127.0.0.01"}, "not an IPv4 address"},
        {{"read", "--ip", "127.0.0.21 junk"}, "not an IPv4 address"},
        {{"read", "--ip", "127.1"}, "not an IPv4 address"},
        {{"read", "--mac", "00-20-4a-00-00-01\xFF"}, "not a MAC address"},
        {{"read", "--mac", "00-20-4a-00-00-015"}, "not a MAC address"},
        {{"read", "--mac", "00.20.4a.00.00.01"}, "not a MAC address"},
        {{"read", "--mac", "00-00-00-00-00-00"}, "00-00-00-00-00-00 is no device's MAC address"},
        {{"find", "--mac", "FF-FF-FF-FF-FF-FF"}, "no device's MAC address"},
        {{"read", "--ip", "0.0.0.0"}, "0.0.0.0 is no device's address"},
        {{"write", "--ip", "255.255.255.255", "--set", "unit_port=1"}, "no device's address"},
        {{"assign-ip", "--mac", kMAC1, "--ip", "0.0.0.0"}, "no device's address"},
        {{"assign-ip", "--mac", kMAC1, "--ip", "0.0.0.0", "--yes"}, "no device's address"},
        {{"assign-ip", "--mac", kMAC1, "--ip", "255.255.255.255", "--yes"}, "no device's address"},
        {{"assign-ip", "--mac", kMAC1, "--ip", "127.0.0.061", "--yes"}, "not an IPv4 address"},
        {{"assign-ip", "--mac", kMAC1, "--ip", "127.0.0.7", "--gateway", "127.0.0.0254"}, "not an IPv4"},
        {{"assign-ip", "--mac", kMAC1, "--ip", "127.0.0.7", "--mask", "255.255.255.000"}, "not an IPv4"},
        // Values the field cannot take whole, in every kind the setup record has.
        {{"write", "--ip", "127.0.0.1", "--set", "unit_port=+70000"}, "does not fit unit_port"},
        {{"write", "--ip", "127.0.0.1", "--set", "flush_mode_1=2"}, "not a valid boolean value"},
        {{"write", "--ip", "127.0.0.1", "--set", "gateway_ip=foo"}, "not an IPv4 address"},
        {{"write", "--ip", "127.0.0.1", "--set", "remote_ip=192.168.1.300"}, "not an IPv4 address"},
        {{"write", "--ip", "127.0.0.1", "--set", "line_speed=16"}, "does not fit line_speed"},
        {{"write", "--ip", "127.0.0.1", "--set", "tcp_keepalive_range=256"}, "does not fit"},
        {{"write", "--ip", "127.0.0.1", "--set", "disconnect_config_term=2"}, "no combination of the values"},
        {{"write", "--ip", "127.0.0.1", "--set", "terminal_name=a\\qb"}, "starts none of"},
        {{"write", "--ip", "127.0.0.1", "--set", "terminal_name=a\nb", "--set", "unit_port=x\ny"},
         "'x\\ny' is not a valid integer value"},
        {{"export", "--ip", "127.0.0.1", "--out", "/nonexistent/folder/setup.json"}, "does not exist"},
    };
    for (const auto& [arguments, message] : cases) {
        const TProgramResult result = Cli(arguments);
        SCOPED_TRACE(result.Err);
        EXPECT_EQ(result.ExitCode, 2);
        EXPECT_TRUE(Contains(result.Err, message));
        EXPECT_TRUE(Contains(result.Err, "Try 'qubra-cli --help'."));
        EXPECT_EQ(result.Out, "");
    }
    EXPECT_TRUE(device.Received().empty()) << "bad input must not reach any device";

    const TProgramResult help = Cli({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_TRUE(Contains(help.Out, "assign-ip --mac MAC --ip ADDR"));
}

TEST_F(CliProgramTest, FindAndReadShowEveryFieldInMappingOrder)
{
    TSimDevice& device = AddDevice("127.0.0.2", kMAC2);
    device.SetRecord(RecordWith("127.0.0.2", {{"line_speed", 8},
                                              {"unit_port", 4001},
                                              {"disconnect_config_ledoff", true},
                                              {"terminal_name", "Linka \xE8.1"}}));  // Windows-1250

    const TProgramResult mac = Cli({"find", "--ip", "127.0.0.2"});
    EXPECT_EQ(mac.ExitCode, 0) << mac.Err;
    EXPECT_EQ(mac.Out, std::string(kMAC2) + "\n");
    const TProgramResult ip = Cli({"find", "--mac", "00-20-4A-00-00-02"});
    EXPECT_EQ(ip.ExitCode, 0) << ip.Err;
    EXPECT_EQ(ip.Out, "127.0.0.2\n");
    const TProgramResult both = Cli({"find", "--ip", "127.0.0.2", "--json"});
    EXPECT_EQ(Json(both), (nlohmann::ordered_json{{"mac", kMAC2}, {"ip", "127.0.0.2"}}));

    // Status lines only with --verbose, and never on standard output.
    const TProgramResult text = Cli({"read", "--ip", "127.0.0.2"});
    ASSERT_EQ(text.ExitCode, 0) << text.Err;
    EXPECT_EQ(text.Err, "");
    const TProgramResult verbose = Cli({"read", "--ip", "127.0.0.2", "--verbose"});
    EXPECT_TRUE(Contains(verbose.Err, "127.0.0.2...\n")) << verbose.Err;
    EXPECT_TRUE(Contains(verbose.Err, "1 z 1")) << verbose.Err;
    EXPECT_EQ(verbose.Out, text.Out);
    std::vector<std::string> lines;
    std::istringstream stream(text.Out);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    const auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    const std::vector<std::string> expected{
        "SetupRecord0.unit_ip=127.0.0.2",
        "SetupRecord0.line_speed=8 [115200]",
        "SetupRecord0.unit_port=4001",
        "SetupRecord0.disconnect_config_ledoff=true",
        "SetupRecord0.terminal_name=Linka č.1",
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_LT(at(expected[i]), static_cast<long>(lines.size())) << expected[i] << "\n" << text.Out;
        if (i > 0) {
            EXPECT_LT(at(expected[i - 1]), at(expected[i])) << "mapping order";
        }
    }
    EXPECT_FALSE(Contains(text.Out, "$header"));

    const TProgramResult json = Cli({"read", "--mac", kMAC2, "--json"});
    ASSERT_EQ(json.ExitCode, 0) << json.Err;
    const auto object = Json(json);
    ASSERT_TRUE(object.is_object());
    ASSERT_EQ(object.size(), lines.size());
    std::size_t i = 0;
    for (const auto& [key, value] : object.items())
        EXPECT_EQ(lines[i++].rfind(key + "=", 0), 0u) << key << " in the order of the text";
    EXPECT_EQ(object["SetupRecord0.unit_port"], 4001);
    EXPECT_EQ(object["SetupRecord0.line_speed"], 8);
    EXPECT_EQ(object["SetupRecord0.disconnect_config_ledoff"], true);
    EXPECT_EQ(object["SetupRecord0.terminal_name"], "Linka č.1");
    EXPECT_EQ(object["SetupRecord0.unit_ip"], "127.0.0.2");
}

TEST_F(CliProgramTest, TextFieldsKeepToTheirLineAndJsonKeepsThemExact)
{
    TSimDevice& device = AddDevice("127.0.0.2", kMAC2);
    device.SetRecord(RecordWith("127.0.0.2", {{"terminal_name", "A\nunit_port=1"}, {"unit_port", 4001}}));

    const TProgramResult text = Cli({"read", "--ip", "127.0.0.2"});
    ASSERT_EQ(text.ExitCode, 0) << text.Err;
    EXPECT_TRUE(Contains(text.Out, "SetupRecord0.terminal_name=A\\nunit_port=1\n")) << text.Out;
    EXPECT_FALSE(Contains(text.Out, "\nunit_port=1\n")) << "no line that reads as a field";

    const TProgramResult json = Cli({"read", "--ip", "127.0.0.2", "--json"});
    ASSERT_EQ(json.ExitCode, 0) << json.Err;
    EXPECT_EQ(Json(json)["SetupRecord0.terminal_name"], "A\nunit_port=1");
}

TEST_F(CliProgramTest, AbsentDeviceEndsWithOneAndTheNoticeInTheChosenLanguage)
{
    AddDevice("127.0.0.1", kMAC1);
    const TProgramResult czech = Cli({"find", "--ip", "127.0.0.5"});
    EXPECT_EQ(czech.ExitCode, 1);
    EXPECT_TRUE(Contains(czech.Err, "Zařízení nebylo nalezeno")) << czech.Err;
    EXPECT_EQ(czech.Out, "");

    const TProgramResult english = Cli({"read", "--mac", "00-20-4a-00-00-99", "--lang", "english.lng.xml"});
    EXPECT_EQ(english.ExitCode, 1);
    EXPECT_TRUE(Contains(english.Err, "Device not found")) << english.Err;
}

TEST_F(CliProgramTest, WithoutLangTheLocaleChoosesTheLanguage)
{
    AddDevice("127.0.0.1", kMAC1);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"LANG=en_US.UTF-8"}, "Device not found"},
        {{}, "Device not found"},
        {{"LC_MESSAGES=cs_CZ.UTF-8", "LANG=en_US.UTF-8"}, "Zařízení nebylo nalezeno"},
        {{"LC_ALL=C.UTF-8", "LANG=cs_CZ.UTF-8"}, "Device not found"},
    };
    for (const auto& [locale, notice] : cases) {
        Locale = locale;
        const TProgramResult result = Cli({"find", "--ip", "127.0.0.5"});
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_TRUE(Contains(result.Err, notice)) << ::testing::PrintToString(locale) << "\n" << result.Err;
    }

    // A copy of the program with no language file beside it: the file the locale picks may be
    // missing (or installed elsewhere); either way the command runs.
    const std::string bare = ::testing::TempDir() + "qubra-cli-bare-" + std::to_string(getpid());
    std::filesystem::create_directory(bare);
    std::filesystem::copy_file(QUBRA_CLI_PROGRAM, bare + "/qubra-cli");
    Locale = {"LANG=en_US.UTF-8"};
    std::vector<std::string> command = Command({"find", "--ip", "127.0.0.5"});
    std::replace(command.begin(), command.end(), std::string(QUBRA_CLI_PROGRAM), bare + "/qubra-cli");
    command.insert(command.begin() + 1, {"-C", bare});
    const TProgramResult result = RunProgram(command);
    std::filesystem::remove_all(bare);
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_FALSE(Contains(result.Err, "nenalezen")) << result.Err;
}

TEST_F(CliProgramTest, WriteSetsValuesInTheOrderGivenAndReadsTheDeviceBack)
{
    TSimDevice& device = AddDevice("127.0.0.1", kMAC1);
    // The whole byte first, then its two low bits: the bits win.
    TProgramResult result = Cli({"write", "--ip", "127.0.0.1", "--yes", "--set", "line_interface_mode=0",
                                 "--set", "SetupRecord0.line_interface_mode_rs=RS-422/485", "--set",
                                 "line_speed=115200", "--set", "terminal_name=Příjem", "--set",
                                 "disconnect_config_ledoff=true"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    std::vector<TBytes> writes = device.PayloadsWithCode(kSetCode);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0][1], 0x00) << "a single record is the last of its batch";
    EXPECT_EQ(writes[0][20], 0x01);
    TRecordReader written(writes[0]);
    EXPECT_EQ(written.Value("line_speed").Integer(), 8);
    EXPECT_EQ(written.Value("terminal_name").Text(), "P\xF8\xEDjem");
    EXPECT_TRUE(written.Value("disconnect_config_ledoff").Boolean());
    EXPECT_TRUE(Contains(result.Out, "# 127.0.0.1 00-20-4a-00-00-01 127.0.0.1 ok\n"));
    EXPECT_TRUE(Contains(result.Out, "SetupRecord0.line_speed=8 [115200]\n")) << "read back";
    EXPECT_TRUE(Contains(result.Out, "SetupRecord0.terminal_name=Příjem\n"));

    device.ClearReceived();
    result = Cli({"write", "--ip", "127.0.0.1", "--yes", "--set", "line_interface_mode_rs=1", "--set",
                  "line_interface_mode=0"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    writes = device.PayloadsWithCode(kSetCode);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0][20], 0x00) << "the whole byte, given last, wins";
}

TEST_F(CliProgramTest, WriteHandlesEveryDeviceInTurnAndReportsEach)
{
    TSimDevice& first = AddDevice("127.0.0.1", kMAC1);
    TSimDevice& second = AddDevice("127.0.0.2", kMAC2);
    const TProgramResult result = Cli({"write", "--ip", "127.0.0.1", "--ip", "127.0.0.3", "--mac", kMAC2,
                                       "--set", "unit_port=5000", "--yes", "--json"});
    EXPECT_EQ(result.ExitCode, 1) << "one device was missing";
    const auto report = Json(result);
    ASSERT_TRUE(report.is_array());
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[0]["ok"], true);
    EXPECT_EQ(report[0]["fields"]["SetupRecord0.unit_port"], 5000);
    EXPECT_EQ(report[1]["ok"], false);
    EXPECT_EQ(report[1]["target"], "127.0.0.3");
    EXPECT_FALSE(report[1].contains("fields"));
    EXPECT_EQ(report[2]["ok"], true);
    EXPECT_EQ(report[2]["ip"], "127.0.0.2");
    for (TSimDevice* device : {&first, &second}) {
        const std::vector<TBytes> writes = (*device).PayloadsWithCode(kSetCode);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(TRecordReader(writes[0]).Value("unit_port").Integer(), 5000);
    }
}

// The second device answers with 8 bytes of its record: it counts as not read, and what the
// first device sent (its password and name) never reaches it.
TEST_F(CliProgramTest, WriteNeverCarriesOneDevicesSettingsToAnother)
{
    TSimDevice& first = AddDevice("127.0.0.1", kMAC1);
    TSimDevice& second = AddDevice("127.0.0.2", kMAC2, {.ShortAnswers = 8});
    first.SetRecord(RecordWith("127.0.0.1", {{"telnet_password", "abcd"}, {"terminal_name", "Sklad"}}));

    const TProgramResult result = Cli({"write", "--ip", "127.0.0.1", "--ip", "127.0.0.2", "--set",
                                       "unit_port=5000", "--yes", "--json"});
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    const auto report = Json(result);
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0]["ok"], true);
    EXPECT_EQ(report[1]["ok"], false);
    EXPECT_EQ(first.PayloadsWithCode(kSetCode).size(), 1u);
    EXPECT_TRUE(second.PayloadsWithCode(kSetCode).empty());

    const TProgramResult read = Cli({"read", "--ip", "127.0.0.2"});
    EXPECT_EQ(read.ExitCode, 1);
    EXPECT_EQ(read.Out, "") << "no field it never sent";
}

TEST_F(CliProgramTest, DefaultsWriteTheMappingsTextsInTheDevicesCharacterSet)
{
    TSimDevice& device = AddDevice("127.0.0.1", kMAC1);
    const std::string mapping = TempFile(
        "mapping.dmi",
        R"(<?xml version="1.0" encoding="UTF-8"?><root><device_mapping device_type="QUBRA"><datamanager name="Q">)"
        R"(<datapacket name="SetupRecord0" size="120" h_query="000000e0" h_answer="000000d0" h_set="000000c0" h_setanswer="000000b0" type="setuprecord">)"
        R"(<dataitem name="$header" type="hexa" position="0" size="4"/>)"
        R"(<dataitem name="unit_ip" type="ipaddress" position="4" size="4"/>)"
        R"(<dataitem name="terminal_name" type="string" position="52" size="15" default_value="Kůň č.1"/>)"
        R"(</datapacket></datamanager></device_mapping></root>)");
    const TProgramResult result = Cli({"defaults", "--ip", "127.0.0.1", "--mapping", mapping, "--yes"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const std::vector<TBytes> writes = device.PayloadsWithCode(kSetCode);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(TRecordReader(writes[0]).Value("terminal_name").Text(), "K\xF9\xF2 \xE8.1");
    EXPECT_TRUE(Contains(result.Out, "SetupRecord0.terminal_name=Kůň č.1\n")) << result.Out;
}

TEST_F(CliProgramTest, AddressOutsideTheSubnetsIsAskedAndNoSendsNothing)
{
    const char* const foreign = "198.51.100.77";
    // Answering Yes would ask the network who owns the address: only answer No here.
    if (ARPManager().IsLocalAddress(foreign))
        GTEST_SKIP() << foreign << " lies in a subnet of this machine";
    TSimDevice& device = AddDevice("127.0.0.1", kMAC1);
    const std::vector<std::string> write{"write", "--ip", "127.0.0.1", "--set",
                                         std::string("unit_ip=") + foreign};

    auto answered = write;
    answered.push_back("--no");
    TProgramResult result = Cli(answered);
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(Contains(result.Err, "Varování: IP adresa, kterou chcete přiřadit (198.51.100.77) "
                                     "nepřísluší stejné podsíti jako tento počítač.\nChcete ji přesto přiřadit?\n"
                                     "-> no (--no)"))
        << result.Err;
    EXPECT_FALSE(Contains(result.Out, foreign)) << "the record that was not written is not shown";

    result = Cli(write, "yes\n");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(Contains(result.Err, "-> no (standard input is not a terminal")) << result.Err;

    // On a terminal the question waits for the answer; Ctrl-C there ends the run at once.
    {
        TProgram typed(Command(write), TTerminalInput{});
        ASSERT_TRUE(typed.WaitForError("[y/N] ")) << typed.Wait(1000).Err;
        typed.Type("n\n");
        result = typed.Wait(5000);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_TRUE(Contains(result.Err, "[y/N] -> no\n")) << result.Err;
    }
    {
        TProgram interrupted(Command(write), TTerminalInput{});
        ASSERT_TRUE(interrupted.WaitForError("[y/N] ")) << interrupted.Wait(1000).Err;
        interrupted.Signal(SIGINT);
        result = interrupted.Wait(2000);
        EXPECT_EQ(result.ExitCode, 128 + SIGINT) << result.Err;
    }

    answered.insert(answered.end(), {"--lang", "english.lng.xml"});
    result = Cli(answered);
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(Contains(result.Err, "The IP address you want to assign (198.51.100.77) is not in the same subnet"))
        << result.Err;

    EXPECT_TRUE(device.PayloadsWithCode(kSetCode).empty());
}

TEST_F(CliProgramTest, DefaultsSendTheDefaultValuesAndKeepTheAddress)
{
    TSimDevice& device = AddDevice("127.0.0.1", kMAC1);
    device.SetRecord(RecordWith("127.0.0.1", {{"line_speed", 0},
                                              {"unit_port", 4001},
                                              {"flow_control", 2},
                                              {"terminal_name", "abc"},
                                              {"gateway_ip", "127.0.0.254"}}));
    const TProgramResult result = Cli({"defaults", "--ip", "127.0.0.1", "--yes", "--json"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const std::vector<TBytes> writes = device.PayloadsWithCode(kSetCode);
    ASSERT_EQ(writes.size(), 1u);
    TRecordReader written(writes[0]);
    EXPECT_EQ(written.Value("line_speed").Integer(), 2);
    EXPECT_EQ(written.Value("unit_port").Integer(), 10001);
    EXPECT_EQ(written.Value("flow_control").Integer(), 0);
    EXPECT_EQ(written.Value("terminal_name").Text(), "");
    EXPECT_EQ(written.Value("gateway_ip").Text(), "0.0.0.0");
    EXPECT_EQ(written.Value("unit_ip").Text(), "127.0.0.1") << "the address has no default";
    const auto report = Json(result);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0]["fields"]["SetupRecord0.line_speed"], 2) << "read back";
    EXPECT_EQ(report[0]["fields"]["SetupRecord0.unit_ip"], "127.0.0.1");
}

TEST_F(CliProgramTest, ImportClonesTheExportKeepingEachDevicesOwnNetwork)
{
    TSimDevice& model = AddDevice("127.0.0.1", kMAC1);
    TSimDevice& second = AddDevice("127.0.0.2", kMAC2);
    TSimDevice& third = AddDevice("127.0.0.3", kMAC3);
    model.SetRecord(RecordWith("127.0.0.1", {{"line_speed", 8},
                                             {"unit_port", 4001},
                                             {"num_host_bits", 8},
                                             {"gateway_ip", "127.0.0.254"},
                                             {"terminal_name", "Sklad"}}));
    third.SetRecord(RecordWith("127.0.0.3", {{"num_host_bits", 16}, {"gateway_ip", "127.0.0.250"}}));

    const std::string file = ::testing::TempDir() + "qubra-cli-export-" + std::to_string(getpid()) + ".json";
    const TProgramResult exported = Cli({"export", "--ip", "127.0.0.1", "--out", file});
    ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
    std::ifstream stream(file);
    const auto document = nlohmann::ordered_json::parse(stream);
    EXPECT_EQ(document["mac"], kMAC1);
    const TBytes bytes = HexToBytes(document["records"]["SetupRecord0"].get<std::string>());
    EXPECT_EQ(Body(bytes), Body(model.Record()));
    EXPECT_EQ(document["fields"]["SetupRecord0.unit_port"], 4001);

    const std::map<TSimDevice*, TBytes> own{{&second, second.Record()}, {&third, third.Record()}};
    const TProgramResult imported =
        Cli({"import", "--ip", "127.0.0.2", "--mac", kMAC3, "--in", file, "--yes", "--json"});
    ASSERT_EQ(imported.ExitCode, 0) << imported.Err;
    const auto report = Json(imported);
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0]["fields"]["SetupRecord0.unit_ip"], "127.0.0.2") << "read back at its own address";
    EXPECT_EQ(report[1]["fields"]["SetupRecord0.unit_ip"], "127.0.0.3");
    EXPECT_EQ(report[1]["fields"]["SetupRecord0.unit_port"], 4001);
    for (const auto& [device, before] : own) {
        const std::vector<TBytes> writes = (*device).PayloadsWithCode(kSetCode);
        ASSERT_EQ(writes.size(), 1u);
        TBytes expected = model.Record();
        for (std::size_t at : {4, 5, 6, 7, 10, 16, 17, 18, 19})
            expected[at] = before[at];
        EXPECT_EQ(Body(writes[0]), Body(expected)) << "all but the device's own network settings";
    }
}

// What a person edits in the readable fields is what is written; the bytes of a crafted file
// pass the same checks as typed values, device by device, and nothing is written otherwise.
TEST_F(CliProgramTest, ImportWritesTheEditedFieldsAndRefusesWhatSetRefuses)
{
    TSimKnobs restarting;
    restarting.RestartMs = 50;
    AddDevice("127.0.0.1", kMAC1);
    TSimDevice& target = AddDevice("127.0.0.2", kMAC2, restarting);
    const TProgramResult exported = Cli({"export", "--ip", "127.0.0.1"});
    ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
    auto document = Json(exported);
    document["fields"]["SetupRecord0.unit_port"] = 4001;
    document["fields"]["SetupRecord0.line_speed"] = "115200";
    document["fields"]["SetupRecord0.terminal_name"] = "Sklad č";
    const TProgramResult edited = Cli({"import", "--ip", "127.0.0.2", "--yes", "--in",
                                       TempFile("edited.json", document.dump())});
    ASSERT_EQ(edited.ExitCode, 0) << edited.Err;
    std::vector<TBytes> writes = target.PayloadsWithCode(kSetCode);
    ASSERT_EQ(writes.size(), 1u);
    TRecordReader written(writes[0]);
    EXPECT_EQ(written.Value("unit_port").Integer(), 4001);
    EXPECT_EQ(written.Value("line_speed").Integer(), 8) << "the entry named 115200";
    EXPECT_EQ(written.Value("terminal_name").Text(), "Sklad \xE8");
    EXPECT_EQ(written.Value("unit_ip").Text(), "127.0.0.2") << "the device's own address stays";

    const std::vector<std::pair<std::string, TItemValue>> crafted{
        {"unit_ip", "255.255.255.255"}, {"tcp_keepalive_range", 0}, {"line_speed", 15}};
    for (const auto& [field, value] : crafted) {
        SCOPED_TRACE(field);
        TRecordReader record(RecordWith("127.0.0.2", {{field, value}}));
        document["records"]["SetupRecord0"] = BytesToHex(record.Record().GetData());
        document.erase("fields");
        const TProgramResult result =
            Cli({"import", "--ip", "127.0.0.2", "--with-network", "--yes", "--in",
                 TempFile("crafted.json", document.dump())});
        EXPECT_NE(result.ExitCode, 0);
        EXPECT_TRUE(Contains(result.Err, "field SetupRecord0." + field + ": ")) << result.Err;
        EXPECT_FALSE(Contains(result.Out, " ok\n")) << result.Out;
        EXPECT_EQ(target.PayloadsWithCode(kSetCode).size(), 1u) << "nothing more was written";
    }
}

// Inputs of 100 000 fields or keys: each would take 20 s and more on a quadratic path.
TEST_F(CliProgramTest, LargeMappingsAndSetupFilesTakeLinearTime)
{
    AddDevice("127.0.0.1", kMAC1);
    const std::string mapping = TempFile("large.dmi", LargeMapping(100000));
    auto timed = [&](std::vector<std::string> Arguments) {
        const auto start = std::chrono::steady_clock::now();
        TProgramResult result = Cli(std::move(Arguments));
        std::printf("qubra-cli %s: %.2f s\n", result.Out.empty() ? "refusing" : "reading",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
        return result;
    };
    const TProgramResult read = timed({"--mapping", mapping, "read", "--ip", "127.0.0.1", "--json"});
    ASSERT_EQ(read.ExitCode, 0) << read.Err;
    const auto fields = Json(read);
    EXPECT_EQ(fields.size(), 100053u);
    EXPECT_EQ(fields["SetupRecord0.extra_99999"], 0);

    std::string keys;
    for (int i = 0; i < 100000; ++i)
        keys += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":" + std::to_string(i);
    const TProgramResult refused = timed({"import", "--ip", "127.0.0.1", "--in",
                                          TempFile("keys.json", R"({"format":"qubra232-setup","version":1,"records":{)" + keys + "}}")});
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_TRUE(Contains(refused.Err, "is not a setup record")) << refused.Err;
}

// Parsing a large mapping does not look at the signal flag, and need not: the signal ends it.
TEST_F(CliProgramTest, SignalsEndTheRunAtOnceWhileItParses)
{
    AddDevice("127.0.0.1", kMAC1);
    const std::string mapping = TempFile("parse.dmi", LargeMapping(200000));
    const std::string out = ::testing::TempDir() + "qubra-cli-interrupted-" + std::to_string(getpid()) + ".json";
    for (const int signal : {SIGINT, SIGTERM}) {
        for (const std::string command : {"read", "export"}) {
            SCOPED_TRACE(command + " " + std::to_string(signal));
            std::vector<std::string> words{"--mapping", mapping, command, "--ip", "127.0.0.1"};
            if (command == "export")
                words.insert(words.end(), {"--out", out});
            TProgram program(Command(words));
            usleep(200000);
            const auto signalled = std::chrono::steady_clock::now();
            program.Signal(signal);
            const TProgramResult result = program.Wait(20000);
            const auto took = std::chrono::steady_clock::now() - signalled;
            std::printf("%s ended %.0f ms after signal %d\n", command.c_str(),
                        std::chrono::duration<double, std::milli>(took).count(), signal);
            EXPECT_LT(took, std::chrono::milliseconds(300));
            EXPECT_EQ(result.ExitCode, 128 + signal) << result.Err;
            EXPECT_EQ(result.Err, "qubra-cli: interrupted, stopped after cleaning up\n");
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }
}

TEST_F(CliProgramTest, ImportWithNetworkTakesTheFilesAddress)
{
    AddDevice("127.0.0.1", kMAC1);
    TSimKnobs restarting;
    restarting.RestartMs = 50;
    TSimDevice& target = AddDevice("127.0.0.2", kMAC2, restarting);

    const TProgramResult exported = Cli({"export", "--ip", "127.0.0.1"});
    ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
    auto document = Json(exported);
    // A file from a device at an address of its own.
    TRecordReader record(HexToBytes(document["records"]["SetupRecord0"].get<std::string>()));
    record.Record().SetValue("unit_ip", "127.0.0.9");
    record.Record().SetValue("gateway_ip", "127.0.0.254");
    document["records"]["SetupRecord0"] = BytesToHex(record.Record().GetData());
    // Without readable fields the bytes alone count.
    document.erase("fields");
    const std::string file = TempFile("with-network.json", document.dump());

    const TProgramResult imported =
        Cli({"import", "--ip", "127.0.0.2", "--in", file, "--with-network", "--yes"});
    ASSERT_EQ(imported.ExitCode, 0) << imported.Err;
    const std::vector<TBytes> writes = target.PayloadsWithCode(kSetCode);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(TRecordReader(writes[0]).Value("unit_ip").Text(), "127.0.0.9");
    EXPECT_EQ(TRecordReader(writes[0]).Value("gateway_ip").Text(), "127.0.0.254");
    EXPECT_EQ(SimIPToText(target.IP()), "127.0.0.9");
    EXPECT_TRUE(Contains(imported.Out, "# 127.0.0.2 00-20-4a-00-00-02 127.0.0.9 ok\n")) << imported.Out;
}

TEST_F(CliProgramTest, AssignIPGivesTheDeviceItsNewAddress)
{
    TSimKnobs restarting;
    restarting.RestartMs = 50;
    TSimDevice& device = AddDevice("127.0.0.3", kMAC3, restarting);
    const TProgramResult result = Cli({"assign-ip", "--mac", kMAC3, "--ip", "127.0.0.7", "--mask",
                                       "255.0.0.0", "--gateway", "127.0.0.254", "--yes", "--json"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(Json(result)["ip"], "127.0.0.7");
    EXPECT_TRUE(Contains(result.Err, "IP adresa byla nastavena na 127.0.0.7.")) << result.Err;
    const std::vector<TBytes> sets = device.PayloadsWithCode(kSetIPCode);
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(SimReadIP(sets[0], kSimIPOffset), SimTextToIP("127.0.0.7"));
    EXPECT_EQ(sets[0][kSimHostBitsOffset], 24);
    EXPECT_EQ(SimReadIP(sets[0], kSimGatewayOffset), SimTextToIP("127.0.0.254"));
    EXPECT_EQ(SimIPToText(device.IP()), "127.0.0.7");
}

// What --mask and --gateway do not give stays as the device reports it.
TEST_F(CliProgramTest, AssignIPKeepsTheDevicesOwnMaskAndGatewayUnlessGiven)
{
    TSimKnobs restarting;
    restarting.RestartMs = 50;
    TSimDevice& device = AddDevice("127.0.0.3", kMAC3, restarting);
    device.SetRecord(RecordWith("127.0.0.3", {{"num_host_bits", 8}, {"gateway_ip", "127.0.0.254"}}));

    TProgramResult result = Cli({"assign-ip", "--mac", kMAC3, "--ip", "127.0.0.7", "--yes"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    std::vector<TBytes> sets = device.PayloadsWithCode(kSetIPCode);
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(SimReadIP(sets[0], kSimIPOffset), SimTextToIP("127.0.0.7"));
    EXPECT_EQ(sets[0][kSimHostBitsOffset], 8);
    EXPECT_EQ(SimIPToText(SimReadIP(sets[0], kSimGatewayOffset)), "127.0.0.254");

    device.ClearReceived();
    result = Cli({"assign-ip", "--mac", kMAC3, "--ip", "127.0.0.8", "--gateway", "127.0.0.1", "--yes"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    sets = device.PayloadsWithCode(kSetIPCode);
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets[0][kSimHostBitsOffset], 8) << "the mask not given stays";
    EXPECT_EQ(SimIPToText(SimReadIP(sets[0], kSimGatewayOffset)), "127.0.0.1");
}

TEST_F(CliProgramTest, ScanListsEveryAnsweringDeviceOnce)
{
    TSimKnobs repeating;
    repeating.Duplicates = 2;
    AddDevice("127.0.0.1", kMAC1);
    AddDevice("127.0.0.2", kMAC2, repeating);
    AddDevice("127.0.0.3", kMAC3);
    const TProgramResult json = Cli({"scan", "--json"});
    ASSERT_EQ(json.ExitCode, 0) << json.Err;
    std::map<std::string, std::string> found;
    for (const auto& entry : Json(json))
        EXPECT_TRUE(found.emplace(entry["mac"], entry["ip"]).second) << "listed twice: " << entry;
    EXPECT_EQ(found, (std::map<std::string, std::string>{
                         {kMAC1, "127.0.0.1"}, {kMAC2, "127.0.0.2"}, {kMAC3, "127.0.0.3"}}));

    const TProgramResult text = Cli({"scan"});
    ASSERT_EQ(text.ExitCode, 0) << text.Err;
    EXPECT_TRUE(Contains(text.Out, std::string(kMAC2) + " 127.0.0.2\n")) << text.Out;
    EXPECT_EQ(std::count(text.Out.begin(), text.Out.end(), '\n'), 3);
}

TEST_F(CliProgramTest, ScanMarksDevicesThatShareAnAddress)
{
    AddDevice("127.0.0.1", kMAC1);
    AddDevice("127.0.0.1", kMAC2);
    AddDevice("127.0.0.3", kMAC3);
    const TProgramResult json = Cli({"scan", "--json"});
    ASSERT_EQ(json.ExitCode, 0) << json.Err;
    std::map<std::string, bool> shared;
    for (const auto& entry : Json(json))
        shared[entry["mac"]] = entry["shared_ip"];
    EXPECT_EQ(shared, (std::map<std::string, bool>{{kMAC1, true}, {kMAC2, true}, {kMAC3, false}}));

    const TProgramResult text = Cli({"scan"});
    ASSERT_EQ(text.ExitCode, 0) << text.Err;
    EXPECT_TRUE(Contains(text.Out, std::string(kMAC2) + " 127.0.0.1 shared-ip\n")) << text.Out;
    EXPECT_TRUE(Contains(text.Out, std::string(kMAC3) + " 127.0.0.3\n")) << text.Out;
}

TEST_F(CliProgramTest, ScanWithoutAnswersEndsWithOne)
{
    TSimKnobs silent;
    silent.Silent = true;
    AddDevice("127.0.0.1", kMAC1, silent);
    const TProgramResult result = Cli({"scan"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Out, "");
}

TEST_F(CliProgramTest, SignalsEndTheRunWithTheirStatusAndAMessage)
{
    TSimKnobs silent;
    silent.Silent = true;
    AddDevice("127.0.0.1", kMAC1, silent);
    for (const int signal : {SIGINT, SIGTERM}) {
        TProgram program(Command({"read", "--ip", "127.0.0.1"}));
        usleep(150000);
        program.Signal(signal);
        const TProgramResult result = program.Wait(5000);
        EXPECT_EQ(result.ExitCode, 128 + signal) << result.Err;
        EXPECT_TRUE(Contains(result.Err, "qubra-cli: interrupted")) << result.Err;
    }
}

TEST_F(CliProgramTest, SignalsEndALongSearchInTheCycleTheyArriveIn)
{
    TSimKnobs silent;
    silent.Silent = true;
    AddDevice("127.0.0.1", kMAC1, silent);
    Host.Start();
    // Without the signal each of these would wait the whole 15 s of its time-out.
    const std::vector<std::vector<std::string>> commands{
        {"read", "--ip", "127.0.0.1"},
        {"find", "--mac", kMAC1},
        {"scan"},
    };
    for (const std::vector<std::string>& command : commands) {
        for (const int signal : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(command[0] + " " + std::to_string(signal));
            std::vector<std::string> words{QUBRA_CLI_PROGRAM, "--port", std::to_string(Host.Port()),
                                           "--broadcast", "127.255.255.255", "--timeout", "15000"};
            words.insert(words.end(), command.begin(), command.end());
            TProgram program(words);
            usleep(300000);
            const auto signalled = std::chrono::steady_clock::now();
            program.Signal(signal);
            const TProgramResult result = program.Wait(20000);
            EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::milliseconds(1000));
            EXPECT_EQ(result.ExitCode, 128 + signal) << result.Err;
            EXPECT_EQ(result.Err, "qubra-cli: interrupted, stopped after cleaning up\n");
            EXPECT_EQ(result.Out, "");
        }
    }
}

// A device's present values go back as read prints them; what only another device could hold
// is refused on this one's record, and it is not written.
TEST_F(CliProgramTest, WriteTakesWhatTheDeviceHoldsAndRefusesTheRestOnItsRecord)
{
    TSimDevice& device = AddDevice("127.0.0.1", kMAC1);
    device.SetRecord(RecordWith("127.0.0.1", {{"flow_control", 3}, {"modem_mode", 0}, {"disconnect_config_term", 5},
                                              {"tcp_keepalive_range", 0}, {"terminal_name", "a\\b\n\x81"}}));
    const TBytes held = device.Record();
    const TProgramResult read = Cli({"read", "--ip", "127.0.0.1"});
    ASSERT_EQ(read.ExitCode, 0) << read.Err;
    std::vector<std::string> write{"write", "--ip", "127.0.0.1", "--yes"};
    std::istringstream lines(read.Out);
    for (std::string line; std::getline(lines, line);)
        write.insert(write.end(), {"--set", line});
    TProgramResult result = Cli(write);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    ASSERT_EQ(device.PayloadsWithCode(kSetCode).size(), 1u);
    EXPECT_EQ(Body(device.PayloadsWithCode(kSetCode)[0]), Body(held));

    device.ClearReceived();
    result = Cli({"write", "--ip", "127.0.0.1", "--yes", "--set", "line_speed=13"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(Contains(result.Err, "'13' is none of the values of line_speed; not written"))
        << result.Err;
    EXPECT_TRUE(Contains(result.Out, "# 127.0.0.1 00-20-4a-00-00-01 127.0.0.1 failed\n")) << result.Out;
    EXPECT_TRUE(device.PayloadsWithCode(kSetCode).empty());
}
