#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "model/Charset.h"
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

// Every byte a text field can hold reads as one character and writes back as that byte, the
// five Windows-1250 leaves undefined as the C1 controls of their value.
TEST(RecordCharset, EveryByteReadsAndWritesBackAsItself)
{
    const std::pair<std::uint8_t, const char*> read[] = {
        {0x81, "\u0081"}, {0x83, "\u0083"}, {0x88, "\u0088"}, {0x90, "\u0090"}, {0x98, "\u0098"},
        {0x80, "\u20AC"}, {0x8A, "\u0160"}, {0xE8, "\u010D"}, {0xFF, "\u02D9"}, {0x41, "A"},
    };
    for (const auto& [byte, text] : read)
        EXPECT_EQ(Cp1250ToUtf8(std::string(1, static_cast<char>(byte))), text) << int(byte);
    std::string all;
    for (int byte = 1; byte < 256; ++byte)
        all += static_cast<char>(byte);
    EXPECT_EQ(Utf8ToCp1250(Cp1250ToUtf8(all)), all);

    // What the record cannot hold: other C1 controls, characters outside the code page.
    for (const char* text : {"\u0080", "\u0082", "\u0099", "\u65E5", "a\u00C2\u0081\u0100"})
        EXPECT_THROW(Utf8ToCp1250(text), Exception) << text;
}

TEST(TypedAddress, LeadingZerosAreRefusedShortFormsOnlyWhereAsked)
{
    struct TCase {
        const char* Text;
        std::optional<std::uint32_t> Dotted;
        std::optional<std::uint32_t> Short;
    };
    const std::optional<std::uint32_t> none;
    const TCase cases[] = {
        {"192.168.1.10", 0x0A01A8C0u, 0x0A01A8C0u},
        {"0.0.0.0", 0u, 0u},
        {"255.255.255.255", 0xFFFFFFFFu, 0xFFFFFFFFu},
        {"10", none, 0x0A000000u},
        {"10.1", none, 0x0100000Au},
        {"10.1.2", none, 0x0200010Au},
        {"10.65535", none, 0xFFFF000Au},
        {"10.16777216", none, none},
        {"4294967295", none, 0xFFFFFFFFu},
        {"192.168.1.010", none, none},
        {"010.1.1.1", none, none},
        {"0x7f.1", none, none},
        {"00", none, none},
        {"1.2.3.4.", none, none},
        {"1.2.3.4.5", none, none},
        {"1..2", none, none},
        {"1.2.3.256", none, none},
        {" 1.2.3.4", none, none},
        {"1.2.3.4 ", none, none},
        {"+1.2.3.4", none, none},
        {"", none, none},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ParseIPText(c.Text), c.Dotted) << c.Text;
        EXPECT_EQ(ParseIPText(c.Text, TIPForms::Short), c.Short) << c.Text;
        if (c.Short && c.Text[0] != '\0')
            EXPECT_EQ(StrToIP(c.Text), *c.Short) << c.Text << " reads as the C library reads it";
    }
    for (const char* device : {"1.0.0.1", "127.0.0.9", "128.0.0.0", "223.255.255.255"})
        EXPECT_TRUE(IsDeviceAddress(StrToIP(device))) << device;
    for (const char* none : {"0.0.0.0", "0.1.2.3", "224.0.0.1", "239.255.255.255", "240.0.0.1",
                             "255.255.255.255"})
        EXPECT_FALSE(IsDeviceAddress(StrToIP(none))) << none;
}
