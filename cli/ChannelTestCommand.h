#pragma once

#include "cli/CommandContext.h"

namespace qubra {

// qubra-cli channel-test: the loopback-plug test of the device's serial port through its data
// channel. 0 when every byte came back in order.
int RunChannelTest(TCommandContext& Context);

} // namespace qubra
