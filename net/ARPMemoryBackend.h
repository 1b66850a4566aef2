#pragma once

// An in-memory host for tests: an ARP table, an address table, stations that answer ARP
// requests, injectable failures and a log of every call. Install it with
//
//     TARPMemoryBackend host;
//     host.AddAddress("192.168.1.10", "255.255.255.0", 2);
//     host.AddStation("192.168.1.20", "00-20-4a-12-ab-cd");
//     TScopedIPHelper scope(host.Loader());   // ARPManager() now works on `host`
//
// The backend must outlive the scope. Like the host's own library, SendARP answers from a
// cached ARP row for the address first, then from the stations, and no entry is made for one
// of the host's own addresses or on an interface that does no ARP.

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "net/IPHelper.h"

namespace qubra {

class TARPMemoryBackend {
public:
    std::vector<MIB_IPNETROW> Neighbours;
    std::vector<MIB_IPADDRROW> Addresses;
    // Who answers an ARP request for an address.
    std::map<std::uint32_t, std::array<std::uint8_t, 6>> Stations;
    // Interfaces that do no ARP (loopback, point-to-point, ARP switched off).
    std::set<std::uint32_t> NoARPInterfaces;
    // Operation name ("GetIpNetTable", "SendARP", ...) → the code it fails with.
    std::map<std::string, std::uint32_t> Failures;
    // Non-zero: the library cannot be opened, with this errno.
    int LoadError = 0;
    // Every call: the operation name and, where there is one, the address ("SendARP 10.0.0.7").
    std::vector<std::string> Calls;
    int Loads = 0;

    void AddAddress(const std::string& IP, const std::string& Mask, std::uint32_t IfIndex);
    void AddStation(const std::string& IP, const std::string& MAC);
    void AddNeighbour(const std::string& IP, const std::string& MAC, std::uint32_t Type,
                      std::uint32_t IfIndex);
    // How many calls of Operation the log holds.
    int CallCount(const std::string& Operation) const;

    TIPHelperLoader Loader();

private:
    std::uint32_t Fail(const std::string& Operation) const;
    bool HasInterface(std::uint32_t IfIndex) const;
    bool IsOwnAddress(std::uint32_t IP) const;
    std::uint32_t GetIpNetTable(void* Table, std::uint32_t* Size, bool Order);
    std::uint32_t GetIpAddrTable(void* Table, std::uint32_t* Size, bool Order);
    std::uint32_t CreateIpNetEntry(const MIB_IPNETROW& Row);
    std::uint32_t DeleteIpNetEntry(const MIB_IPNETROW& Row);
    std::uint32_t SendARP(std::uint32_t DestIP, void* MAC, std::uint32_t* Length);
    std::uint32_t GetBestInterface(std::uint32_t DestAddr, std::uint32_t* IfIndex);
};

} // namespace qubra
