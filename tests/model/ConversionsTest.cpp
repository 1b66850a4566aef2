#include <gtest/gtest.h>

#include <vector>

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

TEST(AddressText, TypedAddressesAreTakenOnlyInTheFormTheToolWrites)
{
    EXPECT_EQ(ParseIPText("192.168.1.254"), 0xFE01A8C0u);
    EXPECT_EQ(ParseIPText("0.0.0.0"), 0u);
    EXPECT_EQ(ParseIPText("255.255.255.255"), 0xFFFFFFFFu);
    for (const std::uint32_t value : {0x0A000001u, 0x3D00580Au, 0x01020304u, 0x00FF00FFu})
        EXPECT_EQ(ParseIPText(IPToStr(value)), value) << IPToStr(value);

    // What inet_addr reads otherwise than a person (octal parts, short forms) or reads only in
    // part (up to a blank) is refused, as is every other text around four decimal parts.
    const std::vector<std::string> refused{
        "10.88.0.061", "010.1.1.1", "10.88.0.00", "1.2.3.0004", "127.0.0.21 junk", " 1.2.3.4",
        "1.2.3.4 ", "1.2.3.4\n", "1.2.3.4.", "1.2.3", "10", "1..2.3", "1.2.3.256", "1.2.3.-1",
        "1.2.3.+1", "0x1.2.3.4", "1.2.3.4x", "", std::string("1.2.3.4\0.5", 9)};
    for (const std::string& text : refused)
        EXPECT_FALSE(ParseIPText(text).has_value()) << text;
}

TEST(MACText, TypedMACsTakeTheMACSeparatorsAndNoDigitLeftOver)
{
    const TMACAddress mac{0x00, 0x20, 0x4A, 0x12, 0xAB, 0xCD};
    for (const char* text : {"00-20-4a-12-ab-cd", "00204A12ABCD", "00 20 4a 12 ab cd", "00-20-4a\t12\r\nab-cd"})
        EXPECT_EQ(ParseMACText(text), mac) << text;
    EXPECT_EQ(MACToStr(mac), "00-20-4a-12-ab-cd");

    // HexToBytes would ignore the odd last digit; "." separates hex text but not a MAC.
    for (const char* text : {"00-20-4a-12-ab-cd5", "00-20-4a-12-ab-cdx", "00.20.4a.12.ab.cd",
                             "00:20:4a:12:ab:cd", "00-20-4a-12-ab", "00-20-4a-12-ab-cd-ef",
                             "0x-20-4a-12-ab-cd", ""})
        EXPECT_FALSE(ParseMACText(text).has_value()) << text;

    EXPECT_TRUE(IsZeroMAC(TMACAddress{}));
    EXPECT_FALSE(IsZeroMAC(TMACAddress{0, 0, 0, 0, 0, 1}));
}
