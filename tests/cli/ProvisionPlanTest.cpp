// The provisioning plan: what it takes, and every line it refuses, named by its number.
#include <gtest/gtest.h>

#include "cli/ProvisionPlan.h"
#include "cli/SetupFile.h"
#include "model/Conversions.h"

using namespace qubra;

namespace {

std::string Describe(const std::vector<TPlanEntry>& Plan)
{
    std::string text;
    for (const TPlanEntry& entry : Plan)
        text += std::to_string(entry.Line) + " " + MACToStr(entry.MAC) + " " + IPToStr(entry.IP) + " " +
                (entry.Mask ? IPToStr(*entry.Mask) : "-") + " " +
                (entry.Gateway ? IPToStr(*entry.Gateway) : "-") + "\n";
    return text;
}

} // namespace

TEST(ProvisionPlan, TakesLinesInOrderAndRefusesEachFaultNamingItsLine)
{
    // Plan text, then the entries it gives or the message it is refused with.
    const std::vector<std::pair<std::string, std::string>> cases{
        {"MAC,IP,MASK,GATEWAY\r\n# factory units\n\n 00-20-4A-00-00-01 , 10.0.0.51 ,255.255.255.0, 10.0.0.1\r\n"
         "00204a000002,10.0.0.52\n  # later\n00 20 4a 00 00 03,10.0.0.53,,10.0.0.254\n00-20-4a-00-00-04,10.0.0.54,255.255.0.0,",
         "4 00-20-4a-00-00-01 10.0.0.51 255.255.255.0 10.0.0.1\n"
         "5 00-20-4a-00-00-02 10.0.0.52 - -\n"
         "7 00-20-4a-00-00-03 10.0.0.53 - 10.0.0.254\n"
         "8 00-20-4a-00-00-04 10.0.0.54 255.255.0.0 -\n"},
        {"mac,ip\n00-20-4a-00-00-01,10.0.0.51", "2 00-20-4a-00-00-01 10.0.0.51 - -\n"},
        // A header only as the first line.
        {"00-20-4a-00-00-01,10.0.0.51\nMAC,IP\n", "plan.csv:2: MAC: 'MAC' is not a MAC address"},
        {"", "plan.csv: no device in the plan"},
        {"# only comments\nMAC,IP\n", "plan.csv: no device in the plan"},
        {"00-20-4a-00-00-01\n", "plan.csv:1: '00-20-4a-00-00-01' is not MAC,IP[,MASK[,GATEWAY]]"},
        {"00-20-4a-00-00-01;10.0.0.51\n", "plan.csv:1: '00-20-4a-00-00-01;10.0.0.51' is not MAC,IP"},
        {"00-20-4a-00-00-01,10.0.0.51,255.255.255.0,10.0.0.1,x\n", "plan.csv:1: '00-20-4a-00-00-01,10.0.0.51,"},
        {"# a\n00-20-4a-00-00-01,10.0.0.051\n", "plan.csv:2: IP: '10.0.0.051' is not an IPv4 address"},
        {"00-20-4a-00-00-01,10.0.0.256\n", "plan.csv:1: IP: '10.0.0.256' is not an IPv4 address"},
        {"00-20-4a-00-00-01,\n", "plan.csv:1: IP: '' is not an IPv4 address"},
        {"00-20-4a-00-00-01,0.0.0.0\n", "plan.csv:1: IP: 0.0.0.0 is no device's address"},
        {"00-20-4a-00-00-01,255.255.255.255\n", "plan.csv:1: IP: 255.255.255.255 is no device's address"},
        {"00:20:4a:00:00:01,10.0.0.51\n", "plan.csv:1: MAC: '00:20:4a:00:00:01' is not a MAC address"},
        {"00-00-00-00-00-00,10.0.0.51\n", "plan.csv:1: MAC: 00-00-00-00-00-00 is no device's MAC address"},
        {"ff-ff-ff-ff-ff-ff,10.0.0.51\n", "plan.csv:1: MAC: ff-ff-ff-ff-ff-ff is no device's MAC address"},
        {"00-20-4a-00-00-01,10.0.0.51,255.0.255.0\n", "plan.csv:1: MASK: '255.0.255.0' is not a netmask"},
        {"00-20-4a-00-00-01,10.0.0.51,255.255.255.255\n", "plan.csv:1: MASK: '255.255.255.255' is not a netmask"},
        {"00-20-4a-00-00-01,10.0.0.51,255.255.255.0,10.0.0.1x\n", "plan.csv:1: GATEWAY: '10.0.0.1x'"},
        {"00-20-4a-00-00-01,10.0.0.51\n00-20-4A-00-00-01,10.0.0.52\n",
         "plan.csv:2: MAC 00-20-4a-00-00-01 is already on line 1"},
        {"00-20-4a-00-00-01,10.0.0.51\n# x\n00-20-4a-00-00-02,10.0.0.51\n",
         "plan.csv:3: address 10.0.0.51 is already on line 1"},
        // Control characters are shown, not passed on.
        {"00-20-4a-00-00-01\x1b[2J\n", "plan.csv:1: '00-20-4a-00-00-01\\x1B[2J' is not MAC,IP"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        try {
            EXPECT_EQ(Describe(ParseProvisionPlan(text, "plan.csv")), expected);
        } catch (const EBadFile& error) {
            EXPECT_EQ(std::string(error.what()).rfind(expected, 0), 0u) << error.what();
            EXPECT_NE(expected.rfind("plan.csv", 0), std::string::npos) << "refused: " << error.what();
        }
    }
}
