#pragma once

#include <cstdint>
#include <string>

namespace qubra {

// What the workstation needs to know of a device's serial data channel: where it is reached
// and how its serial line is set up. Filled in from the setup record by the caller.
struct TChannelSettings {
    std::uint32_t DeviceIP = 0;  // first octet in the low byte
    std::uint16_t DataPort = 10001;
    bool AcceptsIncoming = true;
    bool DatagramMode = false;
    int LineSpeed = 0;  // baud; 0: not known
    int DataBits = 8;
    char Parity = 'N';  // 'N', 'E' or 'O'
    int StopBits = 1;

    // The bytes per second the serial line carries at most: every character takes a start
    // bit, its data bits, a parity bit when there is one, and its stop bits. 0 when the speed
    // is not known.
    double BytesPerSecond() const;
    // "9600 8N1"; "8N1" alone when the speed is not known.
    std::string LineText() const;
    // "127.0.0.5:10001".
    std::string EndpointText() const;
};

} // namespace qubra
