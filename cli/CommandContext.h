#pragma once

#include <iosfwd>

#include "cli/Arguments.h"
#include "cli/ConsoleView.h"
#include "control/DeviceController.h"

namespace qubra {

// What a command of qubra-cli works with: its arguments, the device controller (through which
// it finds and reads the device), the console for status lines, standard output for results.
struct TCommandContext {
    const TArguments& Args;
    TDeviceController& Controller;
    TConsole& Console;
    std::ostream& Out;
};

} // namespace qubra
