#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/DataManager.h"

namespace qubra {

// An address typed into one of the windows' address entries: the short forms the C library
// reads (10 is 0.0.0.10), no part with a leading zero. Every entry of the windows reads
// addresses through this.
std::optional<std::uint32_t> ReadTypedIP(const std::string& Text);

// The device's own address, the setup record's unit_ip; none when the mapping lacks it.
const TDataItem* DeviceAddressField(const TDataManager& DataManager);
// Whether the device's address field may be given IP: an address that names a device
// (IsDeviceAddress), or the address the field holds now. The command line's --set, the
// settings page and setup files all ask this.
bool TakesDeviceAddress(const TDataItem& Field, std::uint32_t IP);

// The rules of an address entry: an IP address, a netmask and a gateway typed as texts, with a
// standard mask that follows the address while the automatic mask is on. The desktop frame and
// the command line share them.
struct TAddressEntry {
    std::string IPText;
    std::string MaskText;
    std::string GatewayText;
    bool AutoMask = false;

    // The address is given, reads as ReadTypedIP reads it and is neither 0.0.0.0 nor
    // 255.255.255.255; mask and gateway are empty or read as addresses. The mask is not checked for
    // contiguous bits, and it is checked whether or not the automatic mask is on.
    bool IsValid() const;
    // 0xFFFFFFFF for a text that is no address.
    std::uint32_t GetIP() const;
    // 0 while the automatic mask is on or the mask is empty.
    std::uint32_t GetMask() const;
    // 0 when the gateway is empty.
    std::uint32_t GetGateway() const;

    // The standard mask of the address's class (0.0.0.0 for no address and for 0, 127, 224-255).
    static std::string StandardMaskText(const std::string& IPText);
    // Whether a mask handed in asks for the automatic mask: 255.255.255.255 (a device that
    // reports no host bits) and a text that is no address.
    static bool AutoMaskFor(const std::string& MaskText);
};

} // namespace qubra
