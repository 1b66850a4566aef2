#include <algorithm>

#include "conversation/DataSender.h"
#include "i18n/Language.h"

namespace qubra {

std::vector<TSearchAnswer> TfDataSender::SearchAll(
    const std::string& Caption, const std::function<void(const TSearchAnswer&)>& OnAnswer)
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
        // The model writes every MAC in one form, so equal addresses give equal texts.
        const std::string mac = record.GetValue("unit_mac").AsText();
        if (std::none_of(answers.begin(), answers.end(),
                         [&](const TSearchAnswer& a) { return a.MAC == mac; })) {
            answers.push_back({mac, packet.IP});
            if (OnAnswer)
                OnAnswer(answers.back());
        }
        DeviceAnswered = true;
        return false;
    }, 0, static_cast<bool>(OnAnswer));
    return answers;
}

} // namespace qubra
