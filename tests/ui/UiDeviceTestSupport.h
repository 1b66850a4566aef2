#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "control/DeviceController.h"
#include "conversation/RecordingView.h"
#include "model/Conversions.h"
#include "model/DeviceMapping.h"
#include "net/ARPManager.h"
#include "net/ARPMemoryBackend.h"
#include "sim/TSimUdpHost.h"
#include "tests/control/ControlTestSupport.h"
#include "tests/conversation/SharedView.h"

namespace qubra::test {

inline constexpr const char* kSimMAC = "00-20-4a-00-00-01";

using controltest::MACOf;

// A simulated device on loopback, an in-memory address table in which loopback is the host's
// own subnet, the built-in mapping, and recording views: Views for the communication windows,
// Boxes for the window's own message boxes.
class UiDeviceTest : public ::testing::Test {
protected:
    TSimUdpHost Host;
    std::unique_ptr<TDataManager> Manager = LoadDeviceMapping("");
    TRecordingView Views;
    TRecordingView Boxes;
    TARPMemoryBackend Network;
    TScopedIPHelper NetworkScope{Network.Loader()};

    void SetUp() override { ARPManager().ClearTables(); }
    void TearDown() override { ARPManager().ClearTables(); }

    TSimDevice& AddDevice(const std::string& IP, const TSimKnobs& Knobs = {})
    {
        return Host.AddDevice(SimTextToMAC(kSimMAC), SimTextToIP(IP), Knobs);
    }
    void StartDevices()
    {
        Network.AddAddress("127.0.0.1", "255.0.0.0", 1);
        Host.Start();
    }
    TDataSenderViewFactory ViewFactory()
    {
        return [this] { return std::make_unique<TSharedView>(Views); };
    }
    void AimAtDevices(TDeviceController& Controller)
    {
        Controller.Link.DevicePort = Host.Port();
        Controller.Link.BroadcastIP = "127.255.255.255";
        Controller.Link.AnswerTimeout = 200;
    }
    std::string LastNotice() const { return Views.Notices.empty() ? "" : Views.Notices.back().Text; }
};

} // namespace qubra::test
