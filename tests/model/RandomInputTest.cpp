#include <gtest/gtest.h>

#include <random>

#include "tests/model/ModelTestSupport.h"

using namespace qubra;

namespace {

// Built-in record plus records whose headers are short, clipped or far from the start.
std::unique_ptr<TDataManager> OddMapping()
{
    return test::MappingOf(
        "<datapacket name=\"short\" size=\"3\" h_answer=\"000000d0\"/>"
        "<datapacket name=\"clipped\" size=\"120\" h_answer=\"000000d0\" h_setanswer=\"000000b0\">"
        "<dataitem name=\"$header\" type=\"hexa\" position=\"118\" size=\"4\"/></datapacket>"
        "<datapacket name=\"far\" size=\"10\" h_answer=\"zz\" h_setanswer=\"aabbccb0\">"
        "<dataitem name=\"$header\" type=\"hexa\" position=\"60000\" size=\"8\"/></datapacket>");
}

TEST(RandomInput, RecordsTakeArbitraryDatagramsSafely)
{
    const auto builtIn = test::BuiltInMapping();
    const auto odd = OddMapping();
    std::mt19937 random(232);
    TBytes pool(140000);
    for (auto& b : pool) b = static_cast<uint8_t>(random());
    const uint8_t codes[] = {0xE0, 0xD0, 0xC0, 0xB0};

    int accepted = 0;
    for (int n = 0; n < 100000; ++n) {
        const size_t length = random() % 20 == 0 ? random() % 70001 : random() % 300;
        const size_t offset = random() % (pool.size() - length + 1);
        TBytes data(pool.begin() + offset, pool.begin() + offset + length);
        if (length > 3 && random() % 2) data[3] = codes[random() % 4];

        for (const TDataManager* manager : {builtIn.get(), odd.get()}) {
            const int index = manager->IndexOfAnswer(data, ptOther);
            for (int i = 0; i < manager->PacketCount(); ++i) {
                TDataPacket& record = *manager->GetPacket(i);
                const THeaderKind kind = record.KindOf(data);
                ASSERT_EQ(record.IsAnswer(data.data(), data.size()), kind == hkAnswer || kind == hkSetAnswer);
                if (i == index) {
                    ASSERT_TRUE(record.IsAnswer(data));
                } else if (index < 0 || i < index) {
                    ASSERT_FALSE(record.IsAnswer(data)) << "a later record took the answer of an earlier one";
                }
                const bool taken = record.AcceptAnswer(data);
                ASSERT_EQ(taken, record.IsAnswer(data));
                accepted += taken;
                record.SetData(data);
                const size_t copied = std::min<size_t>(data.size(), record.Size());
                ASSERT_TRUE(std::equal(data.begin(), data.begin() + copied, record.GetData().begin()));
            }
        }
    }
    EXPECT_GT(accepted, 10000) << "the inputs must reach the answer paths too";
}

} // namespace
