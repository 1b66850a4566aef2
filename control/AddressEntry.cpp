#include "control/AddressEntry.h"

#include "net/ARPManager.h"

namespace qubra {

bool TAddressEntry::IsValid() const
{
    const std::uint32_t ip = GetIP();
    return !IPText.empty() && ip != 0 && ip != 0xFFFFFFFFu && TARPManager::IsIPText(IPText)
        && (MaskText.empty() || TARPManager::IsIPText(MaskText))
        && (GatewayText.empty() || TARPManager::IsIPText(GatewayText));
}

std::uint32_t TAddressEntry::GetIP() const { return TARPManager::StrToIP(IPText); }

std::uint32_t TAddressEntry::GetMask() const
{
    return MaskText.empty() || AutoMask ? 0 : TARPManager::StrToIP(MaskText);
}

std::uint32_t TAddressEntry::GetGateway() const
{
    return GatewayText.empty() ? 0 : TARPManager::StrToIP(GatewayText);
}

std::string TAddressEntry::StandardMaskText(const std::string& IPText)
{
    return TARPManager::DefaultMaskText(IPText);
}

bool TAddressEntry::AutoMaskFor(const std::string& MaskText)
{
    return TARPManager::StrToIP(MaskText) == 0xFFFFFFFFu;
}

} // namespace qubra
