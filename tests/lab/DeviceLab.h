#pragma once

// A small LAN for the conversation engine, made of network namespaces:
//
//   workstation (lan0 10.88.0.1/24, default route on lan0)
//        | veth
//   LAN: bridge br0 -- veth -- dev0: the simulated devices (packet socket, their own MACs)
//        | veth (optional)
//   other stations (a kernel of their own answering ARP)
//
// The engine and the host's real ARP backend run on the test's thread inside the workstation.
// Everything is removed at the end of the test, also when it fails or the run is interrupted.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "conversation/DataSender.h"
#include "conversation/RecordingView.h"
#include "model/DataManager.h"
#include "net/IPHelper.h"
#include "sim/TSimRawHost.h"
#include "tests/lab/InterruptCleanup.h"
#include "tests/lab/support/LabNetwork.h"

namespace qubra::lab {

using TLabClock = std::chrono::steady_clock;

inline long long MillisecondsSince(TLabClock::time_point Start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(TLabClock::now() - Start).count();
}

struct TLabDevice {
    std::string MAC;   // as the engine writes it: "00-20-4a-88-00-50"
    std::string IP;
    TSimKnobs Knobs = {};
};

class DeviceLab : public ::testing::Test {
private:
    // Cables Ns's Device into the bridge.
    void CableToBridge(const TNetNamespace& Ns, const std::string& Device);
    TNetNamespace& NewNamespace();

    struct TLabNamespace {
        std::unique_ptr<TNetNamespace> Ns;
        std::unique_ptr<TRemoveOnInterrupt> Cleanup;
    };
    // Declared first, so they go last: after the engine, the backend and the devices.
    std::vector<TLabNamespace> Namespaces;
    TNetNamespace* Lan = nullptr;
    TNetNamespace* Station = nullptr;
    int BridgePorts = 0;
    std::unique_ptr<TSimRawHost> Host;
    std::unique_ptr<TEnterNamespace> Inside;
    std::unique_ptr<TScopedIPHelper> Backend;

protected:
    static constexpr const char* kStationIP = "10.88.0.1";
    static constexpr const char* kInterface = "lan0";

    void SetUp() override;

    // Another station on the LAN with Cidr on its interface; its MAC as the engine writes it.
    // Call before Start.
    std::string AddStation(const std::string& Cidr);
    // Starts the devices on the LAN side, then moves this thread into the workstation with the
    // real ARP backend and creates the engine with the built-in mapping.
    void Start(const std::vector<TLabDevice>& Devices);
    TSimDevice& Device(std::size_t Index) const { return Host->Device(Index); }

    // "ip -4 neigh show [IP] dev lan0" in the workstation.
    std::string Neighbours(const std::string& IP = "") const;
    // The workstation's neighbour table as sorted lines "address lladdr MAC [PERMANENT]":
    // without the states that the kernel changes by itself as time passes.
    std::vector<std::string> NeighbourTable() const;
    // "ip -4 neigh show" in the workstation: every interface, lo included.
    std::string NeighboursEverywhere() const;
    // Puts a permanent entry into the workstation's table.
    void AddStaticNeighbour(const std::string& IP, std::string MAC,
                            const std::string& Device = kInterface) const;

    TRecordingView View;
    std::unique_ptr<TDataManager> Manager;
    // Goes first, while the devices and the namespaces still exist.
    std::unique_ptr<TfDataSender> Sender;
};

} // namespace qubra::lab
