#pragma once

#include <cstdint>
#include <string>

#include "conversation/DataSender.h"

namespace qubra {

// Where the communication windows find the devices and how long they wait for answers.
struct TLinkSettings {
    std::uint16_t DevicePort = TfDataSender::kDefaultDevicePort;
    std::string BroadcastIP = "255.255.255.255";
    std::int32_t AnswerTimeout = TfDataSender::kDefaultAnswerTimeout;
    // The workstation's own address the searches leave from, which picks their interface;
    // empty: any.
    std::string LocalIP;

    void ApplyTo(TfDataSender& Sender) const
    {
        Sender.MySock.SetLocalIP(LocalIP);
        Sender.DevicePort = DevicePort;
        Sender.BroadcastIP = BroadcastIP;
        Sender.AnswerTimeout = AnswerTimeout;
    }
};

} // namespace qubra
