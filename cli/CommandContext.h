#pragma once

#include <functional>
#include <iosfwd>
#include <memory>

#include "cli/Arguments.h"
#include "cli/ConsoleView.h"
#include "control/DeviceController.h"
#include "model/DataManager.h"

namespace qubra {

// What a command of qubra-cli works with: standard output for results, the console for status
// lines and questions, its arguments, the command line's device controller (a command on one
// device finds and reads it through that; its Link is every engine's), and a fresh record
// layout for each device a command sets up side by side.
struct TCommandContext {
    std::ostream& Out;
    TConsole& Console;
    const TArguments& Args;
    TDeviceController& Controller;
    std::function<std::unique_ptr<TDataManager>()> LoadLayout;
};

} // namespace qubra
