#pragma once

#include <optional>

#include "channel/ChannelSettings.h"
#include "cli/CommandContext.h"
#include "model/DataManager.h"

namespace qubra {

// The data channel's settings as the setup record holds them, looked up by field name:
// unit_port, connection_acceptance, the datagram mode (Directed_UDP 12 or disconnect_config
// 1, as the settings page reads it), line_speed and the line format by their entries' names.
TChannelSettings ChannelSettingsOf(const TDataManager& DataManager, std::uint32_t DeviceIP);

// Finds and reads the command's device and gives its data channel (--data-port taking the
// place of unit_port); none when the device was not found or not read. A device that takes
// no TCP connection raises the text that names the setting to change.
std::optional<TChannelSettings> ReadChannel(TCommandContext& Context);

} // namespace qubra
