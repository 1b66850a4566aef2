#pragma once

// A workstation (10.63.0.1/24 on eth0) cabled straight to a LAN namespace, where qubra-sim runs
// devices at Ethernet level: what the command-line lab tests share. Needs QUBRA_SIM_PROGRAM.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "tests/lab/support/LabNetwork.h"

namespace qubra::clitest {

// Starts qubra-sim with Devices (its device options) on Interface of Lan, logging into Log, and
// waits until it listens.
inline void StartRawDevices(lab::TNetNamespace& Lan, const std::string& Interface, const std::string& Devices,
                            const std::string& Log)
{
    Lan.StartBackground(std::string("exec ") + QUBRA_SIM_PROGRAM + " --raw " + Interface + " " + Devices +
                        " > " + Log + " 2>&1");
    std::string text;
    for (int i = 0; i < 300 && text.find("ready raw") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream file(Log);
        text.assign(std::istreambuf_iterator<char>(file), {});
    }
    ASSERT_NE(text.find("ready raw"), std::string::npos) << text;
}

class TWorkstationLan : public ::testing::Test {
protected:
    explicit TWorkstationLan(std::string Prefix) : Prefix(std::move(Prefix)) {}

    std::unique_ptr<lab::TNetNamespace> Workstation;
    std::unique_ptr<lab::TNetNamespace> Lan;

    void SetUp() override
    {
        QUBRA_LAB_REQUIRE_ROOT();
        Workstation = std::make_unique<lab::TNetNamespace>(Prefix);
        Lan = std::make_unique<lab::TNetNamespace>(Prefix);
        lab::ConnectVeth(*Workstation, "eth0", *Lan, "eth0");
        Workstation->AddAddress("eth0", "10.63.0.1/24");
        Lan->LinkUp("eth0");
    }
    void TearDown() override
    {
        if (Lan)
            std::filesystem::remove(DeviceLog());
    }

    // Devices on the LAN's end of the cable.
    void StartDevices(const std::string& Devices) { StartRawDevices(*Lan, "eth0", Devices, DeviceLog()); }
    std::string DeviceLog() const { return "/tmp/qubra-lab-" + Lan->Name() + ".log"; }

private:
    const std::string Prefix;
};

} // namespace qubra::clitest
