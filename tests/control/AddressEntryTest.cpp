#include <gtest/gtest.h>

#include "control/AddressEntry.h"

using namespace qubra;

namespace {

TAddressEntry Entry(std::string ip, std::string mask = "", std::string gateway = "", bool autoMask = false)
{
    return {std::move(ip), std::move(mask), std::move(gateway), autoMask};
}

} // namespace

TEST(AddressEntry, ValidOnlyWithAUsableAddressAndMaskAndGatewayEmptyOrAddresses)
{
    struct TCase {
        TAddressEntry Entry;
        bool Valid;
    };
    const TCase cases[] = {
        {Entry("192.168.1.10"), true},
        {Entry(""), false},
        {Entry("0.0.0.0"), false},
        {Entry("255.255.255.255"), false},
        {Entry("10"), true}, // one part reads as 0.0.0.10
        {Entry("192.168.1.300"), false},
        {Entry("192.168.1.x"), false},
        {Entry("192.168.1.10", "255.255.255.0", "192.168.1.1"), true},
        {Entry("192.168.1.10", "0.0.0.0", "0.0.0.0"), true},
        {Entry("192.168.1.10", "255.0.255.0"), true}, // not checked for contiguous bits
        {Entry("192.168.1.10", "255.255.255.255"), true},
        {Entry("192.168.1.10", "mask"), false},
        {Entry("192.168.1.10", "mask", "", true), false}, // checked even with the automatic mask
        {Entry("192.168.1.10", "", "192.168.1.256"), false},
        {Entry("192.168.1.10", "", "1.2.3.4.5"), false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(c.Entry.IsValid(), c.Valid)
            << "'" << c.Entry.IPText << "' '" << c.Entry.MaskText << "' '" << c.Entry.GatewayText << "'";
}

TEST(AddressEntry, ValuesHaveTheFirstOctetLowAndEmptyOrAutomaticFieldsGiveZero)
{
    EXPECT_EQ(Entry("192.168.1.2").GetIP(), 0x0201A8C0u);
    EXPECT_EQ(Entry("10").GetIP(), 0x0A000000u);

    EXPECT_EQ(Entry("1.2.3.4", "255.255.255.0").GetMask(), 0x00FFFFFFu);
    EXPECT_EQ(Entry("1.2.3.4", "255.255.255.0", "", true).GetMask(), 0u);
    EXPECT_EQ(Entry("1.2.3.4", "").GetMask(), 0u);

    EXPECT_EQ(Entry("1.2.3.4", "", "192.168.1.1").GetGateway(), 0x0101A8C0u);
    EXPECT_EQ(Entry("1.2.3.4", "", "").GetGateway(), 0u);
}

TEST(AddressEntry, StandardMaskFollowsTheClassOfTheFirstOctet)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1.2.3.4", "255.0.0.0"},       {"126.255.0.1", "255.0.0.0"},  {"127.0.0.1", "0.0.0.0"},
        {"128.0.0.1", "255.255.0.0"},   {"172.16.5.4", "255.255.0.0"}, {"191.1.1.1", "255.255.0.0"},
        {"192.168.1.1", "255.255.255.0"}, {"223.1.1.1", "255.255.255.0"}, {"224.0.0.1", "0.0.0.0"},
        {"0.1.2.3", "0.0.0.0"},         {"", "0.0.0.0"},               {"no address", "0.0.0.0"},
    };
    for (const auto& [ip, mask] : cases) EXPECT_EQ(TAddressEntry::StandardMaskText(ip), mask) << ip;
}

TEST(AddressEntry, AllOnesMaskOrATextThatIsNoAddressAsksForTheAutomaticMask)
{
    EXPECT_TRUE(TAddressEntry::AutoMaskFor("255.255.255.255"));
    EXPECT_TRUE(TAddressEntry::AutoMaskFor("mask"));
    EXPECT_TRUE(TAddressEntry::AutoMaskFor(""));
    EXPECT_FALSE(TAddressEntry::AutoMaskFor("255.255.255.0"));
    EXPECT_FALSE(TAddressEntry::AutoMaskFor("0.0.0.0"));
}
