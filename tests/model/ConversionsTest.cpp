#include <gtest/gtest.h>

#include "model/Conversions.h"
#include "model/Exception.h"

using namespace qubra;

TEST(HexText, SeparatorsAreSkippedAndAnOddDigitIsIgnored)
{
    EXPECT_EQ(HexToBytes("000000e0"), (TBytes{0x00, 0x00, 0x00, 0xE0}));
    EXPECT_EQ(HexToBytes("00-20.4a 12\r\n\tAB-c"), (TBytes{0x00, 0x20, 0x4A, 0x12, 0xAB}));
    EXPECT_TRUE(HexToBytes("").empty());
    EXPECT_EQ(BytesToHex({0x00, 0xAB, 0x0F}), "00AB0F");
    EXPECT_EQ(BytesToHex({}), "");
}

TEST(HexText, InvalidPairsNameThePairWithADollar)
{
    try {
        HexToBytes("00:11");
        FAIL() << "colon accepted";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'$:1' is not a valid integer value");
    }
    EXPECT_THROW(HexToBytes("0x10"), EConvertError);
    EXPECT_THROW(HexToBytes("zz"), EConvertError);
}

TEST(AddressText, FirstOctetIsTheLeastSignificantByte)
{
    EXPECT_EQ(StrToIP("192.168.1.254"), 0xFE01A8C0u);
    EXPECT_EQ(IPToStr(0xFE01A8C0u), "192.168.1.254");
    EXPECT_EQ(IPToStr(0), "0.0.0.0");
    // inet_addr forms: short, octal and hex parts
    EXPECT_EQ(IPToStr(StrToIP("10.1")), "10.0.0.1");
    EXPECT_EQ(IPToStr(StrToIP("010.0x10.0.1")), "8.16.0.1");
    EXPECT_EQ(StrToIP("300.1.1.1"), 0xFFFFFFFFu);
    EXPECT_EQ(StrToIP("not an address"), 0xFFFFFFFFu);
    EXPECT_EQ(StrToIP(std::string("1.2.3.4\0junk", 12)), 0xFFFFFFFFu);
}

TEST(MACText, LowerCaseGroupsAndExactlySixBytes)
{
    const TBytes mac{0x00, 0x20, 0x4A, 0x12, 0xAB, 0xCD};
    EXPECT_EQ(MACToStr(mac), "00-20-4a-12-ab-cd");

    std::uint8_t dest[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(StrToMAC("00-20-4A-12-AB-CD", dest));
    EXPECT_EQ(TBytes(dest, dest + 6), mac);

    std::uint8_t shortDest[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_FALSE(StrToMAC("01-02", shortDest));
    EXPECT_EQ(TBytes(shortDest, shortDest + 6), (TBytes{1, 2, 9, 9, 9, 9}));

    std::uint8_t longDest[6] = {};
    EXPECT_FALSE(StrToMAC("01-02-03-04-05-06-07", longDest));
    EXPECT_EQ(TBytes(longDest, longDest + 6), (TBytes{1, 2, 3, 4, 5, 6}));
}

TEST(BitMasks, CountAndShift)
{
    EXPECT_EQ(BitMask(2, 6), 0xC0u);
    EXPECT_EQ(BitMask(3, 4), 0x70u);
    EXPECT_EQ(BitMask(0, 5), 0u);
    EXPECT_EQ(BitMask(32, 0), 0xFFFFFFFFu);
    EXPECT_EQ(BitMask(255, 0), 0xFFFFFFFFu);
    EXPECT_EQ(BitMask(1, 33), 0x2u);
}
