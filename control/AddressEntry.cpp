#include "control/AddressEntry.h"

#include "model/Conversions.h"
#include "net/ARPManager.h"

namespace qubra {

namespace {

constexpr std::uint32_t kNoAddress = 0xFFFFFFFFu;

bool IsAddressText(const std::string& Text) { return ReadTypedIP(Text).has_value(); }

std::uint32_t AddressValue(const std::string& Text) { return ReadTypedIP(Text).value_or(kNoAddress); }

} // namespace

std::optional<std::uint32_t> ReadTypedIP(const std::string& Text)
{
    return ParseIPText(Text, TIPForms::Short);
}

const TDataItem* DeviceAddressField(const TDataManager& DataManager)
{
    return DataManager.FindItem("SetupRecord0.unit_ip");
}

bool TakesDeviceAddress(const TDataItem& Field, std::uint32_t IP)
{
    return IsDeviceAddress(IP) || Field.GetValue() == TItemValue(IPToStr(IP));
}

bool TAddressEntry::IsValid() const
{
    const std::uint32_t ip = GetIP();
    return !IPText.empty() && ip != 0 && ip != kNoAddress && IsAddressText(IPText)
        && (MaskText.empty() || IsAddressText(MaskText))
        && (GatewayText.empty() || IsAddressText(GatewayText));
}

std::uint32_t TAddressEntry::GetIP() const { return AddressValue(IPText); }

std::uint32_t TAddressEntry::GetMask() const
{
    return MaskText.empty() || AutoMask ? 0 : AddressValue(MaskText);
}

std::uint32_t TAddressEntry::GetGateway() const
{
    return GatewayText.empty() ? 0 : AddressValue(GatewayText);
}

std::string TAddressEntry::StandardMaskText(const std::string& IPText)
{
    const std::optional<std::uint32_t> ip = ReadTypedIP(IPText);
    return IPToStr(ip ? TARPManager::DefaultMask(*ip) : 0);
}

bool TAddressEntry::AutoMaskFor(const std::string& MaskText)
{
    return AddressValue(MaskText) == kNoAddress;
}

} // namespace qubra
