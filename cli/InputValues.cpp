#include "cli/InputValues.h"

#include <algorithm>
#include <cctype>

#include "model/Exception.h"
#include "model/TextValues.h"
#include "net/ARPManager.h"

namespace qubra {

bool ReadBoolean(const std::string& Text)
{
    const std::string word = LowerCase(Text);
    if (word == "true" || word == "1")
        return true;
    if (word == "false" || word == "0")
        return false;
    throw EConvertError::InvalidBoolean(Text);
}

std::uint32_t ReadAddress(const std::string& Text)
{
    if (const std::optional<std::uint32_t> address = ParseIPText(Text))
        return *address;
    throw Exception("'" + Text + "' is not an IPv4 address (four numbers 0-255 without leading zeros)");
}

TMACAddress ReadMAC(const std::string& Text)
{
    if (const std::optional<TMACAddress> mac = ParseMACText(Text))
        return *mac;
    throw Exception("'" + Text + "' is not a MAC address (six hexadecimal pairs)");
}

std::uint32_t ReadDeviceAddress(const std::string& Text)
{
    const std::uint32_t address = ReadAddress(Text);
    if (address == 0 || address == 0xFFFFFFFFu)
        throw Exception(IPToStr(address) + " is no device's address");
    return address;
}

TMACAddress ReadDeviceMAC(const std::string& Text)
{
    const TMACAddress mac = ReadMAC(Text);
    const bool broadcast = std::all_of(mac.begin(), mac.end(), [](auto b) { return b == 0xFF; });
    if (IsZeroMAC(mac) || broadcast)
        throw Exception(MACToStr(mac) + " is no device's MAC address");
    return mac;
}

// The device keeps the number of zeros; none of them would mean the standard mask.
std::uint32_t ReadNetmask(const std::string& Text)
{
    const std::uint32_t mask = ReadAddress(Text);
    const int hostBits = TARPManager::MaskToHostBits(mask);
    if (hostBits == 0 || TARPManager::HostBitsToMask(hostBits) != mask)
        throw Exception("'" + Text + "' is not a netmask the device can take");
    return mask;
}

TBytes ReadHex(const std::string& Text)
{
    const auto digits = std::count_if(Text.begin(), Text.end(), [](char c) {
        return HexSeparators.find(c) == std::string_view::npos;
    });
    const bool hex = std::all_of(Text.begin(), Text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) ||
               HexSeparators.find(c) != std::string_view::npos;
    });
    if (!hex || digits % 2 != 0)
        throw Exception("'" + Text + "' is not hexadecimal bytes (pairs of digits)");
    return HexToBytes(Text);
}

} // namespace qubra
