#include "tests/lab/DeviceLab.h"

#include <algorithm>
#include <sstream>

#include "model/DeviceMapping.h"

namespace qubra::lab {

namespace {

// "aa:bb:cc:dd:ee:ff" as the engine writes a MAC.
std::string EngineMAC(std::string Text)
{
    std::replace(Text.begin(), Text.end(), ':', '-');
    return Text;
}

} // namespace

TNetNamespace& DeviceLab::NewNamespace()
{
    auto ns = std::make_unique<TNetNamespace>("qdev");
    auto cleanup = std::make_unique<TRemoveOnInterrupt>(ns->Name());
    Namespaces.push_back({std::move(ns), std::move(cleanup)});
    return *Namespaces.back().Ns;
}

void DeviceLab::CableToBridge(const TNetNamespace& Ns, const std::string& Device)
{
    const std::string port = "p" + std::to_string(BridgePorts++);
    ConnectVeth(Ns, Device, *Lan, port);
    AttachToBridge(*Lan, port, "br0");
}

void DeviceLab::SetUp()
{
    QUBRA_LAB_REQUIRE_ROOT();
    Lan = &NewNamespace();
    AddBridge(*Lan, "br0");
    Station = &NewNamespace();
    CableToBridge(*Station, kInterface);
    Station->AddAddress(kInterface, std::string(kStationIP) + "/24");
    // The limited broadcast and addresses of foreign subnets leave through the LAN.
    Station->ExecOrThrow(std::string("ip route add default dev ") + kInterface);
    // The devices' cable ends inside the LAN namespace, with no address of its own.
    CableToBridge(*Lan, "dev0");
}

std::string DeviceLab::AddStation(const std::string& Cidr)
{
    TNetNamespace& other = NewNamespace();
    CableToBridge(other, "eth0");
    other.AddAddress("eth0", Cidr);
    return EngineMAC(other.MACOf("eth0"));
}

void DeviceLab::Start(const std::vector<TLabDevice>& Devices)
{
    {
        TEnterNamespace inside(*Lan);
        Host = std::make_unique<TSimRawHost>("dev0");
        for (const TLabDevice& device : Devices)
            Host->AddDevice(SimTextToMAC(device.MAC), SimTextToIP(device.IP), device.Knobs);
        Host->Start();
    }
    Inside = std::make_unique<TEnterNamespace>(*Station);
    Backend = std::make_unique<TScopedIPHelper>(LinuxIPHelperLoader());
    Manager = LoadDeviceMapping("");
    Sender = std::make_unique<TfDataSender>(View, Manager.get());
}

std::string DeviceLab::Neighbours(const std::string& IP) const
{
    return Station->ExecOrThrow("ip -4 neigh show " + IP + " dev " + kInterface);
}

std::vector<std::string> DeviceLab::NeighbourTable() const
{
    std::vector<std::string> rows;
    std::istringstream lines(Neighbours());
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string address, word, row;
        words >> address;
        row = address;
        while (words >> word) {
            if (word == "lladdr" && words >> word)
                row += " lladdr " + word;
            else if (word == "PERMANENT")
                row += " PERMANENT";
        }
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string DeviceLab::NeighboursEverywhere() const
{
    return Station->ExecOrThrow("ip -4 neigh show");
}

void DeviceLab::AddStaticNeighbour(const std::string& IP, std::string MAC,
                                   const std::string& Device) const
{
    std::replace(MAC.begin(), MAC.end(), '-', ':');
    Station->ExecOrThrow("ip neigh replace " + IP + " lladdr " + MAC + " dev " + Device +
                         " nud permanent");
}

} // namespace qubra::lab
