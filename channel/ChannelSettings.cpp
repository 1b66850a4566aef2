#include "channel/ChannelSettings.h"

#include <arpa/inet.h>

namespace qubra {

double TChannelSettings::BytesPerSecond() const
{
    const int bits = 1 + DataBits + (Parity == 'N' ? 0 : 1) + StopBits;
    return LineSpeed > 0 ? static_cast<double>(LineSpeed) / bits : 0.0;
}

std::string TChannelSettings::LineText() const
{
    const std::string format = std::to_string(DataBits) + Parity + std::to_string(StopBits);
    return LineSpeed > 0 ? std::to_string(LineSpeed) + " " + format : format;
}

std::string TChannelSettings::EndpointText() const
{
    in_addr address{};
    address.s_addr = DeviceIP;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return std::string(text) + ":" + std::to_string(DataPort);
}

} // namespace qubra
