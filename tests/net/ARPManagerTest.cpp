#include "net/ARPManager.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "model/Conversions.h"
#include "net/ARPMemoryBackend.h"
#include "tests/net/ARPTestSupport.h"

using namespace qubra;
using test::SystemText;

namespace {

const std::uint8_t kMAC[6] = {0x00, 0x20, 0x4A, 0x12, 0xAB, 0xCD};
const std::uint8_t kOtherMAC[6] = {0x00, 0x20, 0x4A, 0x99, 0x88, 0x77};

// A workstation with 192.168.1.10/24 on interface 2 and 10.0.0.1/8 on interface 3.
class ARPManagerTest : public ::testing::Test {
protected:
    TARPMemoryBackend Host;
    TARPManager Manager;

    void SetUp() override
    {
        Host.AddAddress("192.168.1.10", "255.255.255.0", 2);
        Host.AddAddress("10.0.0.1", "255.0.0.0", 3);
        Scope = std::make_unique<TScopedIPHelper>(Host.Loader());
    }
    void TearDown() override { Scope.reset(); }

    static std::string Message(const std::function<void()>& Action) { return test::ARPMessageOf(Action); }

private:
    std::unique_ptr<TScopedIPHelper> Scope;
};

} // namespace

TEST(EARPException, MessagesCarryOperationSystemTextAndHexCode)
{
    EXPECT_EQ(EARPException(ENODEV, "CreateARPEntry").Message(),
              "CreateARPEntry:\r\n" + SystemText(ENODEV, "00000013"));
    EXPECT_EQ(EARPException(EHOSTUNREACH, "").Message(), SystemText(EHOSTUNREACH, "00000071"));
    EXPECT_EQ(EARPException("Index out of bounds.", "DeleteARPEntry").Message(),
              "DeleteARPEntry:\r\nIndex out of bounds.");
    EXPECT_NE(EARPException(123456, "X").Message().find("(#0001E240)"), std::string::npos);
}

TEST_F(ARPManagerTest, LibraryFailsOnceAndIsNeverLoadedAgain)
{
    Host.LoadError = EACCES;
    TScopedIPHelper failing(Host.Loader());
    EXPECT_EQ(Message([&] { Manager.GetARPTable(); }),
              "iphlpapi.dll:\r\n" + SystemText(EACCES, "0000000D"));
    EXPECT_EQ(Message([&] { Manager.GetIPTable(); }),
              "iphlpapi.dll:\r\n" + SystemText(ELIBACC, "0000004F"));
    Manager.RaiseErrors = false;
    EXPECT_EQ(Manager.GetARPTable(), -1);
    EXPECT_FALSE(Manager.AddARPEntry(StrToIP("192.168.1.5"), kMAC));
    EXPECT_EQ(Manager.GetBestInterface(StrToIP("192.168.1.5")), 0u);
    EXPECT_EQ(Host.Loads, 1);
}

TEST_F(ARPManagerTest, LoaderFailingWithoutErrnoReportsLibraryNotFound)
{
    TScopedIPHelper failing([] {
        errno = 0;
        return std::shared_ptr<const TIPHelperLibrary>();
    });
    EXPECT_EQ(Message([&] { Manager.GetARPTable(); }),
              "iphlpapi.dll:\r\n" + SystemText(ELIBACC, "0000004F"));
}

TEST_F(ARPManagerTest, MissingOperationIsReportedUnderItsOwnName)
{
    auto partial = std::make_shared<TIPHelperLibrary>();
    partial->GetIpNetTable = [](void*, std::uint32_t*, bool) { return ERROR_NO_DATA; };
    TScopedIPHelper scope([partial] { return partial; });
    EXPECT_EQ(Manager.GetARPTable(), 0);
    EXPECT_EQ(Message([&] { Manager.GetBestInterface(1); }),
              "GetBestInterface:\r\n" + SystemText(ENOSYS, "00000026"));
    TPhysAddr mac;
    std::uint32_t length = 6;
    EXPECT_EQ(Message([&] { Manager.SendARP(1, mac, 0, length); }),
              "SendARP:\r\n" + SystemText(ENOSYS, "00000026"));
}

TEST_F(ARPManagerTest, TableReadsEmptySortedAndFailing)
{
    EXPECT_EQ(Manager.GetARPTable(), 0);
    EXPECT_EQ(Manager.ARPCount(), 0);
    EXPECT_EQ(Manager.ARPRow(0), nullptr);

    Host.AddNeighbour("192.168.1.30", "00-00-00-00-00-03", MIB_IPNET_TYPE_DYNAMIC, 2);
    Host.AddNeighbour("192.168.1.4", "00-00-00-00-00-04", MIB_IPNET_TYPE_STATIC, 2);
    Host.AddNeighbour("10.0.0.9", "00-00-00-00-00-09", MIB_IPNET_TYPE_DYNAMIC, 3);
    ASSERT_EQ(Manager.GetARPTable(), 3);
    // By interface, then numerically by address (1.4 before 1.30).
    EXPECT_EQ(IPToStr(Manager.ARPRow(0)->dwAddr), "192.168.1.4");
    EXPECT_EQ(IPToStr(Manager.ARPRow(1)->dwAddr), "192.168.1.30");
    EXPECT_EQ(IPToStr(Manager.ARPRow(2)->dwAddr), "10.0.0.9");
    EXPECT_EQ(Manager.ARPRow(3), nullptr);
    EXPECT_EQ(Manager.ARPRow(-1), nullptr);
    Manager.Sorted = false;
    ASSERT_EQ(Manager.GetARPTable(), 3);
    EXPECT_EQ(IPToStr(Manager.ARPRow(0)->dwAddr), "192.168.1.30");

    Host.Failures["GetIpNetTable"] = EIO;
    EXPECT_EQ(Message([&] { Manager.GetARPTable(); }), "GetARPTable:\r\n" + SystemText(EIO, "00000005"));
    EXPECT_EQ(Manager.ARPCount(), 3) << "a failed read keeps the previous rows";
    Manager.RaiseErrors = false;
    EXPECT_EQ(Manager.GetARPTable(), -1);
    EXPECT_EQ(Manager.ARPCount(), 3);
}

TEST_F(ARPManagerTest, TableReadReportsLastSystemErrorAndNeverReadsPastTheBuffer)
{
    // The second call claims far more rows than the buffer it was given can hold.
    auto library = std::make_shared<TIPHelperLibrary>();
    library->GetIpAddrTable = [](void* Table, std::uint32_t* Size, bool) -> std::uint32_t {
        if (*Size < 4 + 2 * sizeof(MIB_IPADDRROW)) {
            *Size = 4 + 2 * sizeof(MIB_IPADDRROW);
            return ERROR_INSUFFICIENT_BUFFER;
        }
        const std::uint32_t claimed = 1000;
        std::memcpy(Table, &claimed, 4);
        MIB_IPADDRROW rows[2];
        rows[0].dwAddr = StrToIP("10.1.1.1");
        rows[1].dwAddr = StrToIP("10.2.2.2");
        std::memcpy(static_cast<std::uint8_t*>(Table) + 4, rows, sizeof rows);
        return 0;
    };
    library->GetIpNetTable = [](void*, std::uint32_t*, bool) -> std::uint32_t {
        errno = EPERM; // the code in the result is not the one reported
        return 31;
    };
    TScopedIPHelper scope([library] { return library; });
    ASSERT_EQ(Manager.GetIPTable(), 2);
    EXPECT_EQ(IPToStr(Manager.IPRow(1)->dwAddr), "10.2.2.2");
    EXPECT_EQ(Message([&] { Manager.GetARPTable(); }), "GetARPTable:\r\n" + SystemText(EPERM, "00000001"));
}

TEST_F(ARPManagerTest, LookupsFilterByAddressTypeAndSixByteMAC)
{
    Host.AddNeighbour("192.168.1.5", "00-20-4a-99-88-77", MIB_IPNET_TYPE_DYNAMIC, 2);
    Host.AddNeighbour("192.168.1.5", "00-20-4a-12-ab-cd", MIB_IPNET_TYPE_STATIC, 3);
    MIB_IPNETROW shortAddress;
    shortAddress.dwIndex = 3;
    shortAddress.dwPhysAddrLen = 4;
    std::memcpy(shortAddress.bPhysAddr, kMAC, 6);
    shortAddress.dwAddr = StrToIP("192.168.1.6");
    shortAddress.dwType = MIB_IPNET_TYPE_DYNAMIC;
    Host.Neighbours.push_back(shortAddress);
    Manager.GetARPTable();
    const std::uint32_t ip = StrToIP("192.168.1.5");

    EXPECT_EQ(Manager.IndexOfARPEntryByIP(ip), 0);
    EXPECT_EQ(Manager.IndexOfARPEntryByIP(ip, MIB_IPNET_TYPE_STATIC), 1);
    EXPECT_EQ(Manager.IndexOfARPEntryByIP(ip, MIB_IPNET_TYPE_INVALID), -1);
    EXPECT_EQ(Manager.IndexOfARPEntry(ip, kMAC), 1);
    EXPECT_EQ(Manager.IndexOfARPEntry(ip, kMAC, MIB_IPNET_TYPE_DYNAMIC), -1);
    EXPECT_EQ(Manager.IndexOfARPEntry(StrToIP("192.168.1.6"), kMAC), -1) << "length is not 6";
    EXPECT_EQ(Manager.FindARPEntry(ip, kOtherMAC)->dwIndex, 2u);
    EXPECT_EQ(Manager.FindARPEntry(StrToIP("192.168.1.7"), kMAC), nullptr);

    EXPECT_FALSE(Manager.RemoveARPEntry(StrToIP("192.168.1.7"), kMAC));
    EXPECT_EQ(Host.CallCount("DeleteIpNetEntry"), 0);
    EXPECT_TRUE(Manager.RemoveARPEntry(ip, kMAC));
    EXPECT_EQ(Host.Calls.back(), "DeleteIpNetEntry 192.168.1.5");
    EXPECT_EQ(Host.Neighbours.size(), 2u);
    EXPECT_EQ(Manager.ARPCount(), 3) << "rows stay until the table is read again";
}

TEST_F(ARPManagerTest, DeleteAtChecksBounds)
{
    for (const char* ip : {"192.168.1.1", "192.168.1.2", "192.168.1.3"})
        Host.AddNeighbour(ip, "00-20-4a-12-ab-cd", MIB_IPNET_TYPE_DYNAMIC, 2);
    Manager.GetARPTable();
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntryAt(5); }), "DeleteARPEntry:\r\nIndex out of bounds.");
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntryAt(-1); }), "DeleteARPEntry:\r\nIndex out of bounds.");
    EXPECT_TRUE(Manager.DeleteARPEntryAt(2));
    EXPECT_EQ(Host.Calls.back(), "DeleteIpNetEntry 192.168.1.3");
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntryAt(2); }),
              "DeleteARPEntry:\r\n" + SystemText(ENOENT, "00000002"));
    Manager.RaiseErrors = false;
    EXPECT_FALSE(Manager.DeleteARPEntryAt(3));
    EXPECT_FALSE(Manager.DeleteARPEntryAt(2));
}

TEST_F(ARPManagerTest, DeleteByIPRemovesEveryMatchingRow)
{
    Host.AddNeighbour("192.168.1.5", "00-20-4a-12-ab-cd", MIB_IPNET_TYPE_STATIC, 2);
    Host.AddNeighbour("192.168.1.5", "00-20-4a-12-ab-cd", MIB_IPNET_TYPE_DYNAMIC, 3);
    Host.AddNeighbour("192.168.1.6", "00-20-4a-12-ab-cd", MIB_IPNET_TYPE_STATIC, 2);
    Manager.GetARPTable();
    EXPECT_FALSE(Manager.DeleteARPEntriesByIP("192.168.1.7"));
    EXPECT_TRUE(Manager.DeleteARPEntriesByIP("192.168.1.5", MIB_IPNET_TYPE_DYNAMIC));
    EXPECT_EQ(Host.Neighbours.size(), 2u);
    Manager.GetARPTable();
    EXPECT_TRUE(Manager.DeleteARPEntriesByIP(StrToIP("192.168.1.5")));
    ASSERT_EQ(Host.Neighbours.size(), 1u);
    EXPECT_EQ(IPToStr(Host.Neighbours[0].dwAddr), "192.168.1.6");
}

TEST_F(ARPManagerTest, DeleteByMACRefusesZeroShortAndDottedAddresses)
{
    Host.AddNeighbour("192.168.1.5", "00-20-4a-12-ab-cd", MIB_IPNET_TYPE_STATIC, 2);
    Host.AddNeighbour("192.168.1.6", "00-20-4a-12-ab-cd", MIB_IPNET_TYPE_DYNAMIC, 2);
    Host.AddNeighbour("192.168.1.7", "00-20-4a-99-88-77", MIB_IPNET_TYPE_STATIC, 2);
    MIB_IPNETROW incomplete;
    incomplete.dwIndex = 2;
    incomplete.dwAddr = StrToIP("192.168.1.8");
    incomplete.dwType = MIB_IPNET_TYPE_INVALID;
    Host.Neighbours.push_back(incomplete); // no address: all zero bytes
    Manager.GetARPTable();

    EXPECT_FALSE(Manager.DeleteARPEntriesByMAC("00-00-00-00-00-00"));
    EXPECT_FALSE(Manager.DeleteARPEntriesByMAC("00-20-4a-12-ab"));
    EXPECT_FALSE(Manager.DeleteARPEntriesByMAC("00-20-4a-12-ab-cd-ef"));
    EXPECT_THROW(Manager.DeleteARPEntriesByMAC("00.20.4a.12.ab.cd"), EConvertError);
    for (std::size_t bytes = 0; bytes <= 20; ++bytes)
        if (bytes != 6) {
            EXPECT_FALSE(Manager.DeleteARPEntriesByMAC(std::string(bytes * 2, 'a'))) << bytes;
        }
    EXPECT_EQ(Host.CallCount("DeleteIpNetEntry"), 0);

    EXPECT_TRUE(Manager.DeleteARPEntriesByMAC(kMAC, MIB_IPNET_TYPE_STATIC));
    EXPECT_EQ(Host.Calls.back(), "DeleteIpNetEntry 192.168.1.5");
    Manager.GetARPTable();
    EXPECT_TRUE(Manager.DeleteARPEntriesByMAC("00 20 4A 12 AB CD"));
    EXPECT_EQ(Host.Calls.back(), "DeleteIpNetEntry 192.168.1.6");
    EXPECT_EQ(Host.Neighbours.size(), 2u);
}

TEST_F(ARPManagerTest, DeleteByMACReportsFailedDeletionOrFalseWhenSilent)
{
    Host.AddNeighbour("192.168.1.5", "00-20-4a-12-ab-cd", MIB_IPNET_TYPE_STATIC, 2);
    Manager.GetARPTable();
    Host.Failures["DeleteIpNetEntry"] = EPERM;
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntriesByMAC(kMAC); }),
              "DeleteARPEntry:\r\n" + SystemText(EPERM, "00000001"));
    Manager.RaiseErrors = false;
    EXPECT_FALSE(Manager.DeleteARPEntriesByMAC(kMAC));
}

TEST_F(ARPManagerTest, AddChoosesTheInterfaceOfTheBestRouteThenOfTheFirstRow)
{
    ASSERT_TRUE(Manager.AddARPEntry(StrToIP("10.20.30.40"), kMAC));
    ASSERT_EQ(Host.Calls.size(), 2u);
    EXPECT_EQ(Host.Calls[0], "GetBestInterface 10.20.30.40");
    EXPECT_EQ(Host.Calls[1], "CreateIpNetEntry 10.20.30.40");
    const MIB_IPNETROW& row = Host.Neighbours.back();
    EXPECT_EQ(row.dwIndex, 3u);
    EXPECT_EQ(row.dwType, MIB_IPNET_TYPE_STATIC);
    EXPECT_EQ(row.dwPhysAddrLen, 6u);
    EXPECT_EQ(MACToStr(row.bPhysAddr), "00-20-4a-12-ab-cd");
    EXPECT_EQ(row.bPhysAddr[6] | row.bPhysAddr[7], 0);

    // No route to 172.16.0.9: the interface of the first row read, and the failure is ignored.
    Manager.Sorted = false;
    Manager.GetARPTable();
    EXPECT_TRUE(Manager.AddARPEntry(StrToIP("172.16.0.9"), kOtherMAC, MIB_IPNET_TYPE_DYNAMIC));
    EXPECT_EQ(Host.Neighbours.back().dwIndex, 3u);
    EXPECT_EQ(Host.Neighbours.back().dwType, MIB_IPNET_TYPE_DYNAMIC);

    EXPECT_TRUE(Manager.AddARPEntry(StrToIP("172.16.0.10"), kMAC, MIB_IPNET_TYPE_STATIC, 2));
    EXPECT_EQ(Host.Neighbours.back().dwIndex, 2u);
    EXPECT_EQ(Host.CallCount("GetBestInterface"), 2);
}

TEST_F(ARPManagerTest, AddWithoutRouteOrRowsFailsAsCreateARPEntry)
{
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("172.16.0.9"), kMAC); }),
              "CreateARPEntry:\r\n" + SystemText(ENETUNREACH, "00000065"));
    EXPECT_EQ(Host.CallCount("CreateIpNetEntry"), 0);
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("192.168.1.9"), kMAC, 4, 77); }),
              "CreateARPEntry:\r\n" + SystemText(ENODEV, "00000013"));
    Manager.RaiseErrors = false;
    EXPECT_FALSE(Manager.AddARPEntry(StrToIP("172.16.0.9"), kMAC));
    EXPECT_FALSE(Manager.AddARPEntry(StrToIP("192.168.1.9"), kMAC, 4, 77));
    EXPECT_TRUE(Host.Neighbours.empty());
}

TEST_F(ARPManagerTest, FailedChangeWithTheLibrarysOwnTextRaisesThatText)
{
    std::string text = "Changing the ARP table needs the right CAP_NET_ADMIN";
    auto library = std::make_shared<TIPHelperLibrary>(*Host.Loader()());
    library->CreateIpNetEntry = [](const MIB_IPNETROW&) { return std::uint32_t{EACCES}; };
    library->DeleteIpNetEntry = library->CreateIpNetEntry;
    library->LastErrorText = [&] { return text; };
    TScopedIPHelper scope([library] { return library; });

    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("192.168.1.20"), kMAC); }), "CreateARPEntry:\r\n" + text);
    MIB_IPNETROW row;
    row.dwIndex = 2;
    EXPECT_EQ(Message([&] { Manager.DeleteARPEntry(row); }), "DeleteARPEntry:\r\n" + text);
    Manager.RaiseErrors = false;
    EXPECT_FALSE(Manager.AddARPEntry(StrToIP("192.168.1.20"), kMAC));
    Manager.RaiseErrors = true;
    text.clear();
    EXPECT_EQ(Message([&] { Manager.AddARPEntry(StrToIP("192.168.1.20"), kMAC); }),
              "CreateARPEntry:\r\n" + SystemText(EACCES, "0000000D"))
        << "without a text of its own, the system's";
}

TEST_F(ARPManagerTest, SendARPClearsTheAnswerAndWidensOddLengths)
{
    Host.AddStation("192.168.1.20", "00-20-4a-12-ab-cd");
    std::uint32_t seen = 0;
    auto library = std::make_shared<TIPHelperLibrary>(*Host.Loader()());
    library->SendARP = [&, inner = library->SendARP](std::uint32_t d, std::uint32_t s, void* m,
                                                     std::uint32_t* l) {
        seen = *l;
        return inner(d, s, m, l);
    };
    TScopedIPHelper scope([library] { return library; });

    TPhysAddr mac;
    mac.fill(0xEE);
    std::uint32_t length = 3;
    ASSERT_TRUE(Manager.SendARP(StrToIP("192.168.1.20"), mac, 0, length));
    EXPECT_EQ(seen, 8u);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(MACToStr(mac.data()), "00-20-4a-12-ab-cd");
    EXPECT_EQ(mac[6] | mac[7], 0) << "the buffer is cleared before the request";

    mac.fill(0xEE);
    length = 6;
    EXPECT_EQ(Message([&] { Manager.SendARP(StrToIP("192.168.1.21"), mac, 0, length); }),
              "SendARP:\r\n" + SystemText(EHOSTUNREACH, "00000071"));
    EXPECT_EQ(seen, 6u);
    EXPECT_EQ(mac, TPhysAddr{});
    Manager.RaiseErrors = false;
    EXPECT_FALSE(Manager.SendARP(StrToIP("192.168.1.21"), mac, 0, length));
}

TEST_F(ARPManagerTest, ResolveMACDeletesACachedEntryBeforeAsking)
{
    Host.AddStation("192.168.1.20", "00-20-4a-12-ab-cd");
    Host.AddNeighbour("192.168.1.20", "00-20-4a-99-88-77", MIB_IPNET_TYPE_STATIC, 2);
    TPhysAddr mac;
    ASSERT_TRUE(Manager.ResolveMAC(StrToIP("192.168.1.20"), mac));
    EXPECT_EQ(MACToStr(mac.data()), "00-20-4a-12-ab-cd") << "the station, not the static entry";
    EXPECT_EQ(Host.Calls, (std::vector<std::string>{"GetIpNetTable", "GetIpNetTable",
                                                    "DeleteIpNetEntry 192.168.1.20",
                                                    "SendARP 192.168.1.20"}));
    EXPECT_EQ(errno, 0);
}

TEST_F(ARPManagerTest, ResolveMACNeverRaises)
{
    TPhysAddr mac;
    mac.fill(0xEE);
    EXPECT_FALSE(Manager.ResolveMAC(StrToIP("192.168.1.21"), mac));
    EXPECT_EQ(mac, TPhysAddr{});

    // A cached row that cannot be deleted does not stop the request.
    Host.AddStation("192.168.1.20", "00-20-4a-12-ab-cd");
    Host.AddNeighbour("192.168.1.20", "00-20-4a-12-ab-cd", MIB_IPNET_TYPE_DYNAMIC, 2);
    Host.Failures["DeleteIpNetEntry"] = EPERM;
    EXPECT_TRUE(Manager.ResolveMAC(StrToIP("192.168.1.20"), mac));

    // Without a table nothing is asked, whether errors are raised or not.
    Host.Failures["GetIpNetTable"] = EIO;
    for (bool raise : {true, false}) {
        Manager.RaiseErrors = raise;
        Host.Calls.clear();
        EXPECT_FALSE(Manager.ResolveMAC(StrToIP("192.168.1.20"), mac));
        EXPECT_EQ(Host.CallCount("SendARP"), 0);
    }
    Host.LoadError = EACCES;
    TScopedIPHelper unloadable(Host.Loader());
    Manager.RaiseErrors = true;
    EXPECT_FALSE(Manager.ResolveMAC(StrToIP("192.168.1.20"), mac));
}

TEST_F(ARPManagerTest, IsLocalAddressReadsTheAddressTableOnce)
{
    Host.AddAddress("127.0.0.1", "255.0.0.0", 1);
    MIB_IPADDRROW unset;
    unset.dwIndex = 4; // address 0.0.0.0 with mask 0.0.0.0 would match everything
    Host.Addresses.push_back(unset);
    EXPECT_TRUE(Manager.IsLocalAddress("192.168.1.200"));
    EXPECT_TRUE(Manager.IsLocalAddress(StrToIP("10.255.0.1")));
    EXPECT_TRUE(Manager.IsLocalAddress("127.3.2.1"));
    EXPECT_FALSE(Manager.IsLocalAddress("192.168.2.1"));
    EXPECT_FALSE(Manager.IsLocalAddress("not an address"));
    EXPECT_EQ(Host.CallCount("GetIpAddrTable"), 2) << "one read: the size, then the rows";
    EXPECT_EQ(Manager.IPCount(), 4);
}

TEST_F(ARPManagerTest, IsLocalAddressRaisesTheTableReadFailure)
{
    Host.Failures["GetIpAddrTable"] = EIO;
    EXPECT_EQ(Message([&] { Manager.IsLocalAddress("192.168.1.1"); }),
              "GetIPTable:\r\n" + SystemText(EIO, "00000005"));
    Host.Failures.clear();
    Host.Addresses.clear();
    EXPECT_FALSE(Manager.IsLocalAddress("192.168.1.1"));
    Host.AddAddress("192.168.1.10", "255.255.255.0", 2);
    EXPECT_TRUE(Manager.IsLocalAddress("192.168.1.1")) << "an empty table is read again";
}

TEST_F(ARPManagerTest, ScopedBackendClearsTheSharedManagerAndRestores)
{
    ASSERT_TRUE(ARPManager().IsLocalAddress("192.168.1.1"));
    {
        TARPMemoryBackend other;
        other.AddAddress("172.16.5.5", "255.255.0.0", 9);
        TScopedIPHelper scope(other.Loader());
        EXPECT_EQ(ARPManager().IPCount(), 0);
        EXPECT_FALSE(ARPManager().IsLocalAddress("192.168.1.1"));
        EXPECT_TRUE(ARPManager().IsLocalAddress("172.16.200.1"));
    }
    EXPECT_EQ(ARPManager().IPCount(), 0);
    EXPECT_TRUE(ARPManager().IsLocalAddress("192.168.1.1"));
    EXPECT_EQ(Host.Loads, 2);
}

TEST(ARPConversions, HostBitsAndMasksRoundTripForEveryContiguousMask)
{
    for (int bits = 0; bits <= 32; ++bits) {
        const std::uint32_t mask = TARPManager::HostBitsToMask(bits);
        const std::uint64_t ones = 0xFFFFFFFFull << bits & 0xFFFFFFFFull;
        EXPECT_EQ(mask, __builtin_bswap32(static_cast<std::uint32_t>(ones))) << bits;
        if (bits < 32) {
            EXPECT_EQ(TARPManager::MaskToHostBits(mask), bits);
        }
        EXPECT_EQ(TARPManager::HostBitsToMask(TARPManager::MaskToHostBits(mask)),
                  bits == 32 ? 0xFFFFFFFFu : mask);
    }
    EXPECT_EQ(IPToStr(TARPManager::HostBitsToMask(8)), "255.255.255.0");
    EXPECT_EQ(IPToStr(TARPManager::HostBitsToMask(24)), "255.0.0.0");
    EXPECT_EQ(IPToStr(TARPManager::HostBitsToMask(-3)), "255.255.255.255");
    EXPECT_EQ(IPToStr(TARPManager::HostBitsToMask(40)), "0.0.0.0");
    EXPECT_EQ(TARPManager::MaskToHostBits(StrToIP("255.0.255.0")), 8);
    EXPECT_EQ(TARPManager::MaskToHostBits(StrToIP("255.255.252.0")), 10);
    EXPECT_EQ(TARPManager::MaskToHostBits(StrToIP("255.255.255.255")), 0);
}

TEST(ARPConversions, DefaultMaskByFirstOctet)
{
    const std::pair<const char*, const char*> cases[] = {
        {"10.1.2.3", "255.0.0.0"},       {"1.0.0.0", "255.0.0.0"},     {"126.9.9.9", "255.0.0.0"},
        {"127.0.0.1", "0.0.0.0"},        {"128.0.0.1", "255.255.0.0"}, {"172.16.0.1", "255.255.0.0"},
        {"191.1.1.1", "255.255.0.0"},    {"192.168.1.1", "255.255.255.0"},
        {"223.1.1.1", "255.255.255.0"},  {"224.0.0.1", "0.0.0.0"},     {"0.1.2.3", "0.0.0.0"},
        {"255.255.255.255", "0.0.0.0"},  {"no address", "0.0.0.0"}};
    for (const auto& [ip, mask] : cases)
        EXPECT_EQ(TARPManager::DefaultMaskText(ip), mask) << ip;
    EXPECT_EQ(TARPManager::DefaultMask(StrToIP("172.16.0.1")), StrToIP("255.255.0.0"));
}

TEST(ARPConversions, IsIPTextFollowsInetAddr)
{
    for (const char* good : {"255.255.255.255", "10", "10.1", "0x7f.1", "192.168.1.1", "0.0.0.0"})
        EXPECT_TRUE(TARPManager::IsIPText(good)) << good;
    for (const char* bad : {"300.1.1.1", "", "1.2.3.4.5", "abc", "255.255.255.256"})
        EXPECT_FALSE(TARPManager::IsIPText(bad)) << bad;
    EXPECT_FALSE(TARPManager::IsIPText(std::string("1.2.3.4\0junk", 12)));
}

TEST(ARPConversions, MACTextToBytesCountsClearsAndRefusesDots)
{
    std::uint8_t dest[10];
    std::memset(dest, 0x77, sizeof dest);
    EXPECT_FALSE(TARPManager::MACTextToBytes("00-20-4a-12-ab-cd", dest, 0));
    EXPECT_FALSE(TARPManager::MACTextToBytes("00-20-4a-12-ab-cd", dest, -2));
    EXPECT_EQ(dest[0], 0x77) << "a count of 0 or less touches nothing";

    EXPECT_FALSE(TARPManager::MACTextToBytes("aa-bb", dest, 6));
    EXPECT_EQ(BytesToHex(TBytes(dest, dest + 8)), "AABB000000007777");

    EXPECT_FALSE(TARPManager::MACTextToBytes("01 02 03 04 05 06 07", dest, 6));
    EXPECT_EQ(BytesToHex(TBytes(dest, dest + 7)), "01020304050677");

    std::memset(dest, 0x77, sizeof dest);
    EXPECT_TRUE(TARPManager::MACTextToBytes("0102030405060708", dest, 12));
    EXPECT_EQ(BytesToHex(TBytes(dest, dest + 10)), "01020304050607087777") << "count limited to 8";

    EXPECT_TRUE(TARPManager::MACTextToBytes("00-20-4A\r\n12\tab cd", dest, 6));
    EXPECT_EQ(MACToStr(dest), "00-20-4a-12-ab-cd");

    const auto conversionError = [&](const std::string& text) -> std::string {
        try {
            TARPManager::MACTextToBytes(text, dest, 6);
        } catch (const EConvertError& error) {
            return error.what();
        }
        return "(nothing raised)";
    };
    EXPECT_EQ(conversionError("00.20.4a.12.ab.cd"), "'$.2' is not a valid integer value");
    EXPECT_EQ(conversionError("zz.1"), "'$zz' is not a valid integer value") << "the first bad pair";
    EXPECT_EQ(conversionError("00:20:4a:12:ab:cd"), "'$:2' is not a valid integer value");
    EXPECT_TRUE(TARPManager::MACTextToBytes("010203040506.", dest, 6)) << "an odd last character";
}

TEST(ARPConversions, MACTextToValueIsTheSameForEveryFormOfOneAddress)
{
    const std::uint64_t value = TARPManager::MACTextToValue("00-20-4A-12-AB-CD");
    EXPECT_EQ(value, 0xCDAB124A2000ull);
    EXPECT_EQ(TARPManager::MACTextToValue("00204a12abcd"), value);
    EXPECT_EQ(TARPManager::MACTextToValue("00 20 4a 12 ab cd"), value);
    EXPECT_EQ(TARPManager::MACTextToValue("01"), 1u);
    EXPECT_EQ(TARPManager::MACTextToValue("00-20-4A-12-AB-CD-EF-01"), value) << "only 6 bytes count";
    EXPECT_EQ(TARPManager::MACTextToValue(""), 0u);
}

// A window's MAC field and the command line read MACs alike: what the typed-MAC reader takes,
// MACTextToBytes takes with the same bytes; it refuses only what MACTextToBytes refuses, and
// the odd last digit that MACTextToBytes passes over.
TEST(ARPConversions, TypedMACsAreReadAsMACTextToBytesReadsThem)
{
    const std::vector<std::string> texts{
        "00-20-4a-12-ab-cd", "00204A12ABCD",         "00 20-4a\t12\r\nab cd",
        "00.20.4a.12.ab.cd", "00:20:4a:12:ab:cd",    "00-20-4a-12-ab",
        "00-20-4a-12-ab-cd-ef", "00-20-4a-12-ab-cd5", "zz-20-4a-12-ab-cd"};
    for (const std::string& text : texts) {
        TMACAddress dest{};
        bool six = false;
        try {
            six = TARPManager::MACTextToBytes(text, dest.data(), 6);
        } catch (const EConvertError&) {
        }
        const std::optional<TMACAddress> typed = ParseMACText(text);
        const bool oddDigit = text == "00-20-4a-12-ab-cd5";
        EXPECT_EQ(typed.has_value(), six && !oddDigit) << text;
        if (typed) {
            EXPECT_EQ(*typed, dest) << text;
        }
    }
}

TEST(ARPConversions, SameSubnetComparesMaskedAddresses)
{
    const std::uint32_t mask = StrToIP("255.255.255.0");
    EXPECT_TRUE(TARPManager::SameSubnet(StrToIP("192.168.1.1"), StrToIP("192.168.1.254"), mask));
    EXPECT_FALSE(TARPManager::SameSubnet(StrToIP("192.168.1.1"), StrToIP("192.168.2.1"), mask));
    EXPECT_TRUE(TARPManager::SameSubnet(StrToIP("1.2.3.4"), StrToIP("9.9.9.9"), 0));
}

namespace {

bool Mapped(const std::string& Library)
{
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find(Library) != std::string::npos)
            return true;
    return false;
}

} // namespace

// The netlink libraries are loaded with the host's library, on first use, not at program start.
TEST(IPHelperModule, TheHostsLibraryComesWithItsModuleOnFirstUse)
{
    EXPECT_FALSE(Mapped("libnl-route-3")) << "loaded before anything asked for an address";
    const std::shared_ptr<const TIPHelperLibrary> library = LinuxIPHelperLoader()();
    ASSERT_TRUE(library) << std::strerror(errno);
    EXPECT_TRUE(Mapped(kIPHelperModule));
    EXPECT_TRUE(Mapped("libnl-route-3"));
    EXPECT_TRUE(library->GetIpNetTable && library->CreateIpNetEntry && library->DeleteIpNetEntry &&
                library->SendARP && library->GetIpAddrTable && library->GetBestInterface);
    // The host's own addresses: loopback at least.
    std::uint32_t size = 0;
    EXPECT_EQ(library->GetIpAddrTable(nullptr, &size, true), ERROR_INSUFFICIENT_BUFFER);
    std::vector<std::uint8_t> table(size);
    ASSERT_EQ(library->GetIpAddrTable(table.data(), &size, true), 0u);
    std::uint32_t rows = 0;
    std::memcpy(&rows, table.data(), 4);
    EXPECT_GE(rows, 1u);
}
