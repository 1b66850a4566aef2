#include <algorithm>

#include "conversation/DataSender.h"
#include "i18n/Language.h"
#include "net/ARPManager.h"

namespace qubra {

std::vector<TSearchAnswer> TfDataSender::SearchAll(const std::string& Caption)
{
    SetSearchMode();
    std::vector<TSearchAnswer> answers;
    DeviceAnswered = false;
    TargetIP.clear();
    BindForBroadcast();
    MySock.SetBroadCastAccept(true);

    ShowSearchStatus(!Caption.empty() ? Caption : GetText(msgVyhledavamZariz) + BroadcastIP + "...");
    RunBroadcastSearch([&](TDataPacket& record, const TMyPacket& packet) {
        // A short datagram would leave the MAC of an earlier answer in the record.
        if (packet.Data.size() < static_cast<std::size_t>(record.Size()))
            return false;
        record.SetData(packet.Data);
        if (record.GetKind() != hkAnswer)
            return false;
        const std::string mac = record.GetValue("unit_mac").AsText();
        const std::uint64_t value = TARPManager::MACTextToValue(mac);
        if (std::none_of(answers.begin(), answers.end(), [&](const TSearchAnswer& a) {
                return TARPManager::MACTextToValue(a.MAC) == value;
            }))
            answers.push_back({mac, packet.IP});
        DeviceAnswered = true;
        return false;
    });
    return answers;
}

} // namespace qubra
