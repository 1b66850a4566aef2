#include "net/ARPManager.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "model/Conversions.h"

namespace qubra {

namespace {

// The platform's "module not found": a library that could not be opened.
constexpr int kLibraryNotFound = ELIBACC;

std::string SystemErrorText(int Code)
{
    // The untranslated text, whatever locale the program runs in.
    if (const char* text = strerrordesc_np(Code))
        return text;
    return "Unknown error " + std::to_string(Code);
}

std::string WithOperation(const std::string& Operation, const std::string& Text)
{
    return Operation.empty() ? Text : Operation + ":\r\n" + Text;
}

std::string CodeText(int Code)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(Code));
    return SystemErrorText(Code) + "(#" + hex + ")";
}

enum class TLibraryState { NotLoaded, Loaded, Failed };

struct TLibrarySlot {
    // The engines of a batch load the library from threads of their own.
    std::mutex Lock;
    TIPHelperLoader Loader = LinuxIPHelperLoader();
    TLibraryState State = TLibraryState::NotLoaded;
    std::shared_ptr<const TIPHelperLibrary> Library;
};

TLibrarySlot& Slot()
{
    static TLibrarySlot slot;
    return slot;
}

// IPv4 value (first octet least significant) to and from the number with the first octet
// most significant, in which masks are contiguous runs of bits.
std::uint32_t FirstOctetHigh(std::uint32_t IP)
{
    return (IP & 0xFF) << 24 | (IP & 0xFF00) << 8 | (IP >> 8 & 0xFF00) | IP >> 24;
}

bool TypeMatches(const MIB_IPNETROW& Row, std::uint32_t Type)
{
    return Type == 0 || Row.dwType == Type;
}

} // namespace

EARPException::EARPException(int Code, const std::string& Operation)
    : Exception(WithOperation(Operation, CodeText(Code)))
{
}

EARPException::EARPException(const std::string& Message, const std::string& Operation)
    : Exception(WithOperation(Operation, Message))
{
}

TIPHelperLoader InstallIPHelper(TIPHelperLoader Loader)
{
    TLibrarySlot& slot = Slot();
    std::lock_guard guard(slot.Lock);
    TIPHelperLoader previous = std::move(slot.Loader);
    slot.Loader = std::move(Loader);
    slot.State = TLibraryState::NotLoaded;
    slot.Library.reset();
    return previous;
}

TScopedIPHelper::TScopedIPHelper(TIPHelperLoader Loader) : Previous(InstallIPHelper(std::move(Loader)))
{
    ARPManager().ClearTables();
}

TScopedIPHelper::~TScopedIPHelper()
{
    InstallIPHelper(std::move(Previous));
    ARPManager().ClearTables();
}

TARPManager& ARPManager()
{
    // The manager keeps the rows it read between calls: engines on other threads (a batch of
    // devices side by side) each get their own, sharing only the library.
    thread_local TARPManager manager;
    return manager;
}

void TARPManager::ReportError(int Code, const char* Operation) const
{
    if (!RaiseErrors)
        return;
    if (Code == 0)
        Code = errno;
    if (Code != 0)
        throw EARPException(Code, Operation);
}

const TIPHelperLibrary* TARPManager::Library()
{
    TLibrarySlot& slot = Slot();
    std::lock_guard guard(slot.Lock);
    if (slot.State == TLibraryState::Failed) {
        ReportError(kLibraryNotFound, kIPHelperLibraryName);
        return nullptr;
    }
    if (slot.State == TLibraryState::NotLoaded) {
        errno = 0;
        slot.Library = slot.Loader ? slot.Loader() : nullptr;
        if (!slot.Library) {
            const int code = errno != 0 ? errno : kLibraryNotFound;
            slot.State = TLibraryState::Failed;
            ReportError(code, kIPHelperLibraryName);
            return nullptr;
        }
        slot.State = TLibraryState::Loaded;
    }
    return slot.Library.get();
}

template <typename TFunction>
const TFunction* TARPManager::Function(TFunction TIPHelperLibrary::*Member, const char* Operation)
{
    const TIPHelperLibrary* library = Library();
    if (library == nullptr)
        return nullptr;
    const TFunction& function = library->*Member;
    if (!function) {
        errno = ENOSYS;
        ReportError(0, Operation);
        return nullptr;
    }
    return &function;
}

template <typename TRow>
int TARPManager::ReadTable(TTableRead TIPHelperLibrary::*Member, const char* Operation,
                           std::vector<TRow>& Rows)
{
    const TTableRead* read = Function(Member, Operation);
    if (read == nullptr)
        return -1;
    std::uint32_t probe = 0;
    std::uint32_t size = sizeof probe;
    const std::uint32_t result = (*read)(&probe, &size, Sorted);
    if (result == 0 || result == ERROR_NO_DATA) {
        Rows.clear();
        return 0;
    }
    if (result != ERROR_INSUFFICIENT_BUFFER) {
        ReportError(0, Operation);
        return -1;
    }
    // Whole 32-bit words, so that the rows behind the count are aligned.
    std::vector<std::uint32_t> buffer((size + 3) / 4);
    const std::size_t held = buffer.size() * 4;
    if ((*read)(buffer.data(), &size, Sorted) != 0 || size < 4) {
        ReportError(0, Operation);
        return -1;
    }
    const std::size_t count = std::min<std::size_t>(buffer[0], (held - 4) / sizeof(TRow));
    Rows.resize(count);
    std::memcpy(static_cast<void*>(Rows.data()), buffer.data() + 1, count * sizeof(TRow));
    return static_cast<int>(count);
}

int TARPManager::GetARPTable()
{
    return ReadTable(&TIPHelperLibrary::GetIpNetTable, "GetARPTable", ARPRows);
}

int TARPManager::GetIPTable()
{
    return ReadTable(&TIPHelperLibrary::GetIpAddrTable, "GetIPTable", IPRows);
}

const MIB_IPNETROW* TARPManager::ARPRow(int i) const
{
    return i >= 0 && i < ARPCount() ? &ARPRows[i] : nullptr;
}

const MIB_IPADDRROW* TARPManager::IPRow(int i) const
{
    return i >= 0 && i < IPCount() ? &IPRows[i] : nullptr;
}

void TARPManager::ClearTables()
{
    ARPRows.clear();
    IPRows.clear();
}

bool TARPManager::ChangeEntry(TEntryChange TIPHelperLibrary::*Member, const MIB_IPNETROW& Row,
                              const char* Operation)
{
    const TEntryChange* change = Function(Member, Operation);
    if (change == nullptr)
        return false;
    const std::uint32_t code = (*change)(Row);
    if (code != 0) {
        const TIPHelperLibrary* library = Library();
        if (const std::string text = library->LastErrorText ? library->LastErrorText() : "";
            RaiseErrors && !text.empty())
            throw EARPException(text, Operation);
        ReportError(static_cast<int>(code), Operation);
        return false;
    }
    return true;
}

bool TARPManager::DeleteARPEntry(const MIB_IPNETROW& Row)
{
    return ChangeEntry(&TIPHelperLibrary::DeleteIpNetEntry, Row, "DeleteARPEntry");
}

bool TARPManager::CreateARPEntry(const MIB_IPNETROW& Row)
{
    return ChangeEntry(&TIPHelperLibrary::CreateIpNetEntry, Row, "CreateARPEntry");
}

bool TARPManager::DeleteARPEntryAt(int i)
{
    if (const MIB_IPNETROW* row = ARPRow(i))
        return DeleteARPEntry(*row);
    if (RaiseErrors)
        throw EARPException("Index out of bounds.", "DeleteARPEntry");
    return false;
}

int TARPManager::IndexOfARPEntryByIP(std::uint32_t IP, std::uint32_t Type) const
{
    for (int i = 0; i < ARPCount(); ++i)
        if (ARPRows[i].dwAddr == IP && TypeMatches(ARPRows[i], Type))
            return i;
    return -1;
}

int TARPManager::IndexOfARPEntry(std::uint32_t IP, const std::uint8_t* MAC, std::uint32_t Type) const
{
    for (int i = 0; i < ARPCount(); ++i) {
        const MIB_IPNETROW& row = ARPRows[i];
        if (row.dwAddr == IP && TypeMatches(row, Type) && row.dwPhysAddrLen == 6 &&
            std::memcmp(row.bPhysAddr, MAC, 6) == 0)
            return i;
    }
    return -1;
}

const MIB_IPNETROW* TARPManager::FindARPEntry(std::uint32_t IP, const std::uint8_t* MAC,
                                              std::uint32_t Type) const
{
    return ARPRow(IndexOfARPEntry(IP, MAC, Type));
}

bool TARPManager::RemoveARPEntry(std::uint32_t IP, const std::uint8_t* MAC, std::uint32_t Type)
{
    const MIB_IPNETROW* row = FindARPEntry(IP, MAC, Type);
    return row != nullptr && DeleteARPEntry(*row);
}

template <typename TMatch>
bool TARPManager::DeleteMatchingRows(TMatch Match)
{
    bool deleted = false;
    for (const MIB_IPNETROW& row : ARPRows) // deleting leaves the rows as they are
        if (Match(row) && DeleteARPEntry(row))
            deleted = true;
    return deleted;
}

bool TARPManager::DeleteARPEntriesByIP(std::uint32_t IP, std::uint32_t Type)
{
    return DeleteMatchingRows(
        [&](const MIB_IPNETROW& row) { return row.dwAddr == IP && TypeMatches(row, Type); });
}

bool TARPManager::DeleteARPEntriesByIP(const std::string& IP, std::uint32_t Type)
{
    return DeleteARPEntriesByIP(StrToIP(IP), Type);
}

bool TARPManager::DeleteARPEntriesByMAC(const std::uint8_t* MAC, std::uint32_t Type)
{
    return DeleteARPEntriesByMAC(MACToStr(MAC), Type);
}

bool TARPManager::DeleteARPEntriesByMAC(const std::string& MAC, std::uint32_t Type)
{
    std::uint8_t bytes[6];
    if (!MACTextToBytes(MAC, bytes, 6) || std::all_of(bytes, bytes + 6, [](auto b) { return b == 0; }))
        return false;
    return DeleteMatchingRows([&](const MIB_IPNETROW& row) {
        return std::memcmp(row.bPhysAddr, bytes, 6) == 0 && TypeMatches(row, Type);
    });
}

std::uint32_t TARPManager::BestInterfaceCode(std::uint32_t IP, std::uint32_t& IfIndex)
{
    IfIndex = 0;
    const TIPHelperLibrary* library = Library();
    if (library == nullptr)
        return kLibraryNotFound;
    const std::uint32_t code = library->GetBestInterface ? library->GetBestInterface(IP, &IfIndex)
                                                         : ENOSYS;
    if (code != 0) {
        IfIndex = 0;
        errno = static_cast<int>(code); // what a later "last error" report will show
    }
    return code;
}

std::uint32_t TARPManager::GetBestInterface(std::uint32_t IP)
{
    std::uint32_t index = 0;
    if (const std::uint32_t code = BestInterfaceCode(IP, index); code != 0)
        ReportError(static_cast<int>(code), "GetBestInterface");
    return index;
}

bool TARPManager::AddARPEntry(std::uint32_t IP, const std::uint8_t* MAC, std::uint32_t Type,
                              int IfIndex)
{
    MIB_IPNETROW row;
    row.dwPhysAddrLen = 6;
    std::memcpy(row.bPhysAddr, MAC, 6);
    row.dwAddr = IP;
    row.dwType = Type;
    if (IfIndex == -1) {
        BestInterfaceCode(IP, row.dwIndex);
        if (row.dwIndex == 0 && !ARPRows.empty())
            row.dwIndex = ARPRows.front().dwIndex;
        if (row.dwIndex == 0) {
            ReportError(0, "CreateARPEntry");
            return false;
        }
    } else {
        row.dwIndex = static_cast<std::uint32_t>(IfIndex);
    }
    return CreateARPEntry(row);
}

bool TARPManager::SendARP(std::uint32_t DestIP, TPhysAddr& MAC, std::uint32_t SrcIP,
                          std::uint32_t& Length)
{
    MAC.fill(0);
    if (Length != 6)
        Length = 8;
    const TARPRequest* request = Function(&TIPHelperLibrary::SendARP, "SendARP");
    if (request == nullptr)
        return false;
    const std::uint32_t code = (*request)(DestIP, SrcIP, MAC.data(), &Length);
    if (code != 0) {
        ReportError(static_cast<int>(code), "SendARP");
        return false;
    }
    return true;
}

bool TARPManager::ResolveMAC(std::uint32_t IP, TPhysAddr& MAC)
{
    MAC.fill(0);
    bool answered = false;
    try {
        // Also when errors are silent: without a fresh table a cached entry could answer.
        if (GetARPTable() >= 0) {
            if (const int i = IndexOfARPEntryByIP(IP, 0); i >= 0) {
                try {
                    DeleteARPEntryAt(i);
                } catch (const EARPException&) {
                }
            }
            std::uint32_t length = 6;
            answered = SendARP(IP, MAC, 0, length);
        }
    } catch (...) {
    }
    errno = 0;
    return answered;
}

bool TARPManager::IsLocalAddress(std::uint32_t IP)
{
    if (IPCount() < 1)
        GetIPTable();
    return std::any_of(IPRows.begin(), IPRows.end(), [&](const MIB_IPADDRROW& row) {
        return row.dwAddr != 0 && SameSubnet(IP, row.dwAddr, row.dwMask);
    });
}

bool TARPManager::IsLocalAddress(const std::string& IP)
{
    return IsLocalAddress(StrToIP(IP));
}

bool TARPManager::SameSubnet(std::uint32_t A, std::uint32_t B, std::uint32_t Mask)
{
    return (A & Mask) == (B & Mask);
}

bool TARPManager::MACTextToBytes(const std::string& Text, std::uint8_t* Dest, int Count)
{
    Count = std::min(Count, 8);
    if (Count <= 0)
        return false;
    const TBytes bytes = HexToBytes(Text, MACSeparators);
    std::fill_n(Dest, Count, 0);
    std::copy_n(bytes.begin(), std::min<std::size_t>(Count, bytes.size()), Dest);
    return bytes.size() == static_cast<std::size_t>(Count);
}

std::uint64_t TARPManager::MACTextToValue(const std::string& Text)
{
    std::uint8_t bytes[8] = {};
    MACTextToBytes(Text, bytes, 6);
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

bool TARPManager::IsIPText(const std::string& Text)
{
    return StrToIP(Text) != 0xFFFFFFFFu || Text == "255.255.255.255";
}

std::uint32_t TARPManager::DefaultMask(std::uint32_t IP)
{
    const std::uint32_t first = IP & 0xFF;
    if (first >= 1 && first <= 126)
        return 0x000000FF;
    if (first >= 128 && first <= 191)
        return 0x0000FFFF;
    if (first >= 192 && first <= 223)
        return 0x00FFFFFF;
    return 0;
}

std::string TARPManager::DefaultMaskText(const std::string& Text)
{
    return IPToStr(DefaultMask(StrToIP(Text)));
}

int TARPManager::MaskToHostBits(std::uint32_t Mask)
{
    return Mask == 0 ? 0 : std::countr_zero(FirstOctetHigh(Mask));
}

std::uint32_t TARPManager::HostBitsToMask(int Count)
{
    Count = std::min(Count, 32);
    const std::uint32_t mask = Count <= 0 ? 0xFFFFFFFFu : Count == 32 ? 0u : 0xFFFFFFFFu << Count;
    return FirstOctetHigh(mask); // the byte swap is its own inverse
}

std::string TARPManager::IPToStr(std::uint32_t IP)
{
    return qubra::IPToStr(IP);
}

std::uint32_t TARPManager::StrToIP(const std::string& Text)
{
    return qubra::StrToIP(Text);
}

} // namespace qubra
