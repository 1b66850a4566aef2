// The settings binding on the built-in mapping: record bytes -> controls -> record bytes, the
// order of the writes into shared bytes, the error paths and the dependent-control rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>

#include "control/SettingsBinding.h"
#include "model/Conversions.h"
#include "model/DataManager.h"
#include "tests/control/SettingsPageFake.h"
#include "tests/model/ModelTestSupport.h"
#include "tests/control/ControlTestSupport.h"

using namespace qubra;
using qubra::test::TFakePage;

using qubra::controltest::DeviceRecord;

namespace {

const std::string kNetworkError = "Síťové nastavení není v pořádku.";

class SettingsBinding : public ::testing::Test {
protected:
    std::unique_ptr<TDataManager> Manager = test::BuiltInMapping();
    TDataPacket& Record = *Manager->FindPacket("SetupRecord0");
    std::uint32_t DeviceIP = StrToIP("192.168.1.10");
    TFakePage Page;
    TSettingsBinding Binding{Page, *Manager, DeviceIP};

    void SetUp() override { Page.Binding = &Binding; }

    // Showing a record never writes into it.
    void Show(const TBytes& Bytes)
    {
        Record.SetData(Bytes);
        Binding.RecordToControls();
        ASSERT_EQ(Record.GetData(), Bytes) << "showing the record changed it";
    }
    TBytes Store()
    {
        EXPECT_TRUE(Binding.ControlsToRecord());
        return Record.GetData();
    }
    // The text of the error ControlsToRecord raises; empty when it raises none.
    std::string StoreError()
    {
        try {
            Binding.ControlsToRecord();
        } catch (const Exception& error) {
            return error.what();
        }
        return {};
    }
};

// One record byte before showing and after writing back.
struct TByte {
    int Index;
    std::uint8_t Before;
    std::uint8_t After;
};

struct TRow {
    const char* Case;
    std::vector<TByte> Bytes;
    // The list whose position the row checks, with the position it has before the record is
    // shown (kStart: as the page starts) and the one the record gives it.
    const char* Control = nullptr;
    int Preset = kStart;
    int Shown = -1;
    static constexpr int kStart = -2;
};

// Every row of the value mappings on top of DeviceRecord(); the expected bytes come from the
// field table of the record (bit positions, shared bytes), not from the code under test.
const TRow kRows[] = {
    // line_interface_mode_bits: bits 2-3 of byte 20
    {"7 bits", {{20, 0x48, 0x48}}, "ComboBox1", TRow::kStart, 1},
    {"8 bits", {{20, 0x4C, 0x4C}}, "ComboBox1", 1, 0},
    {"bits code 0 shows and stores 8 bits", {{20, 0x40, 0x4C}}, "ComboBox1", 1, 0},
    {"bits code 1 shows and stores 8 bits", {{20, 0x44, 0x4C}}, "ComboBox1", 1, 0},
    // line_interface_mode_parity: bits 4-5 of byte 20
    {"no parity", {{20, 0x4C, 0x4C}}, "ComboBox2", 2, 0},
    {"even parity", {{20, 0x7C, 0x7C}}, "ComboBox2", TRow::kStart, 1},
    {"odd parity", {{20, 0x5C, 0x5C}}, "ComboBox2", TRow::kStart, 2},
    {"parity 2 keeps even", {{20, 0x6C, 0x7C}}, "ComboBox2", 1, 1},
    {"parity 2 keeps odd", {{20, 0x6C, 0x5C}}, "ComboBox2", 2, 2},
    // line_interface_mode_stopbits: bits 6-7 of byte 20
    {"1 stop bit", {{20, 0x4C, 0x4C}}, "ComboBox3", 1, 0},
    {"2 stop bits", {{20, 0xCC, 0xCC}}, "ComboBox3", TRow::kStart, 1},
    {"stop code 0 stores 1", {{20, 0x0C, 0x4C}}, "ComboBox3", 1, 0},
    {"stop code 2 stores 1", {{20, 0x8C, 0x4C}}, "ComboBox3", 1, 0},
    {"interface bits 0-1 kept", {{20, 0x7F, 0x7F}}, "ComboBox2", TRow::kStart, 1},
    // line_speed: bits 0-3 of byte 21
    {"300", {{21, 0x07, 0x07}}, "ComboBox4", TRow::kStart, 0},
    {"600", {{21, 0x06, 0x06}}, "ComboBox4", TRow::kStart, 1},
    {"1200", {{21, 0x05, 0x05}}, "ComboBox4", TRow::kStart, 2},
    {"2400", {{21, 0x04, 0x04}}, "ComboBox4", TRow::kStart, 3},
    {"4800", {{21, 0x03, 0x03}}, "ComboBox4", TRow::kStart, 4},
    {"9600", {{21, 0x02, 0x02}}, "ComboBox4", 0, 5},
    {"19200", {{21, 0x01, 0x01}}, "ComboBox4", TRow::kStart, 6},
    {"38400", {{21, 0x00, 0x00}}, "ComboBox4", TRow::kStart, 7},
    {"57600", {{21, 0x09, 0x09}}, "ComboBox4", TRow::kStart, 8},
    {"115200", {{21, 0x08, 0x08}}, "ComboBox4", TRow::kStart, 9},
    {"230400", {{21, 0x0A, 0x0A}}, "ComboBox4", TRow::kStart, 10},
    {"speed 11 selects nothing and stays", {{21, 0x0B, 0x0B}}, "ComboBox4", 3, -1},
    {"speed 12 selects nothing and stays", {{21, 0x0C, 0x0C}}, "ComboBox4", 3, -1},
    {"speed 13 keeps the list", {{21, 0x0D, 0x04}}, "ComboBox4", 3, 3},
    {"upper bits of the speed byte kept", {{21, 0xF8, 0xF8}}, "ComboBox4", TRow::kStart, 9},
    // flow_control: byte 22
    {"no flow control", {{22, 0x00, 0x00}}, "ComboBox5", 2, 0},
    {"XON/XOFF", {{22, 0x01, 0x01}}, "ComboBox5", TRow::kStart, 1},
    {"RTS/CTS", {{22, 0x02, 0x02}}, "ComboBox5", TRow::kStart, 2},
    {"flow control 5 keeps the list", {{22, 0x05, 0x01}}, "ComboBox5", 1, 1},
    // flush_mode_1..7: bits 4, 5, 6, 0, 1, 2, 7 of byte 38
    {"flush 1", {{38, 0x10, 0x10}}, "ComboBox16", TRow::kStart, 1},
    {"flush 2", {{38, 0x20, 0x20}}, "ComboBox11", TRow::kStart, 1},
    {"flush 3", {{38, 0x40, 0x40}}, "ComboBox12", TRow::kStart, 1},
    {"flush 4", {{38, 0x01, 0x01}}, "ComboBox13", TRow::kStart, 1},
    {"flush 5", {{38, 0x02, 0x02}}, "ComboBox14", TRow::kStart, 1},
    {"flush 6", {{38, 0x04, 0x04}}, "ComboBox15", TRow::kStart, 1},
    {"packing", {{38, 0x80, 0x80}}, "ComboBox22", TRow::kStart, 1},
    {"flush off", {{38, 0x6F, 0x6F}}, "ComboBox16", 1, 0},
    {"flush byte bit 3 kept", {{38, 0xFF, 0xFF}}, "ComboBox15", TRow::kStart, 1},
    // pack_ctrl_byte_mode bits 0-1, trailing_char_mode bits 2-3 of byte 39
    {"idle 12 ms", {{39, 0x00, 0x00}}, "ComboBox23", 3, 0},
    {"idle 52 ms", {{39, 0x01, 0x01}}, "ComboBox23", TRow::kStart, 1},
    {"idle 250 ms", {{39, 0x02, 0x02}}, "ComboBox23", TRow::kStart, 2},
    {"idle 5000 ms", {{39, 0x03, 0x03}}, "ComboBox23", TRow::kStart, 3},
    {"no trailing char", {{39, 0x00, 0x00}}, "ComboBox24", 2, 0},
    {"one trailing char", {{39, 0x04, 0x04}}, "ComboBox24", TRow::kStart, 1},
    {"two trailing chars", {{39, 0x08, 0x08}}, "ComboBox24", TRow::kStart, 2},
    {"trailing mode 3 keeps the list", {{39, 0x0C, 0x04}}, "ComboBox24", 1, 1},
    {"send-char bits kept", {{39, 0xF9, 0xF9}}, "ComboBox24", TRow::kStart, 2},
    // byte 32: connection_acceptance bits 6-7, Use_hostlist bit 5, response bit 4,
    // active_connection_startup and Directed_UDP bits 0-3, modem_mode bits 0-4
    {"incoming accepted", {{32, 0xC0, 0xC0}}, "ComboBox6", 1, 0},
    {"incoming refused", {{32, 0x00, 0x00}}, "ComboBox6", TRow::kStart, 1},
    {"acceptance 1 keeps accepted", {{32, 0x40, 0xC0}}, "ComboBox6", 0, 0},
    {"acceptance 1 keeps refused", {{32, 0x40, 0x00}}, "ComboBox6", 1, 1},
    {"host list bit cleared", {{32, 0xE0, 0xC0}}, "ComboBox6", TRow::kStart, 0},
    {"character response", {{32, 0xD0, 0xD0}}, "ComboBox7", TRow::kStart, 1},
    {"no response", {{32, 0xC0, 0xC0}}, "ComboBox7", 1, 0},
    {"no active connection", {{32, 0xC0, 0xC0}}, "ComboBox8", 3, 0},
    {"start with any character", {{32, 0xC1, 0xC1}}, "ComboBox8", TRow::kStart, 1},
    {"start with CR", {{32, 0xC3, 0xC3}}, "ComboBox8", TRow::kStart, 2},
    {"manual start", {{32, 0xC4, 0xC4}}, "ComboBox8", TRow::kStart, 3},
    {"autostart", {{32, 0xC5, 0xC5}}, "ComboBox8", TRow::kStart, 4},
    {"start with DTR keeps the list", {{32, 0xC2, 0xC1}}, "ComboBox8", 1, 1},
    {"modem without echo", {{32, 0xC6, 0xC6}}, "ComboBox9", TRow::kStart, 0},
    // The response bit is written as 0 first, then modem mode 22 sets it again.
    {"modem with echo", {{32, 0xD6, 0xD6}}, "ComboBox9", TRow::kStart, 1},
    {"numeric modem", {{32, 0xD7, 0xD7}}, "ComboBox9", TRow::kStart, 2},
    {"directed UDP", {{32, 0xCC, 0xCC}, {33, 0x00, 0x01}}},
    {"datagram disconnect", {{32, 0xC0, 0xCC}, {33, 0x01, 0x01}}},
    // byte 33: disconnect_config; term bits 4 and 6, CTRL-D bit 5, LED off bit 0, hard bit 3, DTR bit 7
    {"port password", {{33, 0x10, 0x10}, {52, 'p', 'p'}, {53, 'w', 'w'}}},
    {"LED off cleared", {{33, 0x11, 0x10}, {52, 'p', 'p'}}},
    {"DTR and CTRL-D bits kept", {{33, 0xB0, 0xB0}, {52, 'p', 'p'}}},
    {"hard disconnect bit kept", {{33, 0x08, 0x08}}},
    {"terminal type clears the term bits", {{33, 0x50, 0x00}, {52, 'p', 'p'}}},
    {"timers", {{34, 5, 5}, {35, 30, 30}}},
    {"timer of three digits", {{34, 200, 200}, {35, 99, 99}}},
    {"trigger characters", {{36, 0x1A, 0x1A}, {37, 0x0D, 0x0D}}},
    // Ethernet
    {"ports", {{24, 0xFF, 0xFF}, {25, 0xFF, 0xFF}, {26, 0x34, 0x34}, {27, 0x12, 0x12}}},
    {"local port 0 becomes 1", {{24, 0x00, 0x01}, {25, 0x00, 0x00}}},
    {"remote address", {{28, 10, 10}, {29, 1, 1}, {30, 2, 2}, {31, 5, 5}}},
    {"telnet password of four characters", {{12, 'w', 'w'}, {13, 'x', 'x'}, {14, 'y', 'y'}, {15, 'z', 'z'}}},
    // Network
    {"standard netmask", {{10, 0, 0}}},
    {"one host bit", {{10, 1, 1}}},
    {"16 host bits", {{10, 16, 16}}},
    {"31 host bits", {{10, 31, 31}}},
    {"32 host bits store 0", {{10, 32, 0}}},
    {"200 host bits store 0", {{10, 200, 0}}},
    {"no gateway", {{16, 0, 0}, {17, 0, 0}, {18, 0, 0}, {19, 0, 0}}},
    {"other address", {{4, 10, 10}, {5, 0, 0}, {6, 0, 0}, {7, 1, 1}}},
    // What no control shows stays; the second channel block goes out as zeros.
    {"fields without control kept", {{8, 0x12, 0x12}, {9, 0x40, 0x40}, {11, 0x20, 0x20}, {23, 0x77, 0x77},
                                     {40, 'u', 'u'}, {51, 'v', 'v'}}},
    {"second channel zeroed", {{68, 0xAB, 0x00}, {115, 0x01, 0x00}, {116, 0xCD, 0x00}, {119, 0xEF, 0x00}}},
};

TEST_F(SettingsBinding, EveryMappingRowBothWaysThroughTheRecordBytes)
{
    for (const TRow& row : kRows) {
        SCOPED_TRACE(row.Case);
        TBytes before = DeviceRecord();
        TBytes after = before;
        for (const TByte& b : row.Bytes) before[b.Index] = b.Before, after[b.Index] = b.After;
        if (row.Control && row.Preset != TRow::kStart) Page.SetItemIndex(row.Control, row.Preset);

        Show(before);
        if (row.Control) {
            EXPECT_EQ(Page.ItemIndex(row.Control), row.Shown) << row.Control;
        }
        EXPECT_EQ(Store(), after);

        // The next row starts from a fresh page, as a first device would.
        Page.Reset();
    }
}

TEST_F(SettingsBinding, DefaultRecordShowsTheStartValuesAndGoesBackUnchanged)
{
    Record.SetData(DeviceRecord());
    Manager->ApplyDefaults();
    TBytes defaults(120, 0x00);
    defaults[3] = 0xD0;
    defaults[4] = 192, defaults[5] = 168, defaults[6] = 1, defaults[7] = 10;  // no default: as read
    defaults[11] = 0xFF;
    defaults[20] = 0x4C;
    defaults[21] = 0x02;
    defaults[24] = 0x11, defaults[25] = 0x27;
    defaults[32] = 0xC0;
    ASSERT_EQ(Record.GetData(), defaults);

    Show(defaults);
    for (const char* list : {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox5", "ComboBox6", "ComboBox7", "ComboBox8",
                             "ComboBox16", "ComboBox15", "ComboBox22", "ComboBox23", "ComboBox24"})
        EXPECT_EQ(Page.ItemIndex(list), 0) << list;
    EXPECT_EQ(Page.ItemIndex("ComboBox4"), 5);
    EXPECT_EQ(Page.ItemIndex("ComboBox9"), -1);
    EXPECT_FALSE(Page.At("ComboBox9").Enabled);
    EXPECT_FALSE(Page.Checked("CheckBox1"));
    EXPECT_FALSE(Page.Checked("CheckBox2"));
    EXPECT_FALSE(Page.At("Edit5").Enabled);
    EXPECT_FALSE(Page.At("TEditN1").Enabled);
    EXPECT_EQ(Page.SpinValue("seSourcePort"), 10001);
    EXPECT_EQ(Page.Text("Edit3"), "0.0.0.0");
    EXPECT_EQ(Page.Text("Edit1"), "0");
    EXPECT_EQ(Page.Text("TEditN1"), "00");
    EXPECT_EQ(Page.Text("Edit6"), "");
    // No host bits: the frame takes the standard mask of the address.
    EXPECT_TRUE(Page.Checked("chAutoMask"));
    EXPECT_EQ(Page.Text("txtMask"), "255.255.255.0");
    EXPECT_EQ(Page.Text("txtGate"), "0.0.0.0");

    EXPECT_EQ(Store(), defaults);
}

TEST_F(SettingsBinding, AllZeroRecordFailsOnTheNetworkTabAfterTheDataChannelWasWritten)
{
    Show(TBytes(120, 0x00));
    EXPECT_EQ(StoreError(), kNetworkError);
    EXPECT_EQ(Page.LastTab(), kNetworkTab);
    TBytes expected(120, 0x00);
    expected[20] = 0x4C;  // 8 bits, 1 stop bit: code 0 has no list position
    expected[24] = 0x01;  // the local port cannot be 0
    EXPECT_EQ(Record.GetData(), expected);
}

TEST_F(SettingsBinding, AllOnesRecordFailsOnTheNetworkTabAfterTheDataChannelWasWritten)
{
    Show(TBytes(120, 0xFF));
    EXPECT_EQ(Page.ItemIndex("ComboBox4"), 5) << "speed code 15 leaves the list";
    EXPECT_EQ(Page.Text("Edit1"), "255");
    EXPECT_EQ(StoreError(), kNetworkError);
    EXPECT_EQ(Page.LastTab(), kNetworkTab);
    TBytes expected(120, 0xFF);
    expected[21] = 0xF2;  // speed from the list left at 9600
    expected[22] = 0x00;  // flow control from the list left at none
    expected[32] = 0xD0;  // accepted, no host list, response, no active connection
    expected[33] = 0xAE;  // term bits 4 and 6 and LED off cleared
    expected[39] = 0xF3;  // trailing mode 3 has no list position
    std::fill(expected.begin() + 68, expected.end(), 0x00);
    EXPECT_EQ(Record.GetData(), expected);
}

TEST_F(SettingsBinding, RecordToControlsShowsTextsAndEndsOnTheDataChannelTab)
{
    TBytes record = DeviceRecord();
    record[28] = 10, record[31] = 7;
    record[33] = 0x10;
    record[52] = 'p', record[53] = 0xE8;  // "pč" in the device's character set
    record[34] = 12, record[35] = 5;
    record[36] = 0x1A, record[37] = 0x0D;
    record[38] = 0x80;
    Show(record);

    EXPECT_EQ(Page.Text("Edit6"), "ab");
    EXPECT_EQ(Page.Text("Edit3"), "10.0.0.7");
    EXPECT_TRUE(Page.Checked("CheckBox2"));
    EXPECT_EQ(Page.Text("Edit5"), "pč");
    EXPECT_TRUE(Page.At("Edit5").Enabled);
    EXPECT_EQ(Page.Text("Edit1"), "12");
    EXPECT_EQ(Page.Text("Edit2"), "5");
    EXPECT_EQ(Page.Text("TEditN1"), "1A");
    EXPECT_EQ(Page.Text("TEditN2"), "0D");
    EXPECT_TRUE(Page.At("TEditN1").Enabled);
    EXPECT_TRUE(Page.At("ComboBox23").Enabled);
    EXPECT_EQ(Page.Text("txtIP"), "192.168.1.10");
    EXPECT_FALSE(Page.Checked("chAutoMask"));
    EXPECT_EQ(Page.Text("txtMask"), "255.255.255.0");
    EXPECT_EQ(Page.Text("txtGate"), "192.168.1.1");
    EXPECT_EQ(Page.Text("lblCurrentIP"), "Současná IP adresa : 192.168.1.10");
    ASSERT_GE(Page.Log.size(), 2u);
    EXPECT_EQ(Page.Log[Page.Log.size() - 2], "tab:tabTeplomer");
    EXPECT_EQ(Page.Log.back(), "focus:seSourcePort");

    EXPECT_EQ(Store(), record);
}

TEST_F(SettingsBinding, ModemModeSelectsModemAndClearsTheResponse)
{
    TBytes record = DeviceRecord();
    record[32] = 0xD6;  // response bit set, modem mode 22
    Page.SetItemIndex("ComboBox7", 1);
    Show(record);
    EXPECT_EQ(Page.ItemIndex("ComboBox8"), 5);
    EXPECT_EQ(Page.ItemIndex("ComboBox9"), 1);
    EXPECT_TRUE(Page.At("ComboBox9").Enabled);
    EXPECT_EQ(Page.ItemIndex("ComboBox7"), 0);

    // "Modem mód" kept from before with no modem mode in the record: the first modem mode.
    record[32] = 0xC2;
    Show(record);
    EXPECT_EQ(Page.ItemIndex("ComboBox8"), 5);
    EXPECT_EQ(Page.ItemIndex("ComboBox9"), 0);
    record[32] = 0xC6;
    EXPECT_EQ(Store(), record);
}

TEST_F(SettingsBinding, PortPasswordWithEmptyNameLeavesTheBoxAsItWas)
{
    TBytes record = DeviceRecord();
    record[33] = 0x10;
    Page.SetChecked("CheckBox2", true);
    Show(record);
    EXPECT_TRUE(Page.Checked("CheckBox2"));
    EXPECT_EQ(Page.Text("Edit5"), "");
    EXPECT_EQ(Store(), record);

    Page.SetChecked("CheckBox2", false);
    Show(record);
    EXPECT_FALSE(Page.Checked("CheckBox2"));
    EXPECT_FALSE(Page.At("Edit5").Enabled);
    record[33] = 0x00;
    EXPECT_EQ(Store(), record);
}

TEST_F(SettingsBinding, DatagramModeWritesItsCodesAndLeavesWhatItDisables)
{
    TBytes record = DeviceRecord();
    record[32] = 0xC0 | 0x10 | 0x05;  // response, autostart
    record[33] = 0x01;                // the whole byte: datagram mode
    record[34] = 7, record[35] = 8;
    record[38] = 0x15;                // flush 1, 4, 6
    record[52] = 'n';
    Show(record);
    EXPECT_TRUE(Page.Checked("CheckBox1"));
    for (const char* control : {"ComboBox7", "ComboBox8", "ComboBox9", "ComboBox16", "ComboBox11", "ComboBox12",
                                "ComboBox13", "ComboBox14", "ComboBox15", "CheckBox2", "Edit5", "Edit1", "Edit2"})
        EXPECT_FALSE(Page.At(control).Enabled) << control;
    EXPECT_TRUE(Page.At("ComboBox6").Enabled);
    EXPECT_TRUE(Page.At("ComboBox22").Enabled);

    // Whatever the disabled controls show is not written.
    for (const char* list : {"ComboBox16", "ComboBox13", "ComboBox15", "ComboBox7", "ComboBox8"})
        Page.SetItemIndex(list, 0);
    Page.SetChecked("CheckBox2", true);
    Page.SetText("Edit5", "other");
    Page.SetText("Edit1", "x");
    Page.SetText("Edit2", "1");
    TBytes expected = record;
    expected[32] = 0xC0 | 0x10 | 0x0C;  // Directed_UDP 12 over the active connection
    EXPECT_EQ(Store(), expected);
}

TEST_F(SettingsBinding, ThirdIncomingConnectionItemSelectsTheHostList)
{
    Show(DeviceRecord());
    Page.ReplaceItems("ComboBox6", 3);
    Page.UserSelect("ComboBox6", 2);
    TBytes expected = DeviceRecord();
    expected[32] = 0x20;  // host list, acceptance 0
    EXPECT_EQ(Store(), expected);
}

TEST_F(SettingsBinding, LongerSpeedListShowsCodes11And12ButDoesNotWriteThem)
{
    Page.ReplaceItems("ComboBox4", 13);
    TBytes record = DeviceRecord();
    record[21] = 0x0B;
    Show(record);
    EXPECT_EQ(Page.ItemIndex("ComboBox4"), 11);
    Page.UserSelect("ComboBox4", 12);
    EXPECT_EQ(Store(), record);
}

TEST_F(SettingsBinding, TriggerCharactersFromHexText)
{
    Show(DeviceRecord());
    Page.UserSelect("ComboBox22", 1);
    Page.UserType("TEditN1", "1a");
    Page.UserType("TEditN2", "");
    TBytes expected = DeviceRecord();
    expected[36] = 0x1A;
    expected[37] = 0x00;
    expected[38] = 0x80;
    EXPECT_EQ(Store(), expected);
}

TEST_F(SettingsBinding, InvalidAddressFailsOnTheNetworkTabAfterEveryDataChannelField)
{
    Show(DeviceRecord());
    Page.UserType("Edit6", "pass");
    Page.UserSelect("ComboBox4", 9);
    Page.UserSelect("ComboBox8", 5);
    Page.SetSpinValue("SpinEdit1", 4660);
    Page.UserType("txtIP", "");
    Page.UserType("txtGate", "10.0.0.1");
    Page.Log.clear();

    EXPECT_EQ(StoreError(), kNetworkError);
    EXPECT_EQ(Page.Log, std::vector<std::string>{"tab:tabSit"});
    TBytes expected = DeviceRecord();
    expected[12] = 'p', expected[13] = 'a', expected[14] = 's', expected[15] = 's';
    expected[21] = 0x08;
    expected[26] = 0x34, expected[27] = 0x12;
    expected[32] = 0xC6;  // modem without echo, written last into byte 32
    EXPECT_EQ(Record.GetData(), expected) << "the address and gateway must not be written";
}

TEST_F(SettingsBinding, BadDataChannelTextsFailOnTheDataChannelTabAndKeepWhatWasWritten)
{
    struct TCase {
        const char* Control;
        const char* Text;
        const char* Error;
    };
    const TCase cases[] = {
        {"Edit1", "x", "'x' is not a valid integer value"},
        {"Edit2", "", "'' is not a valid integer value"},
        {"TEditN2", "zz", "'$zz' is not a valid integer value"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Control);
        Show(DeviceRecord());
        Page.SetText(c.Control, c.Text);
        Page.SetText("TEditN1", "41");
        Page.UserSelect("ComboBox6", 1);
        Page.UserType("txtIP", "10.0.0.1");
        Page.Log.clear();

        EXPECT_EQ(StoreError(), c.Error);
        EXPECT_EQ(Page.Log, std::vector<std::string>{"tab:tabTeplomer"});
        TBytes expected = DeviceRecord();
        expected[36] = 0x41;  // written before the failing value; the incoming list and address after it
        EXPECT_EQ(Record.GetData(), expected);
    }
}

TEST_F(SettingsBinding, TextsTravelInTheDeviceCharacterSet)
{
    Show(DeviceRecord());
    Page.UserType("Edit6", "žň");
    Page.UserClick("CheckBox2");
    Page.UserType("Edit5", "Čas");
    TBytes expected = DeviceRecord();
    expected[12] = 0x9E, expected[13] = 0xF2, expected[14] = 0x00;
    expected[33] = 0x10;
    expected[52] = 0xC8, expected[53] = 'a', expected[54] = 's';
    EXPECT_EQ(Store(), expected);

    Page.UserType("Edit6", "€€€日");
    EXPECT_EQ(StoreError(), "Text obsahuje znak, který nelze do zařízení uložit, v poli telnet_password: €€€日");
    EXPECT_EQ(Page.LastTab(), kNetworkTab) << "the page that shows the telnet password";
}

TEST_F(SettingsBinding, ShowCurrentIPKeepsTheCaptionUpToItsColon)
{
    Binding.ShowCurrentIP(StrToIP("10.1.2.3"));
    EXPECT_EQ(Page.Text("lblCurrentIP"), "Současná IP adresa : 10.1.2.3");
    EXPECT_TRUE(Page.At("lblCurrentIP").Visible);
    Binding.ShowCurrentIP(StrToIP("10.1.2.4"));
    EXPECT_EQ(Page.Text("lblCurrentIP"), "Současná IP adresa : 10.1.2.4");

    DeviceIP = 0;
    Binding.ShowCurrentIP(StrToIP("10.1.2.3"));
    EXPECT_EQ(Page.Text("lblCurrentIP"), "Současná IP adresa :");
    EXPECT_FALSE(Page.At("lblCurrentIP").Visible);

    DeviceIP = 1;
    Page.SetText("lblCurrentIP", "Current address");
    Binding.ShowCurrentIP(StrToIP("10.1.2.3"));
    EXPECT_EQ(Page.Text("lblCurrentIP"), " 10.1.2.3");
}

// A mapping without some fields: its datapacket element with those items left out.
std::unique_ptr<TDataManager> MappingWithout(std::initializer_list<std::string> Fields)
{
    std::ifstream file(QUBRA_MAPPING_FILE);
    std::stringstream text;
    text << file.rdbuf();
    std::string document = text.str();
    for (const std::string& field : Fields) {
        const std::size_t start = document.find("<dataitem name=\"" + field + "\"");
        if (start == std::string::npos) throw std::runtime_error("no field " + field);
        const std::size_t selfClosed = document.find("/>", start);
        const std::size_t open = document.find('>', start);
        const std::size_t end =
            selfClosed < open + 1 ? selfClosed + 2 : document.find("</dataitem>", start) + 11;
        document.erase(start, end - start);
    }
    const std::size_t first = document.find("<datapacket");
    const std::size_t last = document.find("</datapacket>") + 13;
    return test::MappingOf(document.substr(first, last - first));
}

TEST(SettingsBindingMapping, AFieldTheMappingLacksRaisesOnlyWhereItIsReadAsANumberOrBoolean)
{
    std::uint32_t deviceIP = 0;
    TFakePage page;
    // The text of the error RecordToControls raises; empty when it raises none.
    const auto show = [&](std::initializer_list<std::string> fields) -> std::string {
        std::unique_ptr<TDataManager> manager = MappingWithout(fields);
        manager->FindPacket("SetupRecord0")->SetData(DeviceRecord());
        page.Reset();
        TSettingsBinding binding(page, *manager, deviceIP);
        page.Binding = &binding;
        try {
            binding.RecordToControls();
        } catch (const Exception& error) {
            page.Binding = nullptr;
            return error.what();
        }
        page.Binding = nullptr;
        return {};
    };
    EXPECT_EQ(show({"line_speed"}), "Polozka line_speed nebyla nalezena.");
    EXPECT_EQ(show({"flush_mode_3"}), "Polozka flush_mode_3 nebyla nalezena.");
    EXPECT_EQ(show({"unit_port"}), "Polozka unit_port nebyla nalezena.");
    EXPECT_EQ(show({"chars_trigger_send2"}), "Polozka chars_trigger_send2 nebyla nalezena.");
    EXPECT_EQ(show({"num_host_bits"}), "Polozka SetupRecord0.num_host_bits nebyla nalezena.");

    // Read as text or only compared: empty texts, failed comparisons.
    page.SetText("Edit3", "1.2.3.4");
    EXPECT_EQ(show({"telnet_password", "remote_ip", "disconnect_config", "Directed_UDP", "modem_mode",
                     "disconnect_config_term", "gateway_ip"}),
              "");
    EXPECT_EQ(page.Text("Edit6"), "");
    EXPECT_EQ(page.Text("Edit3"), "");
    EXPECT_EQ(page.Text("txtGate"), "");
    EXPECT_FALSE(page.Checked("CheckBox1"));
    EXPECT_EQ(page.ItemIndex("ComboBox8"), 0);
}

} // namespace
