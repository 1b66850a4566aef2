#include "net/ARPMemoryBackend.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "model/Conversions.h"

namespace qubra {

namespace {

std::uint32_t Failed(std::uint32_t Code)
{
    errno = static_cast<int>(Code);
    return Code;
}

} // namespace

void TARPMemoryBackend::AddAddress(const std::string& IP, const std::string& Mask,
                                   std::uint32_t IfIndex)
{
    MIB_IPADDRROW row;
    row.dwAddr = StrToIP(IP);
    row.dwMask = StrToIP(Mask);
    row.dwIndex = IfIndex;
    Addresses.push_back(row);
}

void TARPMemoryBackend::AddStation(const std::string& IP, const std::string& MAC)
{
    std::array<std::uint8_t, 6> bytes{};
    StrToMAC(MAC, bytes.data());
    Stations[StrToIP(IP)] = bytes;
}

void TARPMemoryBackend::AddNeighbour(const std::string& IP, const std::string& MAC,
                                     std::uint32_t Type, std::uint32_t IfIndex)
{
    MIB_IPNETROW row;
    row.dwIndex = IfIndex;
    row.dwPhysAddrLen = 6;
    StrToMAC(MAC, row.bPhysAddr);
    row.dwAddr = StrToIP(IP);
    row.dwType = Type;
    Neighbours.push_back(row);
}

int TARPMemoryBackend::CallCount(const std::string& Operation) const
{
    return static_cast<int>(std::count_if(Calls.begin(), Calls.end(), [&](const std::string& call) {
        return call == Operation || call.rfind(Operation + " ", 0) == 0;
    }));
}

std::uint32_t TARPMemoryBackend::Fail(const std::string& Operation) const
{
    const auto failure = Failures.find(Operation);
    return failure == Failures.end() ? 0 : Failed(failure->second);
}

bool TARPMemoryBackend::HasInterface(std::uint32_t IfIndex) const
{
    return std::any_of(Addresses.begin(), Addresses.end(),
                       [&](const MIB_IPADDRROW& row) { return row.dwIndex == IfIndex; });
}

bool TARPMemoryBackend::IsOwnAddress(std::uint32_t IP) const
{
    return std::any_of(Addresses.begin(), Addresses.end(),
                       [&](const MIB_IPADDRROW& row) { return row.dwAddr == IP; });
}

std::uint32_t TARPMemoryBackend::GetIpNetTable(void* Table, std::uint32_t* Size, bool Order)
{
    Calls.push_back("GetIpNetTable");
    if (const std::uint32_t code = Fail("GetIpNetTable"))
        return code;
    return FillIPHelperTable(Neighbours, Table, Size, Order);
}

std::uint32_t TARPMemoryBackend::GetIpAddrTable(void* Table, std::uint32_t* Size, bool Order)
{
    Calls.push_back("GetIpAddrTable");
    if (const std::uint32_t code = Fail("GetIpAddrTable"))
        return code;
    return FillIPHelperTable(Addresses, Table, Size, Order);
}

std::uint32_t TARPMemoryBackend::CreateIpNetEntry(const MIB_IPNETROW& Row)
{
    Calls.push_back("CreateIpNetEntry " + IPToStr(Row.dwAddr));
    if (const std::uint32_t code = Fail("CreateIpNetEntry"))
        return code;
    if (!HasInterface(Row.dwIndex))
        return Failed(ENODEV);
    if (IsOwnAddress(Row.dwAddr))
        return Failed(EADDRINUSE);
    if (NoARPInterfaces.count(Row.dwIndex) != 0)
        return Failed(EOPNOTSUPP);
    auto same = std::find_if(Neighbours.begin(), Neighbours.end(), [&](const MIB_IPNETROW& row) {
        return row.dwIndex == Row.dwIndex && row.dwAddr == Row.dwAddr;
    });
    if (same != Neighbours.end())
        *same = Row;
    else
        Neighbours.push_back(Row);
    return 0;
}

std::uint32_t TARPMemoryBackend::DeleteIpNetEntry(const MIB_IPNETROW& Row)
{
    Calls.push_back("DeleteIpNetEntry " + IPToStr(Row.dwAddr));
    if (const std::uint32_t code = Fail("DeleteIpNetEntry"))
        return code;
    auto same = std::find_if(Neighbours.begin(), Neighbours.end(), [&](const MIB_IPNETROW& row) {
        return row.dwIndex == Row.dwIndex && row.dwAddr == Row.dwAddr;
    });
    if (same == Neighbours.end())
        return Failed(ENOENT);
    Neighbours.erase(same);
    return 0;
}

std::uint32_t TARPMemoryBackend::SendARP(std::uint32_t DestIP, void* MAC, std::uint32_t* Length)
{
    Calls.push_back("SendARP " + IPToStr(DestIP));
    if (const std::uint32_t code = Fail("SendARP"))
        return code;
    if (*Length < 6)
        return Failed(EINVAL);
    auto cached = std::find_if(Neighbours.begin(), Neighbours.end(), [&](const MIB_IPNETROW& row) {
        return row.dwAddr == DestIP && row.dwType != MIB_IPNET_TYPE_INVALID;
    });
    if (cached != Neighbours.end())
        std::memcpy(MAC, cached->bPhysAddr, 6);
    else if (auto station = Stations.find(DestIP); station != Stations.end())
        std::memcpy(MAC, station->second.data(), 6);
    else
        return Failed(EHOSTUNREACH);
    *Length = 6;
    return 0;
}

std::uint32_t TARPMemoryBackend::GetBestInterface(std::uint32_t DestAddr, std::uint32_t* IfIndex)
{
    Calls.push_back("GetBestInterface " + IPToStr(DestAddr));
    if (const std::uint32_t code = Fail("GetBestInterface"))
        return code;
    for (const MIB_IPADDRROW& row : Addresses)
        if ((row.dwAddr & row.dwMask) == (DestAddr & row.dwMask)) {
            *IfIndex = row.dwIndex;
            return 0;
        }
    return Failed(ENETUNREACH);
}

TIPHelperLoader TARPMemoryBackend::Loader()
{
    return [this]() -> std::shared_ptr<const TIPHelperLibrary> {
        ++Loads;
        if (LoadError != 0) {
            errno = LoadError;
            return nullptr;
        }
        auto library = std::make_shared<TIPHelperLibrary>();
        library->GetIpNetTable = [this](void* t, std::uint32_t* s, bool o) { return GetIpNetTable(t, s, o); };
        library->CreateIpNetEntry = [this](const MIB_IPNETROW& r) { return CreateIpNetEntry(r); };
        library->DeleteIpNetEntry = [this](const MIB_IPNETROW& r) { return DeleteIpNetEntry(r); };
        library->SendARP = [this](std::uint32_t d, std::uint32_t, void* m, std::uint32_t* l) {
            return SendARP(d, m, l);
        };
        library->GetIpAddrTable = [this](void* t, std::uint32_t* s, bool o) { return GetIpAddrTable(t, s, o); };
        library->GetBestInterface = [this](std::uint32_t d, std::uint32_t* i) { return GetBestInterface(d, i); };
        return library;
    };
}

} // namespace qubra
