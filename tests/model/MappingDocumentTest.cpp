#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "model/Exception.h"
#include "tests/model/ModelTestSupport.h"

using namespace qubra;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<TDataManager> PacketWith(const std::string& items, const std::string& size = "8")
{
    return test::MappingOf("<datapacket name=\"P\" size=\"" + size + "\">" + items + "</datapacket>");
}

// The document is UTF-8; a text field holds Windows-1250, as the device shows it.
TEST(MappingDocument, TextValuesAreWrittenInTheRecordsCharacterSet)
{
    const auto manager = PacketWith(
        "<dataitem name=\"name\" type=\"string\" size=\"8\" default_value=\"K\u016f\u0148 \u010d.1\"/>"
        "<dataitem name=\"fixed\" type=\"string\" position=\"8\" size=\"2\" init_value=\"\u017e\"/>"
        "<dataitem name=\"foreign\" type=\"string\" position=\"10\" size=\"4\" default_value=\"\u65e5\"/>",
        "14");
    TDataPacket& p = *manager->GetPacket(0);
    EXPECT_EQ(p.GetData()[8], 0x9E) << "the init value of a text";
    EXPECT_EQ(p.ApplyDefaults(), 1);
    EXPECT_EQ(p.GetData(), (TBytes{'K', 0xF9, 0xF2, ' ', 0xE8, '.', '1', 0, 0x9E, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(p.FindItem("foreign")->HasDefault()) << "a text Windows-1250 cannot write is a bad value";
}

TEST(MappingDocument, AttributesGroupsAndLenientFailures)
{
    const auto manager = PacketWith(
        "<dataitem name=\"wide\" type=\"NUMBER\" size=\"2\" sizebits=\"3\"/>"
        "<dataitem name=\"entries\" type=\"Enum\" sizebits=\"8\">"
        "<enumitem name=\"a\"/><enumitem name=\"b\" value=\"5\"/><enumitem value=\"9\"/><enumitem name=\"c\"/>"
        "<enumitem name=\"bad\" value=\"x\"/></dataitem>"
        "<dataitem name=\"range\" type=\"number\" size=\"1\" minvalue=\"300\" maxvalue=\"20\"/>"
        "<dataitem name=\"badmin\" type=\"number\" size=\"1\" minvalue=\"z\" maxvalue=\"20\"/>"
        "<dataitem name=\"inverse\" type=\"bool\" position=\"1\" sizebits=\"1\" false_value=\"1\" true_value=\"0\"/>"
        "<dataitem name=\"badinit\" type=\"number\" size=\"1\" init_value=\"q\" default_value=\"4\"/>"
        "<dataitem name=\"enumdefault\" type=\"enum\" size=\"1\" default_value=\"a\"><enumitem name=\"a\"/></dataitem>"
        "<dataitem name=\"ro\" type=\"number\" position=\"2\" size=\"1\" default_value=\"9\" readonly=\"TRUE\"/>"
        "<dataitem name=\"badro\" type=\"number\" size=\"1\" readonly=\"perhaps\"/>"
        "<dataitem name=\"nosize\" type=\"number\" size=\"two\"/>"
        "<dataitem name=\"tinymac\" type=\"mac\" size=\"4\" default_value=\"00-11-22-33\"/>"
        "<dataitem name=\"s8\" type=\"SigNumber\" position=\"3\" size=\"1\"/>");
    TDataPacket& p = *manager->GetPacket(0);
    ASSERT_EQ(p.ItemCount(), 11) << "only the item whose size is no number is left out";
    EXPECT_EQ(p.PacketType(), ptOther);
    EXPECT_EQ(p.FindItem("wide")->SizeBits(), 16);
    EXPECT_EQ(p.FindItem("wide")->ItemType(), itUnsigned);

    const TDataItem& entries = *p.FindItem("entries");
    ASSERT_EQ(entries.EnumItemCount(), 3);
    EXPECT_EQ(entries.GetEnumItem(0)->Value, 0);
    EXPECT_EQ(entries.GetEnumItem(1)->Value, 5);
    EXPECT_EQ(entries.GetEnumItem(2)->Value, 6);
    EXPECT_EQ(entries.GetEnumItem(3), nullptr);

    EXPECT_EQ(p.FindItem("range")->MinValue(), 0);
    EXPECT_EQ(p.FindItem("range")->MaxValue(), 20);
    EXPECT_EQ(p.FindItem("badmin")->MaxValue(), 255) << "a bad minvalue ends the limits group";

    TDataItem& inverse = *p.FindItem("inverse");
    p.SetData({0, 0x01});
    EXPECT_EQ(inverse.GetValue(), TItemValue(false));
    p.SetData({0, 0x00});
    EXPECT_EQ(inverse.GetValue(), TItemValue(true));

    EXPECT_FALSE(p.FindItem("badinit")->HasDefault()) << "a bad init value ends the images group";
    EXPECT_FALSE(p.FindItem("enumdefault")->HasDefault()) << "entries are not known yet";
    EXPECT_FALSE(p.FindItem("tinymac")->HasDefault());
    EXPECT_FALSE(p.FindItem("badro")->ReadOnly());

    TDataItem& ro = *p.FindItem("ro");
    EXPECT_TRUE(ro.ReadOnly());
    ro.SetValue(1), ro.SetRaw({2}), ro.ApplyInit();
    EXPECT_TRUE(ro.ApplyDefault());
    EXPECT_EQ(p.GetData()[2], 0);
    EXPECT_THROW(p.FindItem("tinymac")->SetValue("00-11-22-33-44-55"), Exception);

    p.SetValue("s8", -2);
    EXPECT_EQ(p.GetData()[3], 0xFE);
    EXPECT_EQ(p.GetValue("s8"), TItemValue(-2));
    EXPECT_EQ(p.FindItem("s8")->MinValue(), -128);
}

TEST(MappingDocument, AbsurdLayoutsNeverReachOutsideTheRecord)
{
    const auto manager = test::MappingOf(
        "<datapacket name=\"huge\" size=\"2000000000\"/><datapacket name=\"neg\" size=\"-4\"/>"
        "<datapacket name=\"nan\" size=\"12x\"/><datapacket name=\"max\" size=\"65536\"/>"
        "<datapacket name=\"P\" size=\"8\">"
        "<dataitem name=\"over1\" type=\"hexa\" position=\"5\" size=\"4\" default_value_hexa=\"01020304\"/>"
        "<dataitem name=\"overmany\" type=\"string\" position=\"6\" size=\"8191\"/>"
        "<dataitem name=\"beyond\" type=\"number\" position=\"2147483647\" size=\"4\"/>"
        "<dataitem name=\"bitsbeyond\" type=\"bool\" position=\"8\" sizebits=\"1\"/>"
        "<dataitem name=\"highbits\" type=\"number\" sizebits=\"4\" bitsoffset=\"-1\"/>"
        "<dataitem name=\"giant\" type=\"string\" size=\"2000000000\"/>"
        "<dataitem name=\"wider\" type=\"string\" sizebits=\"70000\"/>"
        "<dataitem name=\"before\" type=\"number\" position=\"-1\" size=\"1\"/>"
        "<dataitem name=\"far\" type=\"number\" position=\"99999999999\" size=\"1\"/></datapacket>");
    ASSERT_EQ(manager->PacketCount(), 1) << "records beyond a datagram's size are left out";
    TDataPacket& p = *manager->GetPacket(0);
    EXPECT_EQ(p.ItemCount(), 5) << "widths beyond 16 bits and positions outside 32 bits or below 0 are left out";

    p.SetData(TBytes(8, 0xEE));
    p.FindItem("over1")->ApplyDefault();
    EXPECT_EQ(p.GetData(), (TBytes{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 1, 2, 3}));
    EXPECT_EQ(p.FindItem("over1")->GetHex(), "01020300");
    p.FindItem("overmany")->SetValue("abcdef");
    EXPECT_EQ(p.GetData()[7], 'b');
    EXPECT_EQ(p.FindItem("overmany")->GetValue(), TItemValue("ab"));
    p.FindItem("beyond")->SetValue(-1);
    p.FindItem("bitsbeyond")->SetValue(true);
    p.FindItem("highbits")->SetValue(15);
    EXPECT_EQ(p.FindItem("beyond")->GetValue(), TItemValue(0));
    EXPECT_EQ(p.FindItem("highbits")->GetValue(), TItemValue(0));
    EXPECT_EQ(p.GetData(), (TBytes{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 1, 'a', 'b'}));

    // Items laid over the front of a larger buffer must leave the bytes after it alone.
    TBytes guarded(16, 0xAA);
    const std::span<uint8_t> front(guarded.data(), 8);
    for (auto [position, bits] : {std::pair{7, 16}, {5, 800}, {8, 8}, {30, 32}, {8, 3}}) {
        TDataItem item("x", 0, bits, position, itHexa, front);
        item.SetRaw(TBytes(item.ByteSize(), 0x11));
        item.SetDefaultRaw({0x22});
        item.ApplyDefault();
        EXPECT_EQ(TBytes(guarded.begin() + 8, guarded.end()), TBytes(8, 0xAA)) << position << "/" << bits;
    }
}

TEST(MappingDocument, MemoryStaysBoundedForManyLargeRecordsAndImages)
{
    std::string packets;
    for (int i = 0; i < 1100; ++i) packets += "<datapacket size=\"65535\"/>";
    std::string items;
    for (int i = 0; i < 600; ++i) items += "<dataitem type=\"string\" size=\"8191\" default_value=\"\"/>";
    const auto records = test::MappingOf(packets);
    EXPECT_EQ(records->PacketCount(), static_cast<int>(MaxManagerFootprint / 65535));
    const auto images = PacketWith(items);
    EXPECT_EQ(images->GetPacket(0)->ItemCount(), static_cast<int>((MaxPacketFootprint - 8) / 8191));
}

class StartUp : public ::testing::Test {
protected:
    fs::path Dir = fs::temp_directory_path() / ("qubra-mapping-" + std::to_string(getpid()));
    std::string File = (Dir / "QUBRA.dmi").string();
    void SetUp() override { fs::create_directories(Dir); }
    void TearDown() override { fs::remove_all(Dir); }
    void Write(const std::string& text) { std::ofstream(File, std::ios::binary) << text; }
    std::string Failure(const std::string& text)
    {
        Write(text);
        try {
            LoadDeviceMapping(File);
        } catch (const Exception& e) {
            return e.what();
        }
        return "loaded";
    }
};

TEST_F(StartUp, TheChecksRefuseWithTheirMessages)
{
    const std::string dm = "<datamanager name=\"D\"/>";
    EXPECT_EQ(Failure("<root><x><device_mapping device_type=\"QUBRA\">" + dm + "</device_mapping></x></root>"),
              "Device mapping not found.");
    EXPECT_EQ(Failure("<root><device_mapping>" + dm + "</device_mapping></root>"), "Device type not specified.");
    EXPECT_EQ(Failure("<root><device_mapping device_type=\"qubra\">" + dm + "</device_mapping></root>"),
              "Wrong device type.");
    EXPECT_EQ(Failure("<root><device_mapping device_type=\"QUBRA\"><x>" + dm + "</x></device_mapping></root>"),
              "Data manager not defined.");
    for (const std::string bad : {"", "not xml at all", "<root><device_mapping></root>"}) {
        const std::string message = Failure(bad);
        EXPECT_NE(message, "loaded");
        EXPECT_FALSE(message.empty());
    }
    std::string laughs = "<!DOCTYPE root [<!ENTITY a \"aaaaaaaaaa\">";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY " + std::string(1, char('a' + i)) + " \"";
        for (int k = 0; k < 10; ++k) laughs += "&" + std::string(1, char('a' + i - 1)) + ";";
        laughs += "\">";
    }
    EXPECT_NE(Failure(laughs + "]><root><device_mapping device_type=\"QUBRA\" caption=\"&j;\">" + dm +
                      "</device_mapping></root>"),
              "loaded");
    EXPECT_EQ(Failure("<root>" + std::string(MaxMappingFileSize, ' ') + "</root>"),
              "Device mapping document is too large.");
}

TEST_F(StartUp, AFileInTheWorkingDirectoryReplacesTheBuiltInMapping)
{
    const auto builtIn = LoadDeviceMapping(File);
    EXPECT_EQ(builtIn->Name(), "QUBRA");
    EXPECT_EQ(builtIn->FindItem("terminal_name")->ByteSize(), 15);

    const fs::path previous = fs::current_path();
    fs::current_path(Dir);
    Write("<r><device_mapping device_type=\"QUBRA\"><datamanager name=\"Own\">"
          "<datapacket name=\"Mine\" size=\"4\"/></datamanager></device_mapping></r>");
    const auto own = LoadDeviceMapping();
    fs::remove(File);
    fs::create_directory(File);  // a folder of that name is no mapping file
    const auto folder = LoadDeviceMapping();
    fs::current_path(previous);

    EXPECT_EQ(own->Name(), "Own");
    ASSERT_EQ(own->PacketCount(), 1);
    EXPECT_EQ(own->GetPacket(0)->Name(), "Mine");
    EXPECT_EQ(folder->Name(), "QUBRA");
}

// The built-in document is parsed once and shared; the managers built from it are not: the
// threads of a scan each build and change their own.
TEST_F(StartUp, EveryManagerOfTheBuiltInMappingIsItsOwnAlsoWhenBuiltOnSeveralThreads)
{
    std::vector<std::unique_ptr<TDataManager>> managers(4);
    {
        std::vector<std::jthread> threads;
        for (std::size_t i = 0; i < managers.size(); ++i)
            threads.emplace_back([&, i] {
                managers[i] = LoadDeviceMapping(File);
                managers[i]->SetValue("SetupRecord0.unit_ip", "10.0.0." + std::to_string(i + 1));
            });
    }
    for (std::size_t i = 0; i < managers.size(); ++i) {
        ASSERT_TRUE(managers[i]);
        EXPECT_EQ(managers[i]->GetValue("SetupRecord0.unit_ip").AsText(), "10.0.0." + std::to_string(i + 1));
        EXPECT_EQ(managers[i]->PacketCount(), managers[0]->PacketCount());
    }
    const auto fresh = LoadDeviceMapping(File);
    EXPECT_EQ(fresh->GetValue("SetupRecord0.unit_ip").AsText(), "0.0.0.0");
}

} // namespace
