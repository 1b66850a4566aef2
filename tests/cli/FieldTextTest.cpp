// The strict reading of --set values and the text and JSON output of fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/FieldText.h"
#include "model/Charset.h"
#include "model/DataPacket.h"
#include "model/DeviceMapping.h"

using namespace qubra;

namespace {

class FieldSettingsTest : public ::testing::Test {
protected:
    std::unique_ptr<TDataManager> Manager = LoadDeviceMapping("");
    TDataPacket& Record = *Manager->FindPacket("SetupRecord0");

    // A record with the kinds the setup record lacks: a MAC, hex bytes and a read-only number.
    TDataPacket& AddOtherKinds()
    {
        auto record = std::make_unique<TDataPacket>("Other", ptSetup, "000000e1", "000000d1",
                                                    "000000c1", "000000b1", 16);
        record->AddItem(std::make_unique<TDataItem>("mac", 0, 48, 4, itMAC, record->Buffer()));
        record->AddItem(std::make_unique<TDataItem>("hex", 0, 32, 10, itHexa, record->Buffer()));
        auto fixed = std::make_unique<TDataItem>("fixed", 0, 8, 14, itUnsigned, record->Buffer());
        fixed->SetReadOnly(true);
        record->AddItem(std::move(fixed));
        TDataPacket& added = *record;
        Manager->AddPacket(std::move(record));
        return added;
    }

    TItemValue Set(const std::string& Setting)
    {
        ApplySetting(*Manager, Setting);
        return Manager->GetValue(Setting.substr(0, Setting.find('=')));
    }
};

TEST_F(FieldSettingsTest, EveryKindTakesItsOwnForm)
{
    EXPECT_EQ(Set("unit_port=+4001"), TItemValue(4001));
    EXPECT_EQ(Set("SetupRecord0.line_speed=115200"), TItemValue(8)) << "an entry's name";
    EXPECT_EQ(Set("line_speed=9"), TItemValue(9)) << "an entry's number";
    EXPECT_EQ(Set("tcp_keepalive_range=disabled"), TItemValue(255));
    EXPECT_EQ(Set("tcp_keepalive_range=255"), TItemValue(255)) << "an entry beyond the limits";
    EXPECT_EQ(Set("tcp_keepalive_range=65"), TItemValue(65));
    EXPECT_EQ(Set("flush_mode_1=TRUE"), TItemValue(true));
    EXPECT_EQ(Set("flush_mode_2=1"), TItemValue(true));
    EXPECT_EQ(Set("flush_mode_1=0"), TItemValue(false));
    EXPECT_EQ(Set("gateway_ip=10.0.0.1"), TItemValue("10.0.0.1"));
    EXPECT_EQ(Set("remote_ip=0.0.0.0"), TItemValue("0.0.0.0"));
    EXPECT_EQ(Set("terminal_name=K\u016f\u0148"), TItemValue("K\xF9\xF2")) << "Windows-1250";

    TDataPacket& other = AddOtherKinds();
    EXPECT_EQ(Set("mac=00 20 4A 00 00 01"), TItemValue("00-20-4a-00-00-01"));
    EXPECT_EQ(Set("hex=0a-0B"), TItemValue("0A0B0000"));
    EXPECT_EQ(other.GetData()[10], 0x0A);
}

// Each family of refused values ends with an error and leaves the record as it was.
TEST_F(FieldSettingsTest, AnythingElseIsRefusedAndChangesNothing)
{
    AddOtherKinds();
    Set("telnet_password=ab");
    Set("line_speed=8");
    Set("tcp_keepalive_range=65");
    Set("unit_ip=192.168.1.254");
    const TBytes before = Record.GetData();
    const TBytes otherBefore = Manager->FindPacket("Other")->GetData();
    const std::vector<std::pair<std::string, std::string>> refused{
        {"unit_port=+70000", "does not fit unit_port"},
        {"unit_port=70000", "does not fit"},
        {"unit_port=-1", "does not fit"},
        {"unit_port=4001 ", "not a valid integer"},
        {"unit_port=0x10", "not a valid integer"},
        {"unit_port=", "not a valid integer"},
        {"line_speed=13", "none of the values of line_speed"},
        {"line_speed=8 [9600]", "9600 is no entry of the value 8"},
        {"flow_control=3", "none of the values of flow_control"},
        {"disconnect_config_term=2", "no combination of the values of disconnect_config_term"},
        {"disconnect_config_term=8", "no combination"},
        {"unit_ip=0.0.0.0", "0.0.0.0 is no device's address"},
        {"unit_ip=240.0.0.5", "no device's address"},
        {"unit_ip=224.0.0.1", "no device's address"},
        {"unit_ip=240.0.0.1", "no device's address"},
        {"unit_ip=255.255.255.255", "no device's address"},
        {"terminal_name=a\\qb", "starts none of"},
        {"terminal_name=a\\x4", "starts none of"},
        {"terminal_name=\\xC2\\x80", "Windows-1250"},
        {"line_speed=Fast", "not a valid integer"},
        {"tcp_keepalive_range=70", "does not fit"},
        {"tcp_keepalive_range=0", "does not fit"},
        {"flush_mode_1=2", "not a valid boolean"},
        {"flush_mode_1=yes", "not a valid boolean"},
        {"gateway_ip=foo", "not an IPv4 address"},
        {"remote_ip=192.168.1.300", "not an IPv4 address"},
        {"remote_ip=10.0.0.010", "not an IPv4 address"},
        {"remote_ip=10.1", "not an IPv4 address"},
        {"telnet_password=abcde", "does not fit"},
        {"terminal_name=\xE6\x97\xA5", "Windows-1250"},
        {"mac=00-20-4a-00-00-015", "not a MAC address"},
        {"mac=00.20.4a.00.00.01", "not a MAC address"},
        {"hex=0a0b0", "not hexadecimal"},
        {"hex=0x10", "not hexadecimal"},
        {"hex=0a0b0c0d0e", "does not fit"},
        {"fixed=1", "read-only"},
    };
    for (const auto& [setting, message] : refused) {
        try {
            ApplySetting(*Manager, setting);
            ADD_FAILURE() << setting << " was taken";
        } catch (const Exception& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos)
                << setting << ": " << error.what();
        }
    }
    EXPECT_EQ(Record.GetData(), before);
    EXPECT_EQ(Manager->FindPacket("Other")->GetData(), otherBefore);
}

TEST_F(FieldSettingsTest, TextOutputKeepsEveryFieldOnItsLineAndJsonExact)
{
    Record.FindItem("terminal_name")->SetValue("one\ntwo\\\x01\xE8");
    const std::string text = FieldsText(*Manager);
    EXPECT_NE(text.find("SetupRecord0.terminal_name=one\\ntwo\\\\\\x01\u010d\n"), std::string::npos) << text;
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')),
              SetupFields(*Manager).size());
    EXPECT_EQ(FieldsJson(*Manager)["SetupRecord0.terminal_name"], "one\ntwo\\\x01\u010d");

    EXPECT_EQ(EscapeControls("a\tb\r\x7F"), "a\\tb\\r\\x7F");
    // Bytes that are no UTF-8 cannot make the output fail.
    const std::string json = JsonText(TJson{{"target", "127.0.0.21 \xFF\xFE"}});
    EXPECT_NE(json.find("127.0.0.21 \uFFFD"), std::string::npos) << json;
    EXPECT_EQ(json.back(), '\n');
}

} // namespace

namespace {

// Records as devices hold them: values no entry names, flags in a masked field, texts with
// controls, undefined code-page bytes and bytes after their end, wide numbers.
std::vector<TBytes> DeviceRecords(const TDataPacket& Layout)
{
    const std::size_t size = Layout.GetData().size();
    std::vector<TBytes> records{TBytes(size, 0x00), TBytes(size, 0xFF)};
    for (std::uint32_t state : {1u, 7u, 42u}) {
        TBytes record(size);
        for (std::uint8_t& byte : record)
            byte = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 16);
        records.push_back(record);
    }
    TBytes crafted(size, 0x00);
    const std::pair<std::size_t, std::string> bytes[] = {
        {4, "\xC0\xA8\x01\xFE"},          // unit_ip 192.168.1.254
        {11, std::string(1, '\0')},       // tcp_keepalive_range 0, below its limits
        {12, "a\\\n\x81"},                // telnet_password: backslash, line feed, undefined byte
        {20, "\x23"},                     // parity 2, no entry
        {22, "\x03"},                     // flow_control 3, no entry
        {32, std::string(1, '\0')},       // modem_mode 0
        {33, "\x50"},                     // disconnect_config_term 5: both flags
        {52, std::string("x\x01\t\r\x98\x7F\0zz", 9)},  // terminal_name, bytes after its end
        {70, "\x12\x34"},                 // channel_ii beyond the four bytes read shows
    };
    for (const auto& [at, value] : bytes)
        std::copy(value.begin(), value.end(), crafted.begin() + static_cast<std::ptrdiff_t>(at));
    records.push_back(crafted);
    return records;
}

} // namespace

// What read prints, write --set takes back, line by line, leaving every byte as it was; the
// check made before any device is read takes every line too.
TEST_F(FieldSettingsTest, EveryPrintedLineIsTakenBackAndChangesNoByte)
{
    for (const TBytes& record : DeviceRecords(Record)) {
        Record.SetData(record);
        const TBytes before = Record.GetData();
        std::istringstream lines(FieldsText(*Manager));
        std::size_t count = 0;
        for (std::string line; std::getline(lines, line); ++count) {
            SCOPED_TRACE(line);
            EXPECT_NO_THROW(ApplySetting(*Manager, line));
            EXPECT_EQ(Record.GetData(), before);

            const std::unique_ptr<TDataManager> scratch = LoadDeviceMapping("");
            EXPECT_NO_THROW(ApplySetting(*scratch, line, TPresentValue::AnyItHolds));
            // A text is taken by any record and gives the same characters there.
            const TDataItem* item = Manager->FindItem(line.substr(0, line.find('=')));
            if (item->ItemType() == itString) {
                ApplySetting(*scratch, line);
                EXPECT_EQ(scratch->FindItem(line.substr(0, line.find('=')))->GetValue(), item->GetValue());
            }
        }
        EXPECT_EQ(count, SetupFields(*Manager).size());
        EXPECT_EQ(FieldsJson(*Manager)["SetupRecord0.telnet_password"].get<std::string>(),
                  Cp1250ToUtf8(Record.FindItem("telnet_password")->GetValue().Text()));
    }
    EXPECT_NE(FieldsText(*Manager).find("SetupRecord0.telnet_password=a\\\\\\n\\x81\n"), std::string::npos);
    EXPECT_NE(FieldsText(*Manager).find("SetupRecord0.terminal_name=x\\x01\\t\\r\\x98\\x7F\n"), std::string::npos);
    EXPECT_EQ(FieldsJson(*Manager)["SetupRecord0.telnet_password"], "a\\\n\u0081") << "JSON exact";

    // Values the device does not hold: a masked field takes every combination of its flags.
    for (const char* flags : {"0", "1", "4", "5"})
        EXPECT_EQ(Set(std::string("disconnect_config_term=") + flags), TItemValue(std::stoi(flags)));
    EXPECT_EQ(Set("line_speed=9 [57600]"), TItemValue(9)) << "a number as read prints it";
}
