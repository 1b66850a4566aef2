#pragma once

#include <cstdint>
#include <string>

#include "sim/TSimDevice.h"

namespace qubra {

// One device as given on a command line: "MAC,IP[,KNOB[=VALUE]...]".
struct TSimDeviceSpec {
    TSimMAC MAC{};
    std::uint32_t IP = 0;
    TSimKnobs Knobs;
};

// Sets one knob from "NAME=VALUE" (or "NAME" for a switch): delay=MS, loss=RATE, loss-pattern=N,
// duplicates=N, wrong-code=none|replace|prepend, silent, restart=MS, silent-arp, short=N, and for
// the data channel drop-after=N, refuse, unpaced, corrupt=OFFSET.
// Raises ESimError for an unknown name or a bad value.
void SimApplyKnob(TSimKnobs& knobs, const std::string& setting);

// The device's own knobs start from `defaults`.
TSimDeviceSpec SimParseDevice(const std::string& text, const TSimKnobs& defaults);

} // namespace qubra
