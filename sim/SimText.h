#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "sim/SimBytes.h"

namespace qubra {

// A MAC address in transmission order.
using TSimMAC = std::array<std::uint8_t, 6>;

// Bad input to the simulated device (an address text, a knob, a socket that cannot be opened).
class ESimError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// IPv4 values are 32 bits in network order (first octet in the lowest byte), as inet_addr gives.
std::uint32_t SimTextToIP(const std::string& text);
std::string SimIPToText(std::uint32_t ip);
// Six hexadecimal pairs separated by "-" or ":"; produced in lower case with "-".
TSimMAC SimTextToMAC(const std::string& text);
std::string SimMACToText(const TSimMAC& mac);
// Upper-case hexadecimal, no separators.
std::string SimHex(const TBytes& bytes);

} // namespace qubra
