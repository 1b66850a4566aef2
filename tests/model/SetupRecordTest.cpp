#include <gtest/gtest.h>

#include <bit>

#include "model/Exception.h"
#include "tests/model/ModelTestSupport.h"

using namespace qubra;

namespace {

struct TFieldBits {
    const char* Name;
    int First;     // first record byte of the field
    int Count;     // record bytes it covers inside the 120-byte record
    uint8_t Mask;  // its bits in each of those bytes
};

// The wire layout of the setup record, in document order.
const TFieldBits SetupFields[] = {
    {"$header", 0, 4, 0xFF}, {"unit_ip", 4, 4, 0xFF}, {"reserved1", 8, 1, 0xFF}, {"flag1", 9, 1, 0x40},
    {"num_host_bits", 10, 1, 0xFF}, {"tcp_keepalive_range", 11, 1, 0xFF}, {"telnet_password", 12, 4, 0xFF},
    {"gateway_ip", 16, 4, 0xFF}, {"line_interface_mode", 20, 1, 0xFF}, {"line_interface_mode_rs", 20, 1, 0x03},
    {"line_interface_mode_bits", 20, 1, 0x0C}, {"line_interface_mode_parity", 20, 1, 0x30},
    {"line_interface_mode_stopbits", 20, 1, 0xC0}, {"line_speed", 21, 1, 0x0F}, {"flow_control", 22, 1, 0xFF},
    {"unit_port", 24, 2, 0xFF}, {"remote_port", 26, 2, 0xFF}, {"remote_ip", 28, 4, 0xFF},
    {"connect_config", 32, 1, 0xFF}, {"connection_acceptance", 32, 1, 0xC0}, {"Use_hostlist", 32, 1, 0x20},
    {"response_on_serial_to_connect", 32, 1, 0x10}, {"active_connection_startup", 32, 1, 0x0F},
    {"hostlist", 32, 1, 0xF0}, {"Directed_UDP", 32, 1, 0x0F}, {"modem_mode", 32, 1, 0x1F},
    {"disconnect_config", 33, 1, 0xFF}, {"disconnect_config_dtr", 33, 1, 0x80},
    {"disconnect_config_term", 33, 1, 0x50}, {"disconnect_config_dtrld", 33, 1, 0x20},
    {"disconnect_config_ledoff", 33, 1, 0x01}, {"disconnect_config_hard", 33, 1, 0x08},
    {"disconnect_timeout_min", 34, 1, 0xFF}, {"disconnect_timeout_sec", 35, 1, 0xFF},
    {"chars_trigger_send", 36, 1, 0xFF}, {"chars_trigger_send2", 37, 1, 0xFF}, {"flush_mode", 38, 1, 0xFF},
    {"flush_mode_sertonet", 38, 1, 0x70}, {"flush_mode_1", 38, 1, 0x10}, {"flush_mode_2", 38, 1, 0x20},
    {"flush_mode_3", 38, 1, 0x40}, {"flush_mode_nettoser", 38, 1, 0x07}, {"flush_mode_4", 38, 1, 0x01},
    {"flush_mode_5", 38, 1, 0x02}, {"flush_mode_6", 38, 1, 0x04}, {"flush_mode_7", 38, 1, 0x80},
    {"pack_ctrl_byte_mode", 39, 1, 0x03}, {"trailing_char_mode", 39, 1, 0x0C},
    {"Sendchar define 2-byte sequence", 39, 1, 0x10}, {"Send immediate after Sendchar", 39, 1, 0x20},
    {"different_UDP", 40, 12, 0xFF}, {"terminal_name", 52, 15, 0xFF}, {"channel_ii", 68, 48, 0xFF},
    {"zbytek", 116, 4, 0xFF},  // declared 10 bytes; the record ends at 119
};

class SetupRecord : public ::testing::Test {
protected:
    std::unique_ptr<TDataManager> Manager = test::BuiltInMapping();
    TDataPacket& Record = *Manager->FindPacket("SetupRecord0");
    TDataItem& Item(const char* name) { return *Record.FindItem(name); }
    void Fill(uint8_t byte) { Record.SetData(TBytes(120, byte)); }
    uint8_t Byte(int index) const { return Record.GetData()[index]; }
    TBytes Bytes(int from, int count) const
    {
        const TBytes data = Record.GetData();
        return TBytes(data.begin() + from, data.begin() + from + count);
    }
};

TEST_F(SetupRecord, EveryFieldOwnsExactlyItsBitsInDocumentOrder)
{
    ASSERT_EQ(Manager->PacketCount(), 1);
    ASSERT_EQ(Record.Size(), 120);
    ASSERT_EQ(Record.ItemCount(), static_cast<int>(std::size(SetupFields)));
    for (int i = 0; i < Record.ItemCount(); ++i) {
        const TFieldBits& field = SetupFields[i];
        TDataItem& item = *Record.GetItem(i);
        ASSERT_EQ(item.Name(), field.Name);
        TBytes expected(120, 0);
        for (int b = field.First; b < field.First + field.Count; ++b) expected[b] = field.Mask;

        Fill(0x00);
        item.SetRaw(TBytes(item.ByteSize(), 0xFF));
        EXPECT_EQ(Record.GetData(), expected) << field.Name << " sets bits outside its own";
        const TBytes raw = item.GetRaw();
        for (int b = 0; b < item.ByteSize(); ++b)
            EXPECT_EQ(raw[b], b < field.Count ? field.Mask >> std::countr_zero(field.Mask) : 0) << field.Name;

        Fill(0xFF);
        item.SetRaw(TBytes(item.ByteSize(), 0x00));
        for (uint8_t& b : expected) b = static_cast<uint8_t>(~b);
        EXPECT_EQ(Record.GetData(), expected) << field.Name << " clears bits outside its own";
    }
}

TEST_F(SetupRecord, RestoringDefaultsWritesOnlyTheDefaultedBits)
{
    EXPECT_EQ(Manager->ApplyDefaults(), 25);

    Fill(0xFF);
    Manager->ApplyDefaults();
    TBytes expected(120, 0xFF);
    auto set = [&](int from, int to, uint8_t b) { std::fill(&expected[from], &expected[to] + 1, b); };
    set(10, 10, 0x00), set(12, 19, 0x00), set(20, 20, 0x4C), set(21, 21, 0xF2), set(22, 22, 0x00);
    set(24, 24, 0x11), set(25, 25, 0x27), set(26, 31, 0x00), set(32, 32, 0xE0), set(33, 35, 0x00);
    set(38, 38, 0x08), set(39, 39, 0xF0), set(52, 66, 0x00);
    EXPECT_EQ(Record.GetData(), expected);

    Fill(0x00);
    Manager->ApplyDefaults();
    expected.assign(120, 0x00);
    set(11, 11, 0xFF), set(20, 20, 0x4C), set(21, 21, 0x02), set(24, 24, 0x11), set(25, 25, 0x27);
    set(32, 32, 0xC0);
    EXPECT_EQ(Record.GetData(), expected);
}

TEST_F(SetupRecord, NumbersEntriesAndMasksInTheirBits)
{
    Item("unit_port").SetValue(10001);
    EXPECT_EQ(Byte(24), 0x11);
    EXPECT_EQ(Byte(25), 0x27);
    EXPECT_EQ(Manager->GetValue("unit_port"), TItemValue(10001));

    Item("line_interface_mode").SetValue(0xC5);
    Item("line_interface_mode_parity").SetValue("Even parity");
    EXPECT_EQ(Byte(20), 0xF5);
    EXPECT_EQ(Item("line_interface_mode_parity").GetValue(), TItemValue(3));
    EXPECT_THROW(Item("line_interface_mode_parity").SetValue("Even Parity"), EConvertError);
    EXPECT_EQ(Byte(20), 0xF5) << "a failed write must leave the record";

    Item("disconnect_config").SetValue(0x20);
    Item("disconnect_config_term").SetValue(7);
    EXPECT_EQ(Byte(33), 0x70);
    Item("disconnect_config").SetValue(0xFF);
    EXPECT_EQ(Item("disconnect_config_term").GetValue(), TItemValue(5));

    Item("tcp_keepalive_range").SetValue("disabled");
    EXPECT_EQ(Byte(11), 255);
    Item("tcp_keepalive_range").SetValue(70);  // limits are not enforced on writes
    EXPECT_EQ(Byte(11), 70);
    EXPECT_EQ(Item("tcp_keepalive_range").MinValue(), 1);
    EXPECT_EQ(Item("tcp_keepalive_range").MaxValue(), 65);
    EXPECT_EQ(Item("disconnect_config_term").NegMask(), 0xFFFFFFFAu);
}

TEST_F(SetupRecord, BooleansTextsAddressesAndHex)
{
    Fill(0xFF);
    TDataItem& flush1 = Item("flush_mode_1");
    flush1.SetValue(false);
    EXPECT_EQ(Byte(38), 0xEF);
    EXPECT_EQ(flush1.GetValue(), TItemValue(false));
    flush1.SetValue("1");
    EXPECT_EQ(Byte(38), 0xFF);
    EXPECT_EQ(flush1.GetValue(), TItemValue(true));
    EXPECT_THROW(flush1.SetValue("maybe"), EConvertError);

    Item("telnet_password").SetValue("secret");
    EXPECT_EQ(Byte(15), 'r');
    EXPECT_EQ(Byte(16), 0xFF) << "a long text must not spill over";
    Item("telnet_password").SetValue("ab");
    EXPECT_EQ(Bytes(12, 4), (TBytes{'a', 'b', 0, 0}));
    EXPECT_EQ(Manager->GetValue("telnet_password"), TItemValue("ab"));

    Item("$header").SetValue("e0");
    EXPECT_EQ(Record.GetHeader(), (TBytes{0xE0, 0, 0, 0}));
    EXPECT_EQ(Item("$header").GetValue(), TItemValue("E0000000"));

    Item("unit_ip").SetValue("192.168.1.10");
    EXPECT_EQ(Bytes(4, 4), (TBytes{0xC0, 0xA8, 0x01, 0x0A}));
    EXPECT_EQ(Item("unit_ip").GetValue(), TItemValue("192.168.1.10"));
    Item("unit_ip").SetValue("no address");
    EXPECT_EQ(Item("unit_ip").GetValue(), TItemValue("255.255.255.255"));
    EXPECT_THROW(Item("unit_ip").SetValue(true), Exception);

    Record.SetData(TBytes(37, 0x0D));
    EXPECT_EQ(Item("chars_trigger_send").GetHex(), "0D");
    Item("chars_trigger_send").SetHex("");
    EXPECT_EQ(Byte(36), 0x00);
}

} // namespace
