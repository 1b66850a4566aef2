#include "cli/ChannelFields.h"

#include "i18n/ChannelMessages.h"
#include "i18n/Language.h"
#include "model/TextValues.h"

namespace qubra {

namespace {

constexpr std::int64_t kNeverAcceptIncoming = 0;
constexpr std::int64_t kDirectedUDP = 12;
constexpr std::int64_t kDatagramDisconnect = 1;

// The name of the field's entry for its present value; empty when it has none.
std::string EntryName(const TDataManager& DataManager, const std::string& Field)
{
    const TDataItem* item = DataManager.FindItem(Field);
    if (!item)
        return {};
    const TItemValue value = item->GetValue();
    for (int i = 0; i < item->EnumItemCount(); ++i)
        if (value.IsInteger() && item->GetEnumItem(i)->Value == value.Integer())
            return item->GetEnumItem(i)->Name;
    return {};
}

// The number an entry's name starts with ("9600", "7 bit", "2 Stop bit"), or Otherwise.
int LeadingNumber(const std::string& Name, int Otherwise)
{
    std::size_t digits = 0;
    while (digits < Name.size() && Name[digits] >= '0' && Name[digits] <= '9')
        ++digits;
    const std::optional<std::int64_t> number = TryStrToInt64(Name.substr(0, digits));
    return number ? static_cast<int>(*number) : Otherwise;
}

bool Equals(const TDataManager& DataManager, const std::string& Field, std::int64_t Value)
{
    const TItemValue value = DataManager.GetValue(Field);
    return value.IsInteger() && value.Integer() == Value;
}

} // namespace

TChannelSettings ChannelSettingsOf(const TDataManager& DataManager, std::uint32_t DeviceIP)
{
    TChannelSettings channel;
    channel.DeviceIP = DeviceIP;
    channel.DataPort = static_cast<std::uint16_t>(DataManager.GetValue("unit_port").Integer());
    channel.AcceptsIncoming = DataManager.GetValue("connection_acceptance").Integer() != kNeverAcceptIncoming;
    channel.DatagramMode = Equals(DataManager, "Directed_UDP", kDirectedUDP) ||
                           Equals(DataManager, "disconnect_config", kDatagramDisconnect);
    channel.LineSpeed = LeadingNumber(EntryName(DataManager, "line_speed"), 0);
    channel.DataBits = LeadingNumber(EntryName(DataManager, "line_interface_mode_bits"), 8);
    channel.StopBits = LeadingNumber(EntryName(DataManager, "line_interface_mode_stopbits"), 1);
    const std::string parity = EntryName(DataManager, "line_interface_mode_parity");
    channel.Parity = parity.starts_with("Even") ? 'E' : parity.starts_with("Odd") ? 'O' : 'N';
    return channel;
}

std::optional<TChannelSettings> ReadChannel(TCommandContext& Context)
{
    const TTarget& target = Context.Args.Targets.front();
    TDeviceController& device = Context.Controller;
    if (!device.FindAndReadDevice(target.IP, nullptr, target.MAC))
        return std::nullopt;
    TChannelSettings channel = ChannelSettingsOf(device.DataManager, device.DeviceIP);
    if (Context.Args.DataPort != 0)
        channel.DataPort = Context.Args.DataPort;
    if (channel.DatagramMode)
        throw Exception(GetText(msgZarizeniJeVUDP));
    if (!channel.AcceptsIncoming)
        throw Exception(GetText(msgZarizeniNeprijima));
    return channel;
}

} // namespace qubra
