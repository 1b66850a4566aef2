#include <gtest/gtest.h>

#include "model/Exception.h"
#include "tests/model/ModelTestSupport.h"

using namespace qubra;

namespace {

TBytes Record(std::initializer_list<uint8_t> header, size_t size = 120, uint8_t fill = 0x5A)
{
    TBytes bytes(size, fill);
    std::copy(header.begin(), header.end(), bytes.begin());
    return bytes;
}

TEST(DataPacket, HeaderKindsAreToldByTheCodeByteAlone)
{
    const auto manager = test::BuiltInMapping();
    TDataPacket& record = *manager->GetPacket(0);
    EXPECT_EQ(record.GetQueryRequest(), (TBytes{0x00, 0x00, 0x00, 0xE0}));
    EXPECT_EQ(record.KindOf(TBytes{0x00, 0x00, 0x00, 0xD0}), hkAnswer);
    EXPECT_EQ(record.KindOf(TBytes{0xAA, 0xBB, 0xCC, 0xD0}), hkAnswer);
    EXPECT_EQ(record.KindOf(TBytes{0x00, 0x00, 0x00, 0xB0}), hkSetAnswer);
    EXPECT_EQ(record.KindOf(TBytes{0x00, 0x00, 0x00, 0xC0}), hkSet);
    EXPECT_EQ(record.KindOf(TBytes{0x00, 0x00, 0xD0}), hkNone);
    EXPECT_EQ(record.KindOf(TBytes{0x00, 0x00, 0x00, 0xD1}), hkNone);

    record.SetData(Record({0x00, 0x00, 0x00, 0xD0}));
    const TBytes set = record.GetSetRequest();
    EXPECT_EQ(set.size(), 120u);
    EXPECT_EQ(TBytes(set.begin(), set.begin() + 5), (TBytes{0x00, 0x00, 0x00, 0xC0, 0x5A}));
    record.SetData(Record({0x11, 0x22, 0x33, 0xC0}));
    EXPECT_EQ(record.GetSetRequest()[0], 0x11) << "a header already of the kind is kept";

    record.SetHeaderByte(1, 1);
    EXPECT_EQ(record.GetData()[1], 0x01);
    record.SetHeaderByte(4, 1);
    EXPECT_EQ(record.GetData()[4], 0x5A);

    TDataPacket tiny("tiny", ptOther, "000000e0", "000000d0", "", "", 3);
    EXPECT_EQ(tiny.HeaderLength(), 0);
    EXPECT_EQ(tiny.KindOf(TBytes{0, 0, 0, 0xD0}), hkNone);
    tiny.WriteHeader({1, 2, 3, 4});
    EXPECT_EQ(tiny.GetData(), (TBytes{0, 0, 0}));
}

TEST(DataPacket, AnswersReplaceTheRecordAndInitValuesWin)
{
    const auto manager = test::MappingOf(
        "<datapacket name=\"R\" size=\"120\" h_query=\"000000e0\" h_answer=\"000000d0\" h_setanswer=\"000000b0\">"
        "<dataitem name=\"forced\" type=\"number\" position=\"10\" size=\"1\" init_value=\"7\"/></datapacket>");
    TDataPacket& record = *manager->GetPacket(0);
    EXPECT_EQ(record.GetData()[10], 7) << "init values apply when the record is built";

    EXPECT_FALSE(record.AcceptAnswer(Record({0, 0, 0, 0xE0})));
    EXPECT_FALSE(record.AcceptAnswer({}));
    TBytes untouched(120, 0);
    untouched[10] = 7;
    EXPECT_EQ(record.GetData(), untouched);

    EXPECT_TRUE(record.AcceptAnswer(Record({0, 0, 0, 0xB0})));
    EXPECT_FALSE(record.Received()) << "a set answer is no query answer";
    EXPECT_EQ(record.GetData()[50], 0x5A);
    EXPECT_EQ(record.GetData()[10], 7);

    EXPECT_TRUE(record.AcceptAnswer(Record({0, 0, 0, 0xD0}, 60, 0x33)));
    EXPECT_TRUE(record.Received());
    EXPECT_EQ(record.GetData()[59], 0x33);
    EXPECT_EQ(record.GetData()[60], 0x5A) << "a short answer replaces only its own bytes";
    EXPECT_EQ(record.GetData()[10], 7);

    record.SetData(TBytes(200, 0x44));
    EXPECT_EQ(record.GetData(), TBytes(120, 0x44));
}

TEST(DataPacket, OnlyAWholeQueryAnswerLeavesNothingButTheDevicesBytes)
{
    const auto manager = test::MappingOf(
        "<datapacket name=\"R\" size=\"120\" h_query=\"000000e0\" h_answer=\"000000d0\" h_setanswer=\"000000b0\">"
        "<dataitem name=\"forced\" type=\"number\" position=\"10\" size=\"1\" init_value=\"7\"/></datapacket>");
    TDataPacket& record = *manager->GetPacket(0);
    EXPECT_TRUE(record.IsWholeAnswer(Record({0, 0, 0, 0xD0})));
    EXPECT_TRUE(record.IsWholeAnswer(Record({0, 0, 0, 0xD0}, 130)));
    EXPECT_FALSE(record.IsWholeAnswer(Record({0, 0, 0, 0xD0}, 119)));
    EXPECT_FALSE(record.IsWholeAnswer({0x00, 0x00, 0x00, 0xD0, 0x7F, 0x00, 0x00, 0x16}));
    EXPECT_FALSE(record.IsWholeAnswer(Record({0, 0, 0, 0xB0}))) << "a set answer is no query answer";
    EXPECT_FALSE(record.IsWholeAnswer(Record({0, 0, 0, 0xE0})));

    // What one device sent is gone after the reset; the record is as built.
    EXPECT_TRUE(record.AcceptAnswer(Record({0, 0, 0, 0xD0}, 120, 0x33)));
    record.ResetData();
    TBytes built(120, 0);
    built[10] = 7;
    EXPECT_EQ(record.GetData(), built);
    EXPECT_FALSE(record.Received());
}

TEST(DataManager, LookUpsKeepDocumentOrderNamesBeforeAliases)
{
    const auto manager = test::MappingOf(
        "<datapacket name=\"A\" size=\"8\" h_answer=\"000000d0\">"
        "<dataitem name=\"first\" alias=\"shared\" type=\"number\" position=\"4\" size=\"1\"/>"
        "<dataitem name=\"shared\" type=\"number\" position=\"5\" size=\"1\"/>"
        "<dataitem name=\"x.y\" type=\"number\" position=\"6\" size=\"1\"/></datapacket>"
        "<datapacket name=\"B\" alias=\"A2\" type=\"setup\" size=\"8\" h_answer=\"000000d0\">"
        "<dataitem name=\"shared\" type=\"number\" position=\"4\" size=\"1\"/>"
        "<dataitem name=\"only_b\" type=\"number\" position=\"5\" size=\"1\"/></datapacket>"
        "<datapacket name=\"A2\" type=\"SetupRecord\" size=\"8\" h_answer=\"000000d0\"/>");
    TDataPacket& a = *manager->GetPacket(0);
    EXPECT_EQ(a.FindItem("shared")->Name(), "shared");
    EXPECT_EQ(a.FindItem("shared")->Position(), 5);
    EXPECT_EQ(manager->FindItem("shared"), a.FindItem("shared"));
    EXPECT_EQ(manager->FindItem("only_b"), manager->GetPacket(1)->FindItem("only_b"));
    EXPECT_EQ(manager->FindItem("B.shared"), manager->GetPacket(1)->FindItem("shared"));
    EXPECT_EQ(manager->FindItem("A.x.y")->Position(), 6);
    EXPECT_EQ(manager->FindPacket("A2"), manager->GetPacket(2)) << "a name goes before an alias";
    EXPECT_EQ(manager->FindItem("Nope.shared"), nullptr);
    // A field the mapping lacks: null, empty as text, an error as a number or a boolean.
    for (const std::string name : {"Nope.shared", "A.nope", "nope"}) {
        const TItemValue missing = manager->GetValue(name);
        EXPECT_TRUE(missing.IsNull()) << name;
        EXPECT_EQ(missing.AsText(), "") << name;
        EXPECT_EQ(missing.Text(), "") << name;
        EXPECT_NE(missing, TItemValue(0)) << name;
        EXPECT_THROW(missing.Integer(), Exception) << name;
        EXPECT_THROW(missing.Boolean(), Exception) << name;
    }
    EXPECT_EQ(manager->GetValue("A.shared").Integer(), 0) << "a field that is there reads as its number";
    try {
        manager->SetValue("Nope.shared", 1);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Polozka Nope.shared nebyla nalezena.");
    }
    EXPECT_THROW(a.SetValue("missing", 1), Exception);

    const TBytes answer{0, 0, 0, 0xD0};
    EXPECT_EQ(manager->IndexOfAnswer(answer, ptOther), 0) << "the first of equal answer codes";
    EXPECT_EQ(manager->IndexOfAnswer(answer, ptSetup), 1);
    EXPECT_EQ(manager->IndexOfAnswer(answer, ptSet), -1);
    EXPECT_EQ(manager->IndexOfAnswer({}, ptOther), -1);
    EXPECT_EQ(manager->GetPacket(2)->PacketType(), ptSetup);
    EXPECT_EQ(manager->GetPacket(-1), nullptr);
    EXPECT_EQ(manager->GetPacket(3), nullptr);
}

} // namespace
