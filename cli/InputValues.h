#pragma once

#include <cstdint>
#include <string>

#include "model/Bytes.h"
#include "model/Conversions.h"

namespace qubra {

// The strict readers of values typed on the command line, one for each kind of value. Each
// takes the whole text or nothing: it raises Exception naming the text. Numbers are read by
// the model's StrToInt64 (decimal, an optional sign), texts by Utf8ToCp1250.

// true, false (any letter case), 1 or 0 ("'%s' is not a valid boolean value").
bool ReadBoolean(const std::string& Text);
// As ParseIPText takes it.
std::uint32_t ReadAddress(const std::string& Text);
// As ParseMACText takes it.
TMACAddress ReadMAC(const std::string& Text);
// An address a device can have: not 0.0.0.0, not 255.255.255.255.
std::uint32_t ReadDeviceAddress(const std::string& Text);
// A MAC a device can have: not all zero, not the broadcast MAC.
TMACAddress ReadDeviceMAC(const std::string& Text);
// A netmask the device can keep: a run of ones, then at least one zero.
std::uint32_t ReadNetmask(const std::string& Text);
// Pairs of hexadecimal digits; the separators of HexToBytes may stand between them.
TBytes ReadHex(const std::string& Text);

} // namespace qubra
