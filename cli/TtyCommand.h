#pragma once

#include "cli/CommandContext.h"

namespace qubra {

// qubra-cli tty: a pseudo-terminal bridged to the device's data port until Ctrl-C or SIGTERM.
// Prints the terminal's path on standard output, everything else on standard error.
int RunTty(TCommandContext& Context);

} // namespace qubra
