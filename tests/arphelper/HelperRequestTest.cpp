#include "arphelper/HelperRequest.h"

#include <array>
#include <cerrno>
#include <string>

#include <linux/rtnetlink.h>

#include <gtest/gtest.h>

using namespace qubra::arphelper;

namespace {

THelperRequest Parsed(const std::string& Line)
{
    THelperRequest request;
    const TRefusal refusal = ParseRequest(Line, request);
    EXPECT_FALSE(refusal) << Line << ": " << refusal.Text;
    return request;
}

TRefusal RefusalOf(const std::string& Line)
{
    THelperRequest request;
    request.IfIndex = 77;
    const TRefusal refusal = ParseRequest(Line, request);
    EXPECT_EQ(request.IfIndex, 77) << "a refused line leaves the request alone: " << Line;
    return refusal;
}

std::uint32_t IP(int A, int B, int C, int D)
{
    return static_cast<std::uint32_t>(A | B << 8 | C << 16 | D << 24);
}

// A LAN interface with 10.81.0.1/24 and the route to the target leading over it.
TTarget LanTarget()
{
    TTarget target;
    target.LinkDoesARP = true;
    target.RouteType = RTN_UNICAST;
    target.LinkSubnets = {{IP(10, 81, 0, 1), 24}};
    return target;
}

TRefusal HoldRefusal(std::uint32_t Address, const TTarget& Target = LanTarget())
{
    THelperRequest request = Parsed("hold 3 10.81.0.50 02:20:4a:12:ab:cd 30\n");
    request.IP = Address;
    return CheckHold(request, Target);
}

} // namespace

TEST(HelperRequest, FieldsLandWhereTheNetlinkRequestTakesThem)
{
    const THelperRequest hold = Parsed("hold 2147483647 192.168.1.254 00:20:4A:12:ab:Cd 30\n");
    EXPECT_EQ(hold.Kind, THelperRequest::TKind::Hold);
    EXPECT_EQ(hold.IfIndex, 2147483647);
    EXPECT_EQ(hold.IP, 0xFE01A8C0u) << "first octet in the least significant byte";
    EXPECT_EQ(hold.MAC, (std::array<std::uint8_t, 6>{0x00, 0x20, 0x4A, 0x12, 0xAB, 0xCD}));
    EXPECT_EQ(hold.HoldSeconds, 30);
    EXPECT_EQ(AddressText(hold.IP), "192.168.1.254");

    const THelperRequest erase = Parsed("delete 1 0.0.0.0\n");
    EXPECT_EQ(erase.Kind, THelperRequest::TKind::Delete);
    EXPECT_EQ(erase.IfIndex, 1);
    EXPECT_EQ(erase.IP, 0u) << "a row the kernel filed under 0.0.0.0 can be named";
}

TEST(HelperRequest, AnythingButTheExactLayoutIsRefused)
{
    const char* const malformed[] = {
        "",
        "\n",
        "delete 3 10.81.0.50",            // no newline
        "delete 3 10.81.0.50\n\n",        // more than one line
        "delete  3 10.81.0.50\n",         // double blank
        " delete 3 10.81.0.50\n",
        "delete 3 10.81.0.50 \n",
        "delete 3 10.81.0.50\r\n",
        "DELETE 3 10.81.0.50\n",
        "remove 3 10.81.0.50\n",
        "delete 0 10.81.0.50\n",          // no interface 0
        "delete 03 10.81.0.50\n",         // leading zero
        "delete -3 10.81.0.50\n",
        "delete +3 10.81.0.50\n",
        "delete 2147483648 10.81.0.50\n", // beyond int
        "delete 99999999999 10.81.0.50\n",
        "delete 3 10.81.0.256\n",
        "delete 3 10.81.0.050\n",
        "delete 3 10.81.0\n",
        "delete 3 10.81.0.50.1\n",
        "delete 3 10..0.50\n",
        "delete 3 10.81.0.50.\n",
        "delete 3 0x0a.81.0.50\n",
        "delete 3 167837746\n",           // one-part form
        "delete 3 10.81.0.50 02:20:4a:12:ab:cd\n",
        "hold 3 10.81.0.50 02:20:4a:12:ab:cd\n",
        "hold 3 10.81.0.50 02:20:4a:12:ab:cd 30 9\n",
        "hold 3 10.81.0.50 02-20-4a-12-ab-cd 30\n",
        "hold 3 10.81.0.50 02:20:4a:12:ab 30\n",
        "hold 3 10.81.0.50 02:20:4a:12:ab:cd:ef 30\n",
        "hold 3 10.81.0.50 02:20:4a:12:ab:cg 30\n",
        "hold 3 10.81.0.50 2:20:4a:12:ab:cdd 30\n",
        "hold 3 10.81.0.50 02:20:4a:12:ab:+d 30\n",
        "hold 3 10.81.0.50 02:20:4a:12:ab:cd 030\n",
        "hold 3 10.81.0.50 02:20:4a:12:ab:cd 1e1\n",
    };
    for (const char* line : malformed) {
        const TRefusal refusal = RefusalOf(line);
        EXPECT_EQ(refusal.Code, EINVAL) << line;
        EXPECT_EQ(refusal.Text, "malformed request") << line;
    }
    EXPECT_EQ(RefusalOf(std::string("delete 3\0 10.81.0.50\n", 21)).Code, EINVAL) << "an embedded zero";
    // The longest accepted line, and one character more.
    const std::string longest = "hold 2147483647 255.255.255.255 ff:ff:ff:ff:ff:fe 30\n";
    ASSERT_LE(longest.size(), 80u);
    EXPECT_EQ(RefusalOf(longest + std::string(80 - longest.size(), ' ')).Code, EINVAL);
}

TEST(HelperRequest, HoldTimeAndStationMACAreCheckedWithReasons)
{
    EXPECT_EQ(Parsed("hold 3 10.81.0.50 02:20:4a:12:ab:cd 1\n").HoldSeconds, 1);
    EXPECT_EQ(Parsed("hold 3 10.81.0.50 02:20:4a:12:ab:cd 30\n").HoldSeconds, 30);
    for (const char* seconds : {"0", "31", "3600", "2147483647"}) {
        const TRefusal refusal = RefusalOf(std::string("hold 3 10.81.0.50 02:20:4a:12:ab:cd ") + seconds + "\n");
        EXPECT_EQ(refusal.Code, EINVAL) << seconds;
        EXPECT_EQ(refusal.Text, std::string("a hold of ") + seconds + " s is beyond the limit of 30 s");
    }
    const std::pair<const char*, const char*> groups[] = {
        {"00:00:00:00:00:00", "belongs to no station"},
        {"ff:ff:ff:ff:ff:ff", "group address"},
        {"01:00:5e:00:00:01", "group address"},
        {"33:33:00:00:00:01", "group address"}, // the group bit alone
    };
    for (const auto& [mac, reason] : groups) {
        const TRefusal refusal = RefusalOf(std::string("hold 3 10.81.0.50 ") + mac + " 30\n");
        EXPECT_EQ(refusal.Code, EINVAL) << mac;
        EXPECT_NE(refusal.Text.find(reason), std::string::npos) << refusal.Text;
    }
    EXPECT_EQ(Parsed("hold 3 10.81.0.50 02:00:00:00:00:00 30\n").MAC[0], 0x02) << "locally administered is fine";
}

TEST(HelperRequest, HoldIsRefusedForEveryAddressThatIsNoOtherStations)
{
    EXPECT_FALSE(HoldRefusal(IP(10, 81, 0, 50)));
    EXPECT_FALSE(HoldRefusal(IP(10, 81, 0, 254)));
    EXPECT_FALSE(HoldRefusal(IP(172, 30, 0, 1))) << "behind a gateway: allowed, as before";

    const std::pair<std::uint32_t, int> refused[] = {
        {IP(0, 0, 0, 0), EINVAL},         {IP(0, 1, 2, 3), EINVAL},
        {IP(255, 255, 255, 255), EINVAL}, {IP(224, 0, 0, 1), EINVAL},
        {IP(239, 255, 255, 250), EINVAL}, {IP(240, 0, 0, 1), EINVAL},
        {IP(127, 0, 0, 1), EADDRINUSE},   {IP(127, 200, 1, 1), EADDRINUSE},
        {IP(10, 81, 0, 0), EINVAL},       {IP(10, 81, 0, 255), EINVAL},
    };
    for (const auto& [address, code] : refused) {
        const TRefusal refusal = HoldRefusal(address);
        EXPECT_EQ(refusal.Code, code) << AddressText(address);
        EXPECT_NE(refusal.Text.find(AddressText(address)), std::string::npos) << refusal.Text;
    }
    EXPECT_NE(HoldRefusal(IP(10, 81, 0, 0)).Text.find("network address"), std::string::npos);
    EXPECT_NE(HoldRefusal(IP(10, 81, 0, 255)).Text.find("broadcast address"), std::string::npos);

    TTarget own = LanTarget();
    own.RouteType = RTN_LOCAL;
    EXPECT_EQ(HoldRefusal(IP(10, 81, 0, 1), own).Code, EADDRINUSE);
    EXPECT_EQ(HoldRefusal(IP(0, 0, 0, 0), own).Code, EINVAL) << "no station's address comes first";
    TTarget broadcastRoute = LanTarget();
    broadcastRoute.RouteType = RTN_BROADCAST;
    EXPECT_EQ(HoldRefusal(IP(10, 81, 0, 50), broadcastRoute).Code, EINVAL);
    TTarget noRoute = LanTarget();
    noRoute.RouteType = RTN_UNSPEC;
    EXPECT_FALSE(HoldRefusal(IP(10, 81, 0, 50), noRoute));
}

TEST(HelperRequest, SubnetEdgesFollowThePrefixOfTheTargetsInterface)
{
    TTarget target = LanTarget();
    target.LinkSubnets = {{IP(192, 168, 7, 5), 30}, {IP(10, 1, 2, 3), 8}, {IP(172, 16, 0, 1), 31}};
    EXPECT_EQ(HoldRefusal(IP(192, 168, 7, 4), target).Code, EINVAL);
    EXPECT_EQ(HoldRefusal(IP(192, 168, 7, 7), target).Code, EINVAL);
    EXPECT_FALSE(HoldRefusal(IP(192, 168, 7, 6), target));
    EXPECT_FALSE(HoldRefusal(IP(192, 168, 7, 8), target)) << "the next subnet's network address";
    EXPECT_EQ(HoldRefusal(IP(10, 0, 0, 0), target).Code, EINVAL);
    EXPECT_EQ(HoldRefusal(IP(10, 255, 255, 255), target).Code, EINVAL);
    EXPECT_FALSE(HoldRefusal(IP(10, 255, 255, 254), target));
    EXPECT_FALSE(HoldRefusal(IP(10, 0, 1, 0), target)) << "inside a /8, x.x.1.0 is a station";
    EXPECT_FALSE(HoldRefusal(IP(172, 16, 0, 0), target)) << "a /31 has no network address";
    // Subnets of other interfaces do not count.
    EXPECT_FALSE(HoldRefusal(IP(10, 81, 0, 255), target));
}

TEST(HelperRequest, HoldNeedsALinkWithARPAndNoEntryOfAnotherStationOrMaker)
{
    TTarget target = LanTarget();
    target.LinkDoesARP = false;
    EXPECT_EQ(HoldRefusal(IP(10, 81, 0, 50), target).Code, EOPNOTSUPP);

    // What stands at the address: the hold's and the deletion's answer to it.
    using TEntry = TTarget::TEntry;
    const std::array<std::uint8_t, 6> other{0x02, 0, 0, 0, 0, 0x77}, device{0x02, 0x20, 0x4a, 0x12, 0xab, 0xcd};
    const struct {
        TEntry Entry;
        std::array<std::uint8_t, 6> MAC;
        bool Gateway;
        int Hold, Delete;
        const char* Text;
    } cases[] = {
        {TEntry::None, {}, false, 0, ENOENT, ""},
        {TEntry::FoundNobody, {}, false, 0, 0, ""},
        {TEntry::Live, other, false, EADDRINUSE, EADDRINUSE, "10.81.0.50 is answered by the station 02:00:00:00:00:77"},
        {TEntry::Live, device, false, 0, EADDRINUSE, "answered by the station 02:20:4a:12:ab:cd"},
        {TEntry::Static, {}, false, EACCES, EACCES, "10.81.0.50 has a static entry that the tool did not make"},
        {TEntry::Marked, {}, false, EBUSY, EBUSY, "10.81.0.50 is held by another request"},
        {TEntry::None, {}, true, EADDRINUSE, ENOENT, "10.81.0.50 is the gateway of a route"},
    };
    THelperRequest deletion = Parsed("delete 3 10.81.0.50\n");
    for (const auto& c : cases) {
        target = LanTarget();
        target.Entry = c.Entry;
        target.StationMAC = c.MAC;
        target.Gateway = c.Gateway;
        const TRefusal hold = HoldRefusal(IP(10, 81, 0, 50), target), removal = CheckDelete(deletion, target);
        SCOPED_TRACE(static_cast<int>(c.Entry));
        EXPECT_EQ(hold.Code, c.Hold) << hold.Text;
        EXPECT_EQ(removal.Code, c.Delete) << removal.Text;
        EXPECT_NE((hold ? hold.Text : removal.Text).find(c.Text), std::string::npos) << hold.Text << removal.Text;
    }
}
