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

    void ApplyTo(TfDataSender& Sender) const
    {
        Sender.DevicePort = DevicePort;
        Sender.BroadcastIP = BroadcastIP;
        Sender.AnswerTimeout = AnswerTimeout;
    }
};

} // namespace qubra
