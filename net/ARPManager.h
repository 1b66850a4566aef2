#pragma once

// Access to the host's ARP table and its own IPv4 addresses: read, find, add and delete ARP
// entries, ask who answers to an address, decide whether an address lies in one of the
// host's subnets, and the netmask conversions.
//
// All host work goes through the operation table of net/IPHelper.h, loaded on first need.
// Tests install the in-memory table of net/ARPMemoryBackend.h with TScopedIPHelper.
//
// Rights on Linux: changing the table needs CAP_NET_ADMIN, which only the service
// qubra-arpd holds; the backend has it make every change. The ARP request needs CAP_NET_RAW
// (without it the kernel is asked to resolve the address instead). Operations run in the
// network namespace of the calling thread.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Conversions.h"
#include "model/Exception.h"
#include "net/IPHelper.h"

namespace qubra {

// Operation names that appear in messages.
inline constexpr const char* kIPHelperLibraryName = "iphlpapi.dll";

// "Operation:\r\n" + text; from a code the text is the system's text for it + "(#XXXXXXXX)".
class EARPException : public Exception {
public:
    EARPException(int Code, const std::string& Operation);
    EARPException(const std::string& Message, const std::string& Operation);
};

// The answer buffer of SendARP and ResolveMAC: a MAC fills the first 6 bytes.
using TPhysAddr = std::array<std::uint8_t, 8>;

// The MAC in an answer buffer.
inline TMACAddress MACOfAnswer(const TPhysAddr& Answer)
{
    TMACAddress mac{};
    std::copy_n(Answer.begin(), mac.size(), mac.begin());
    return mac;
}

class TARPManager {
public:
    // Failures raise EARPException; when false, operations return their failure value.
    bool RaiseErrors = true;
    // Passed to the table reads as the sort flag.
    bool Sorted = true;

    // Number of rows read; -1 after a silent failure (the previous rows then stay).
    int GetARPTable();
    int ARPCount() const { return static_cast<int>(ARPRows.size()); }
    const MIB_IPNETROW* ARPRow(int i) const;

    bool DeleteARPEntry(const MIB_IPNETROW& Row);
    bool CreateARPEntry(const MIB_IPNETROW& Row);
    bool DeleteARPEntryAt(int i);

    // Lookups on the rows of the last GetARPTable, in table order; Type 0 matches any type.
    int IndexOfARPEntryByIP(std::uint32_t IP, std::uint32_t Type = 0) const;
    int IndexOfARPEntry(std::uint32_t IP, const std::uint8_t* MAC, std::uint32_t Type = 0) const;
    const MIB_IPNETROW* FindARPEntry(std::uint32_t IP, const std::uint8_t* MAC,
                                     std::uint32_t Type = 0) const;
    bool RemoveARPEntry(std::uint32_t IP, const std::uint8_t* MAC, std::uint32_t Type = 0);
    // True when at least one row was deleted.
    bool DeleteARPEntriesByIP(std::uint32_t IP, std::uint32_t Type = 0);
    bool DeleteARPEntriesByIP(const std::string& IP, std::uint32_t Type = 0);
    bool DeleteARPEntriesByMAC(const std::uint8_t* MAC, std::uint32_t Type = 0);
    bool DeleteARPEntriesByMAC(const std::string& MAC, std::uint32_t Type = 0);

    // IfIndex -1: the interface of the best route to IP, else that of the first ARP row.
    bool AddARPEntry(std::uint32_t IP, const std::uint8_t* MAC,
                     std::uint32_t Type = MIB_IPNET_TYPE_STATIC, int IfIndex = -1);
    // Interface index; 0 after a silent failure.
    std::uint32_t GetBestInterface(std::uint32_t IP);
    // True when a station answered; MAC then holds its address and Length the address size.
    bool SendARP(std::uint32_t DestIP, TPhysAddr& MAC, std::uint32_t SrcIP, std::uint32_t& Length);
    // Forgets a cached entry for IP, then asks; never raises.
    bool ResolveMAC(std::uint32_t IP, TPhysAddr& MAC);

    int GetIPTable();
    int IPCount() const { return static_cast<int>(IPRows.size()); }
    const MIB_IPADDRROW* IPRow(int i) const;
    // True when IP lies in the subnet of one of the host's addresses; the address table is
    // read once and reused while it has rows.
    bool IsLocalAddress(std::uint32_t IP);
    bool IsLocalAddress(const std::string& IP);

    // Empties both tables, as at creation.
    void ClearTables();

    static bool SameSubnet(std::uint32_t A, std::uint32_t B, std::uint32_t Mask);
    // Hex text to at most 8 bytes (MACSeparators separate, "." does not);
    // clears Count bytes of Dest and is true exactly when the text gave Count bytes.
    static bool MACTextToBytes(const std::string& Text, std::uint8_t* Dest, int Count);
    // The MAC as a number, first byte least significant: equal for equal addresses.
    static std::uint64_t MACTextToValue(const std::string& Text);
    static bool IsIPText(const std::string& Text);
    // Classful mask by the first octet; 0.0.0.0 for 0, 127 and 224-255.
    static std::uint32_t DefaultMask(std::uint32_t IP);
    static std::string DefaultMaskText(const std::string& Text);
    static int MaskToHostBits(std::uint32_t Mask);
    static std::uint32_t HostBitsToMask(int Count);
    static std::string IPToStr(std::uint32_t IP);
    static std::uint32_t StrToIP(const std::string& Text);

private:
    std::vector<MIB_IPNETROW> ARPRows;
    std::vector<MIB_IPADDRROW> IPRows;

    const TIPHelperLibrary* Library();
    // The library's operation, or nullptr (reported) when it is missing.
    template <typename TFunction>
    const TFunction* Function(TFunction TIPHelperLibrary::*Member, const char* Operation);
    void ReportError(int Code, const char* Operation) const;
    template <typename TRow>
    int ReadTable(TTableRead TIPHelperLibrary::*Member, const char* Operation,
                  std::vector<TRow>& Rows);
    // The route lookup without reporting; its code also becomes the last system error.
    std::uint32_t BestInterfaceCode(std::uint32_t IP, std::uint32_t& IfIndex);
    bool ChangeEntry(TEntryChange TIPHelperLibrary::*Member, const MIB_IPNETROW& Row,
                     const char* Operation);
    template <typename TMatch>
    bool DeleteMatchingRows(TMatch Match);
};

// The calling thread's manager, created on its first use there; the library is shared.
TARPManager& ARPManager();

} // namespace qubra
