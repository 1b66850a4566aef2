#pragma once

// The six host operations that address resolution is built on, in the calling form of the
// IP helper interface: rows of fixed layout, status codes as results, 0 for success.
// A backend fills a TIPHelperLibrary; TARPManager never talks to the host any other way.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qubra {

// Row types of the ARP table.
constexpr std::uint32_t MIB_IPNET_TYPE_OTHER = 1;
constexpr std::uint32_t MIB_IPNET_TYPE_INVALID = 2;
constexpr std::uint32_t MIB_IPNET_TYPE_DYNAMIC = 3;
constexpr std::uint32_t MIB_IPNET_TYPE_STATIC = 4;

// Result codes of the table reads besides 0 and the platform's own error codes.
constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t ERROR_NO_DATA = 232;

// One ARP table row (24 bytes). Addresses are IPv4 values with the first octet in the least
// significant byte; a MAC fills the first 6 bytes of bPhysAddr.
struct MIB_IPNETROW {
    std::uint32_t dwIndex = 0;
    std::uint32_t dwPhysAddrLen = 0;
    std::uint8_t bPhysAddr[8] = {};
    std::uint32_t dwAddr = 0;
    std::uint32_t dwType = 0;
};
static_assert(sizeof(MIB_IPNETROW) == 24);

// One row of the host's own address table (24 bytes).
struct MIB_IPADDRROW {
    std::uint32_t dwAddr = 0;
    std::uint32_t dwIndex = 0;
    std::uint32_t dwMask = 0;
    std::uint32_t dwBCastAddr = 0;
    std::uint32_t dwReasmSize = 0;
    std::uint16_t unused1 = 0;
    std::uint16_t wType = 0;
};
static_assert(sizeof(MIB_IPADDRROW) == 24);

// The operation table. An empty member is an operation the library does not offer.
// Table reads fill Table with a 32-bit row count followed by the rows; when *Size is too small
// they return ERROR_INSUFFICIENT_BUFFER and set *Size, an empty table gives ERROR_NO_DATA.
// Every failing operation also leaves its code in errno, the thread's last system error.
using TTableRead = std::function<std::uint32_t(void* Table, std::uint32_t* Size, bool Order)>;
using TEntryChange = std::function<std::uint32_t(const MIB_IPNETROW& Row)>;
// MAC points to *Length bytes (at most 8); on success they hold the answer, *Length its size.
using TARPRequest = std::function<std::uint32_t(std::uint32_t DestIP, std::uint32_t SrcIP,
                                                void* MAC, std::uint32_t* Length)>;
using TRouteLookup = std::function<std::uint32_t(std::uint32_t DestAddr, std::uint32_t* IfIndex)>;

struct TIPHelperLibrary {
    TTableRead GetIpNetTable;
    TEntryChange CreateIpNetEntry;
    TEntryChange DeleteIpNetEntry;
    TARPRequest SendARP;
    TTableRead GetIpAddrTable;
    TRouteLookup GetBestInterface;
    // The library's own text for the calling thread's last failed change, when the system's text
    // for its code would not say what is wrong (a missing right, say); empty otherwise.
    std::function<std::string()> LastErrorText;
};

// Table order: by interface, then by address as dotted text would sort numerically.
inline std::uint64_t TableOrderKey(const MIB_IPNETROW& Row)
{
    return std::uint64_t{Row.dwIndex} << 32 | __builtin_bswap32(Row.dwAddr);
}
inline std::uint64_t TableOrderKey(const MIB_IPADDRROW& Row)
{
    return __builtin_bswap32(Row.dwAddr);
}

// Writes Rows (sorted when Order is set) into a table buffer in the form the table reads use.
// When the buffer is too small it asks for room to spare, so rows added before the next call
// still fit.
template <typename TRow>
std::uint32_t FillIPHelperTable(std::vector<TRow> Rows, void* Table, std::uint32_t* Size, bool Order)
{
    if (Rows.empty())
        return ERROR_NO_DATA;
    const std::size_t needed = 4 + Rows.size() * sizeof(TRow);
    if (Table == nullptr || *Size < needed) {
        *Size = static_cast<std::uint32_t>(needed + 16 * sizeof(TRow));
        return ERROR_INSUFFICIENT_BUFFER;
    }
    if (Order)
        std::stable_sort(Rows.begin(), Rows.end(), [](const TRow& a, const TRow& b) {
            return TableOrderKey(a) < TableOrderKey(b);
        });
    const auto count = static_cast<std::uint32_t>(Rows.size());
    std::memcpy(Table, &count, 4);
    std::memcpy(static_cast<std::uint8_t*>(Table) + 4, Rows.data(), Rows.size() * sizeof(TRow));
    return 0;
}

// Opens a library; nullptr with errno set when it cannot be opened.
using TIPHelperLoader = std::function<std::shared_ptr<const TIPHelperLibrary>()>;

// The host's library: rtnetlink for the tables and routes, an ARP request for SendARP. It lives
// in a module of its own (with libnl-route-3), loaded on first use: most commands never resolve
// an address, and loading the netlink libraries would slow down every program start.
TIPHelperLoader LinuxIPHelperLoader();

// The module's file and its entry, which fills Library; 0, or the errno of the failure.
constexpr const char* kIPHelperModule = "qubra-iphelper.so";
constexpr const char* kIPHelperEntry = "QubraOpenIPHelper";
using TIPHelperEntry = int (*)(TIPHelperLibrary* Library);

// Replaces the process-wide loader and forgets the loaded (or failed) library, so the next
// operation loads through the new one. Returns the loader it replaced.
TIPHelperLoader InstallIPHelper(TIPHelperLoader Loader);

// Installs a loader for its lifetime (clearing the tables of ARPManager() on the way in and
// out, so no rows leak between tests) and puts the previous loader back afterwards.
class TScopedIPHelper {
public:
    explicit TScopedIPHelper(TIPHelperLoader Loader);
    ~TScopedIPHelper();
    TScopedIPHelper(const TScopedIPHelper&) = delete;
    TScopedIPHelper& operator=(const TScopedIPHelper&) = delete;

private:
    TIPHelperLoader Previous;
};

} // namespace qubra
