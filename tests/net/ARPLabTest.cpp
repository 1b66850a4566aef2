// The host backend against real neighbour tables, routes and ARP, inside two network
// namespaces joined by a veth cable. Nothing leaves the namespaces.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <linux/capability.h>
#include <linux/if_ether.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "model/Conversions.h"
#include "net/ARPManager.h"
#include "tests/net/ARPTestSupport.h"
#include "tests/lab/support/LabNetwork.h"

using namespace qubra;
using namespace qubra::lab;

namespace {

const std::uint8_t kMAC[6] = {0x02, 0x20, 0x4A, 0x12, 0xAB, 0xCD};

// Drops a capability from the calling thread's effective set (the other threads keep it).
bool DropEffectiveCapability(int Capability)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[Capability / 32].effective &= ~(1u << (Capability % 32));
    return syscall(SYS_capset, &header, data) == 0;
}

// The workstation (10.81.0.1/24 on lan0) with this thread inside it, and a peer at 10.81.0.2.
class ARPLab : public ::testing::Test {
protected:
    std::unique_ptr<TNetNamespace> Station, Peer;
    std::unique_ptr<TEnterNamespace> Inside;
    std::unique_ptr<TScopedIPHelper> Backend;
    TARPManager Manager;
    std::uint32_t Lan = 0;

    void SetUp() override
    {
        QUBRA_LAB_REQUIRE_ROOT();
        Station = std::make_unique<TNetNamespace>("qarp");
        Peer = std::make_unique<TNetNamespace>("qarp");
        ConnectVeth(*Station, "lan0", *Peer, "lan0");
        Station->AddAddress("lan0", "10.81.0.1/24");
        Peer->AddAddress("lan0", "10.81.0.2/24");
        Inside = std::make_unique<TEnterNamespace>(*Station);
        Backend = std::make_unique<TScopedIPHelper>(LinuxIPHelperLoader());
        Lan = if_nametoindex("lan0");
        ASSERT_NE(Lan, 0u);
    }
    void TearDown() override
    {
        Backend.reset();
        Inside.reset();
    }

    std::string Neighbours() const { return Station->ExecOrThrow("ip -4 neigh show dev lan0"); }

    static std::string Message(const std::function<void()>& Action) { return test::ARPMessageOf(Action); }
};

} // namespace

TEST_F(ARPLab, StaticEntryIsAddedFoundAsStaticAndRemoved)
{
    const std::uint32_t ip = StrToIP("10.81.0.50");
    ASSERT_TRUE(Manager.AddARPEntry(ip, kMAC)); // interface of the best route
    EXPECT_NE(Neighbours().find("10.81.0.50 lladdr 02:20:4a:12:ab:cd PERMANENT"), std::string::npos)
        << Neighbours();
    ASSERT_GE(Manager.GetARPTable(), 1);
    const MIB_IPNETROW* row = Manager.FindARPEntry(ip, kMAC, MIB_IPNET_TYPE_STATIC);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->dwIndex, Lan);
    EXPECT_EQ(row->dwPhysAddrLen, 6u);

    EXPECT_TRUE(Manager.RemoveARPEntry(ip, kMAC, MIB_IPNET_TYPE_STATIC));
    EXPECT_EQ(Neighbours().find("10.81.0.50"), std::string::npos);
    Manager.GetARPTable();
    EXPECT_EQ(Manager.IndexOfARPEntryByIP(ip), -1);
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntry(*row); }).rfind("DeleteARPEntry:\r\n", 0), 0u);
}

TEST_F(ARPLab, NeighbourStatesMapOntoRowTypes)
{
    Station->ExecOrThrow("ip neigh add 10.81.0.60 lladdr 02:00:00:00:00:60 dev lan0 nud stale;"
                         "ip neigh add 10.81.0.61 lladdr 02:00:00:00:00:61 dev lan0 nud reachable;"
                         "ip neigh add 10.81.0.62 lladdr 02:00:00:00:00:62 dev lan0 nud permanent;"
                         "ip neigh add 10.81.0.63 lladdr 02:00:00:00:00:63 dev lan0 nud noarp");
    ASSERT_GE(Manager.GetARPTable(), 4);
    const std::pair<const char*, std::uint32_t> expected[] = {
        {"10.81.0.60", MIB_IPNET_TYPE_DYNAMIC}, {"10.81.0.61", MIB_IPNET_TYPE_DYNAMIC},
        {"10.81.0.62", MIB_IPNET_TYPE_STATIC},  {"10.81.0.63", MIB_IPNET_TYPE_OTHER}};
    for (const auto& [ip, type] : expected) {
        const int i = Manager.IndexOfARPEntryByIP(StrToIP(ip));
        ASSERT_GE(i, 0) << ip;
        EXPECT_EQ(Manager.ARPRow(i)->dwType, type) << ip;
    }
    // Neither a static entry nor a station's entry that the tool did not make is its to remove.
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntriesByMAC("02-00-00-00-00-62"); }),
              "DeleteARPEntry:\r\n10.81.0.62 has a static entry that the tool did not make; it is left alone");
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntriesByIP("10.81.0.60"); }),
              "DeleteARPEntry:\r\n10.81.0.60 is answered by the station 02:00:00:00:00:60; its address is not the "
              "tool's to take");
    const std::string left = Neighbours();
    for (const char* ip : {"10.81.0.60", "10.81.0.62"})
        EXPECT_NE(left.find(ip), std::string::npos) << left;
}

TEST_F(ARPLab, SendARPGetsThePeersAddressAndResolveMACBypassesAWrongEntry)
{
    const std::string peerMAC = Peer->MACOf("lan0");
    TPhysAddr mac;
    std::uint32_t length = 6;
    ASSERT_TRUE(Manager.SendARP(StrToIP("10.81.0.2"), mac, 0, length));
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(MACToStr(mac.data()), [&] {
        std::string text = peerMAC;
        std::replace(text.begin(), text.end(), ':', '-');
        return text;
    }());

    // The tool takes no address a station answers for; an administrator's wrong entry stays, and
    // the answer is the MAC that datagrams to the address go to: that entry's.
    EXPECT_NE(Message([&] { Manager.AddARPEntry(StrToIP("10.81.0.2"), kMAC); }).find("10.81.0.2 is answered by the station"),
              std::string::npos);
    Station->ExecOrThrow("ip neigh replace 10.81.0.2 lladdr 02:20:4a:12:ab:cd dev lan0 nud permanent");
    TPhysAddr resolved;
    ASSERT_TRUE(Manager.ResolveMAC(StrToIP("10.81.0.2"), resolved));
    EXPECT_TRUE(std::equal(kMAC, kMAC + 6, resolved.begin())) << MACToStr(resolved.data());
    EXPECT_NE(Neighbours().find("02:20:4a:12:ab:cd PERMANENT"), std::string::npos) << Neighbours();
}

TEST_F(ARPLab, NobodyAnswersWithinAboutASecond)
{
    TPhysAddr mac;
    std::uint32_t length = 6;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Message([&] { Manager.SendARP(StrToIP("10.81.0.77"), mac, 0, length); }),
              "SendARP:\r\n" + test::SystemText(EHOSTUNREACH, "00000071"));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_LT(took, std::chrono::milliseconds(2500));
    EXPECT_FALSE(Manager.ResolveMAC(StrToIP("10.81.0.77"), mac));
    EXPECT_EQ(mac, TPhysAddr{});
}

TEST_F(ARPLab, WithoutRawSocketRightTheKernelResolves)
{
    Station->ExecOrThrow("ip route add default via 10.81.0.2");
    bool dropped = false, refused = false, answered = false, behindGateway = true;
    std::chrono::steady_clock::duration gatewayTook{};
    TPhysAddr mac;
    std::thread([&] { // starts inside the station's namespace; only this thread loses the right
        dropped = DropEffectiveCapability(CAP_NET_RAW);
        const int probe = socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_ARP));
        refused = probe < 0 && errno == EPERM;
        if (probe >= 0)
            close(probe);
        TARPManager manager;
        manager.RaiseErrors = false;
        std::uint32_t length = 6;
        answered = manager.SendARP(StrToIP("10.81.0.2"), mac, 0, length);
        TPhysAddr other;
        const auto start = std::chrono::steady_clock::now();
        behindGateway = manager.SendARP(StrToIP("172.30.0.1"), other, 0, length);
        gatewayTook = std::chrono::steady_clock::now() - start;
    }).join();
    ASSERT_TRUE(dropped);
    ASSERT_TRUE(refused) << "the request must go the kernel's way";
    EXPECT_TRUE(answered);
    EXPECT_FALSE(behindGateway) << "the kernel would only resolve the gateway";
    EXPECT_LT(gatewayTook, std::chrono::milliseconds(500));
    EXPECT_EQ(MACToStr(mac.data()), [&] {
        std::string text = Peer->MACOf("lan0");
        std::replace(text.begin(), text.end(), ':', '-');
        return text;
    }());
}

TEST_F(ARPLab, BestInterfaceFollowsTheRoutes)
{
    EXPECT_EQ(Manager.GetBestInterface(StrToIP("10.81.0.2")), Lan);
    EXPECT_EQ(Message([&] { Manager.GetBestInterface(StrToIP("172.30.0.1")); }),
              "GetBestInterface:\r\n" + test::SystemText(ENETUNREACH, "00000065"));
    // No route and no rows read: nowhere to put the entry.
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("172.30.0.1"), kMAC); }),
              "CreateARPEntry:\r\n" + test::SystemText(ENETUNREACH, "00000065"));
    Station->ExecOrThrow("ip route add default via 10.81.0.2");
    EXPECT_EQ(Manager.GetBestInterface(StrToIP("172.30.0.1")), Lan);
    EXPECT_TRUE(Manager.AddARPEntry(StrToIP("172.30.0.1"), kMAC));
    EXPECT_NE(Neighbours().find("172.30.0.1 lladdr 02:20:4a:12:ab:cd PERMANENT"), std::string::npos);
}

TEST_F(ARPLab, LocalAddressesAreTheNamespacesSubnets)
{
    EXPECT_TRUE(Manager.IsLocalAddress("10.81.0.200"));
    EXPECT_TRUE(Manager.IsLocalAddress("127.0.0.9"));
    EXPECT_FALSE(Manager.IsLocalAddress("10.81.1.1"));
    EXPECT_FALSE(Manager.IsLocalAddress("192.168.1.1"));
    bool found = false;
    for (int i = 0; i < Manager.IPCount(); ++i)
        if (Manager.IPRow(i)->dwAddr == StrToIP("10.81.0.1")) {
            found = true;
            EXPECT_EQ(Manager.IPRow(i)->dwMask, StrToIP("255.255.255.0"));
            EXPECT_EQ(Manager.IPRow(i)->dwIndex, Lan);
        }
    EXPECT_TRUE(found);
}

TEST_F(ARPLab, NoEntryForTheHostsOwnAddressesNorOnLinksWithoutARP)
{
    const auto own = [](const char* IP) { return "CreateARPEntry:\r\n" + std::string(IP) + " is an address of this host"; };
    const auto noARP = [](int IfIndex) {
        return "CreateARPEntry:\r\ninterface " + std::to_string(IfIndex) + " does not use ARP";
    };
    const int lan = static_cast<int>(Lan);
    const int loopback = static_cast<int>(if_nametoindex("lo"));
    // The route to its own address leads to lo, where the kernel would file the entry under
    // 0.0.0.0, out of reach of a removal by address.
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("10.81.0.1"), kMAC); }), own("10.81.0.1"));
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("10.81.0.1"), kMAC, 4, lan); }), own("10.81.0.1"));
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("127.0.0.5"), kMAC); }), own("127.0.0.5"));
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("10.81.0.255"), kMAC, 4, lan); }),
              "CreateARPEntry:\r\n10.81.0.255 is the broadcast address of the interface's subnet");
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("10.81.0.50"), kMAC, 4, loopback); }), noARP(loopback));

    // A point-to-point link, even with ARP switched on, and a LAN with ARP switched off.
    Station->ExecOrThrow("ip tuntap add dev tun0 mode tun && ip link set tun0 arp on up && "
                         "ip addr add 10.82.0.1/24 dev tun0");
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("10.82.0.7"), kMAC); }), noARP(static_cast<int>(if_nametoindex("tun0"))));
    Station->ExecOrThrow("ip link set lan0 arp off");
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("10.81.0.50"), kMAC); }), noARP(lan));
    Station->ExecOrThrow("ip link set lan0 arp on");
    EXPECT_EQ(Station->ExecOrThrow("ip neigh show").find("02:20:4a:12:ab:cd"), std::string::npos)
        << Station->ExecOrThrow("ip neigh show");

    // An entry the kernel filed under 0.0.0.0 is a row like any other, and like any static entry
    // that the tool did not make it is left alone.
    Station->ExecOrThrow("ip neigh add 10.81.0.1 lladdr 02:20:4a:12:ab:cd dev lo nud permanent");
    Manager.GetARPTable();
    ASSERT_GE(Manager.IndexOfARPEntry(0, kMAC, MIB_IPNET_TYPE_STATIC), 0) << Station->ExecOrThrow("ip neigh show");
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntriesByMAC(kMAC); }),
              "DeleteARPEntry:\r\n0.0.0.0 has a static entry that the tool did not make; it is left alone");
    EXPECT_NE(Station->ExecOrThrow("ip neigh show").find("02:20:4a:12:ab:cd"), std::string::npos);
    Station->ExecOrThrow("ip neigh flush dev lo");
    EXPECT_TRUE(Manager.AddARPEntry(StrToIP("10.81.0.50"), kMAC)) << "a station on the LAN still gets one";
}

TEST_F(ARPLab, BadInputGivesClearErrorsNeverACrash)
{
    const std::string invalid = test::SystemText(EINVAL, "00000016");
    const std::uint8_t zero[6] = {};
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("10.81.0.70"), zero); }),
              "CreateARPEntry:\r\n" + invalid);
    for (const char* ip : {"0.0.0.0", "255.255.255.255", "224.0.0.1"})
        EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP(ip), kMAC, 4, static_cast<int>(Lan)); }),
                  "CreateARPEntry:\r\n" + invalid)
            << ip;
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("10.81.0.70"), kMAC, 4, 9999); }),
              "CreateARPEntry:\r\n" + test::SystemText(ENODEV, "00000013"));
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("10.81.0.70"), kMAC, 4, -7); }),
              "CreateARPEntry:\r\n" + test::SystemText(ENODEV, "00000013"));

    TPhysAddr mac;
    std::uint32_t length = 6;
    for (const char* ip : {"0.0.0.0", "255.255.255.255"})
        EXPECT_EQ(Message([&] { Manager.SendARP(StrToIP(ip), mac, 0, length); }), "SendARP:\r\n" + invalid);
    EXPECT_EQ(Message([&] { Manager.SendARP(StrToIP("10.81.0.1"), mac, 0, length); }),
              "SendARP:\r\n" + test::SystemText(EHOSTUNREACH, "00000071"))
        << "its own address: no other station to ask";

    MIB_IPNETROW absent;
    absent.dwIndex = Lan;
    absent.dwAddr = StrToIP("10.81.0.71");
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntry(absent); }),
              "DeleteARPEntry:\r\n" + test::SystemText(ENOENT, "00000002"));

    Manager.GetARPTable();
    for (std::size_t bytes = 0; bytes <= 20; ++bytes)
        EXPECT_FALSE(Manager.DeleteARPEntriesByMAC(std::string(bytes * 2, '0'))) << bytes;
    Manager.RaiseErrors = false;
    EXPECT_FALSE(Manager.AddARPEntry(StrToIP("10.81.0.70"), zero));
    EXPECT_FALSE(Manager.SendARP(0xFFFFFFFFu, mac, 0, length));
}
