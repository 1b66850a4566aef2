#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "conversation/BuiltInRecords.h"
#include "conversation/DataSender.h"
#include "conversation/ScopeGuards.h"
#include "conversation/WaitCycles.h"
#include "i18n/Language.h"
#include "model/Conversions.h"
#include "net/ARPManager.h"

namespace qubra {

namespace {

// The MAC of a text read as MACTextToValue reads it: a wrong count of bytes is not checked.
TMACAddress MACOfText(const std::string& Text)
{
    TMACAddress mac{};
    TARPManager::MACTextToBytes(Text, mac.data(), static_cast<int>(mac.size()));
    return mac;
}

// Takes the temporary entry out again and reads the table once more: the host may have filed
// the entry elsewhere than asked, so a static row of the MAC that is still there is reported,
// wherever it is, rather than left behind unnoticed.
void RemoveTemporaryEntry(TARPManager& ARP, std::uint32_t IP, const TMACAddress& MAC)
{
    ARP.GetARPTable();
    ARP.RemoveARPEntry(IP, MAC.data(), 0);
    ARP.GetARPTable();
    for (int i = 0; i < ARP.ARPCount(); ++i) {
        const MIB_IPNETROW& row = *ARP.ARPRow(i);
        if (row.dwType == MIB_IPNET_TYPE_STATIC && row.dwPhysAddrLen == 6 &&
            std::equal(MAC.begin(), MAC.end(), row.bPhysAddr))
            throw EARPException("The temporary entry for " + MACToStr(MAC) +
                                    " is still in the ARP table (" + IPToStr(row.dwAddr) +
                                    " on interface " + std::to_string(row.dwIndex) + ").",
                                "DeleteARPEntry");
    }
}

// Why no temporary entry is made for Address, which Station answers for.
std::string EntryRefusal(const std::string& Address, const TMACAddress& Station)
{
    return GetText(msgIPAdresa0) + Address + GetText(msgJizJePrirazen0) + MACToStr(Station) +
           ").\r\n" + GetText(msgDocasnyZaznamA);
}

// Devices that share an address answer one broadcast within moments of each other: the cycle
// after the wanted answer still collects theirs.
constexpr int kSharedAddressCycles = 1;

} // namespace

void TfDataSender::ConnectForSearch()
{
    if (MySock.Connected() && (MySock.RemoteIP() != TargetIP ||
                               MySock.RemotePort() != DevicePort || MySock.Bound()))
        MySock.Close();
    MySock.SetRemoteIP(TargetIP);
    MySock.SetRemotePort(DevicePort);
    MySock.Connect(false);
}

void TfDataSender::BindForBroadcast()
{
    if (MySock.IsOpen())
        MySock.Close();
    MySock.SetRemoteIP(BroadcastIP);
    MySock.SetRemotePort(DevicePort);
    MySock.Bind();
}

void TfDataSender::ShowSearchStatus(const std::string& Status)
{
    FView.SetStatus(Status);
    FView.SetAnimation(true);
}

template <typename TWork>
auto TfDataSender::KeepAliveDuring(TWork&& Work) -> decltype(Work())
{
    // The future's destructor waits for Work, also when a stop leaves this call early.
    auto done = std::async(std::launch::async, std::forward<TWork>(Work));
    while (done.wait_for(std::chrono::milliseconds(TDataSenderView::kKeepAliveMs / 2)) !=
           std::future_status::ready)
        FView.KeepAlive();
    KeepAlive();
    return done.get();
}

std::string TfDataSender::SearchByIP(const std::string& IPText, const std::string& Caption,
                                     bool KeepConnection)
{
    SetSearchMode();
    std::string result;
    bool found = false;
    DeviceAnswered = false;
    if (!IPText.empty())
        TargetIP = IPText;
    if (!KeepConnection)
        ConnectForSearch();

    ShowSearchStatus(!Caption.empty() ? Caption
                                      : GetText(msgVyhledavamZariz) + IPToStr(StrToIP(IPText)) + "...");
    RunWithFinally(
        [&] {
            Pump();
            TNamedRecord record(DataManager, kSearchingRecordName, BuildSearchingRecord);
            MySock.Send(record->GetQueryRequest());
            AwaitAnswers(
                kSearchCycleMs, CycleCount(AnswerTimeout, kSearchCycleMs, 1),
                [&](const TMyPacket& packet) {
                    if (packet.IP != TargetIP)
                        return false;
                    record->SetData(packet.Data);
                    if (record->GetKind() != hkAnswer)
                        return false;
                    result = record->GetValue("unit_mac").AsText();
                    DeviceAnswered = found = true;
                    return true;
                },
                [&] { return found; });
        },
        [&] { FView.SetAnimation(false); });
    return result;
}

std::string SharedAddressText(const std::string& IPText, const TMACAddress& MAC,
                              const std::vector<TMACAddress>& Others)
{
    std::string others;
    for (const TMACAddress& other : Others)
        others += (others.empty() ? "" : ", ") + MACToStr(other);
    return GetText(msgAdresu) + IPText + GetText(msgPouzivaKromeZ) + MACToStr(MAC) +
           GetText(msgTakeZarizeni) + others + ".\r\n" + GetText(msgZpravyUrceneTo);
}

std::string TfDataSender::SearchByMAC(const std::string& MACText, const std::string& Caption,
                                      bool KeepConnection)
{
    SetSearchMode();
    std::string result;
    DeviceAnswered = false;
    SharedAddressMACs.clear();
    const TMACAddress wanted = MACOfText(MACText);
    TargetIP.clear();
    if (!KeepConnection) {
        BindForBroadcast();
        MySock.SetBroadCastAccept(true);
    }

    ShowSearchStatus(!Caption.empty()
                         ? Caption
                         : GetText(msgVyhledavamZariz) + MACToStr(wanted) + "...");
    std::vector<TSearchAnswer> others;
    RunBroadcastSearch(
        [&](TDataPacket& record, const TMyPacket& packet) {
            const bool whole = packet.Data.size() >= static_cast<std::size_t>(record.Size());
            // Shorter data leaves the record's further bytes as the last datagram left them.
            record.SetData(packet.Data);
            if (record.GetKind() != hkAnswer)
                return false;
            const TMACAddress mac = MACOfText(record.GetValue("unit_mac").AsText());
            if (mac != wanted) {
                // Only a whole answer names another device for certain.
                if (whole)
                    others.push_back({MACToStr(mac), packet.IP});
                return false;
            }
            if (result.empty())
                result = packet.IP;
            DeviceAnswered = true;
            return true;
        },
        kSharedAddressCycles);
    for (const TSearchAnswer& other : others)
        if (other.IP == result && !result.empty()) {
            const TMACAddress mac = MACOfText(other.MAC);
            if (std::find(SharedAddressMACs.begin(), SharedAddressMACs.end(), mac) ==
                SharedAddressMACs.end())
                SharedAddressMACs.push_back(mac);
        }
    return result;
}

void TfDataSender::RunBroadcastSearch(const std::function<bool(TDataPacket&, const TMyPacket&)>& Answer,
                                      int ExtraCycles, bool Streaming)
{
    RunWithFinally(
        [&] {
            Pump();
            TNamedRecord record(DataManager, kSearchingRecordName, BuildSearchingRecord);
            MySock.SendTo(record->GetQueryRequest(), MySock.RemoteIP(), MySock.RemotePort());
            bool found = false;
            int extra = ExtraCycles;
            AwaitAnswers(
                kSearchCycleMs, CycleCount(AnswerTimeout, kSearchCycleMs, 1),
                [&](const TMyPacket& packet) {
                    const bool match = Answer(*record, packet);
                    found = found || match;
                    return match;
                },
                [&] { return found && extra-- <= 0; }, false, Streaming);
        },
        [&] {
            MySock.SetBroadCastAccept(false);
            FView.SetAnimation(false);
        });
}

std::string TfDataSender::WaitForDevice(const std::string& MACText, const std::string& Caption)
{
    std::string result;
    const std::string caption = Caption.empty() ? GetText(msgCekamNaZarizen) : Caption;
    TTemporaryValue<std::int32_t> timeout(AnswerTimeout, kReturnAnswerTimeout);
    CloseSocket();
    SetSearchMode();
    BindForBroadcast();
    for (int attempt = 0; attempt < kReturnAttempts && result.empty(); ++attempt)
        result = SearchByMAC(MACText, caption, true);
    return result;
}

bool TfDataSender::ResolveStation(const std::string& IPText, TMACAddress& MAC)
{
    TPhysAddr reply{};
    std::uint32_t length = reply.size();
    bool answered = false;
    try {
        answered = KeepAliveDuring(
            [&] { return ARPManager().SendARP(StrToIP(IPText), reply, 0, length); });
    } catch (const EARPException&) {
        // An ARP error means the same as no reply.
    }
    MAC = MACOfAnswer(reply);
    return answered && !IsZeroMAC(MAC);
}

void TfDataSender::CheckDeviceReachable(const std::string& IPText, const TMACAddress& MAC)
{
    if (!SharedAddressMACs.empty())
        throw Exception(SharedAddressText(IPText, MAC, SharedAddressMACs));
    TMACAddress station{};
    if (ResolveStation(IPText, station) && station != MAC)
        throw Exception(SharedAddressText(IPText, MAC, {station}));
}

bool TfDataSender::ReadNetworkSettings(std::string& IPText, std::string& GatewayText,
                                       std::uint32_t& Mask)
{
    if (!IPText.empty())
        TargetIP = IPText;
    TNamedRecord record(DataManager, kSetIPRecordName, BuildSetIPRecord);
    SetExchangeMode(IPText);
    const bool ok = QueryRecord(&*record, true, true);
    if (ok) {
        IPText = record->GetValue("unit_ip").AsText();
        GatewayText.clear();
        if (record->HasItem("gateway_ip"))
            GatewayText = record->GetValue("gateway_ip").AsText();
        Mask = 0;
        if (record->HasItem("num_host_bits"))
            Mask = TARPManager::HostBitsToMask(
                static_cast<int>(record->GetValue("num_host_bits").Integer()));
    }
    return ok;
}

bool TfDataSender::SendSetIP(const std::string& TargetIPText, const std::string& NewIPText,
                             bool SkipQuery, bool Wait, std::uint32_t Mask,
                             const std::string& GatewayText)
{
    if (!TargetIPText.empty())
        TargetIP = TargetIPText;
    TNamedRecord record(DataManager, kSetIPRecordName, BuildSetIPRecord);
    ConnectForSearch();
    // What a record of the mapping kept from another device must not reach this one.
    record->ResetData();
    record->ApplyDefaults();

    if (!SkipQuery) {
        SetExchangeMode(TargetIPText);
        // Without the device's own bytes the request overwrites its other settings.
        if (!QueryRecord(&*record, true, true) &&
            Ask(GetText(msgUpozorneni),
                GetText(msgNastaveniMuzeZ) + "\r\n" + GetText(msgChcetePokracova),
                TMessageIcon::Information, TMessageAnswer::No) != TMessageAnswer::Yes)
            return false;
    }
    Show(GetText(msgNastaveniIPAdr) + NewIPText + "...");

    record->SetValue("unit_ip", NewIPText);
    if (record->HasItem("gateway_ip"))
        record->SetValue("gateway_ip", GatewayText);
    if (record->HasItem("num_host_bits"))
        record->SetValue("num_host_bits", TARPManager::MaskToHostBits(Mask));
    // TargetIP, not the parameter: an empty parameter keeps the device aimed at before.
    MySock.SendTo(record->GetSetRequest(), TargetIP, MySock.RemotePort());

    bool result = false;
    if (Wait) {
        // The answer may come from the device's new address, so any sender counts.
        AwaitAnswers(
            kSearchCycleMs, CycleCount(AnswerTimeout, kSearchCycleMs, 1),
            [&](const TMyPacket& packet) {
                record->SetData(packet.Data);
                result = record->GetKind() == hkSetAnswer;
                DeviceAnswered = DeviceAnswered || result;
                return result;
            },
            [&] { return result; });
    }
    return result;
}

bool TfDataSender::ConfirmNoConflict(std::uint32_t NewIP, const TMACAddress& WantedMAC,
                                     bool ThroughEntry)
{
    TPhysAddr answer{};
    if (!KeepAliveDuring([&] { return ARPManager().ResolveMAC(NewIP, answer); }))
        return true;
    const TMACAddress answered = MACOfAnswer(answer);
    if (IsZeroMAC(answered) || answered == WantedMAC)
        return true;
    // A temporary entry would send that station's traffic to the device: no answer allows it.
    if (ThroughEntry)
        throw Exception(EntryRefusal(IPToStr(NewIP), answered));
    return Ask("Varování",
               GetText(msgIPAdresa) + IPToStr(NewIP) + " již je přiřazena jinému zařízení v síti (" +
                   MACToStr(answered) + ") a mohlo by dojít ke konfliktu.\r\nChcete přesto pokračovat?",
               TMessageIcon::Question, TMessageAnswer::No) == TMessageAnswer::Yes;
}

bool TfDataSender::AssignIP(const std::string& MACText, const std::string& NewIPText,
                            std::uint32_t Mask, const std::string& GatewayText)
{
    TMACAddress wantedMAC{};
    try {
        if (!StrToMAC(MACText, wantedMAC.data()))
            return false;
    } catch (const EConvertError&) {
        return false;
    }
    AssignmentLeftover.clear();
    const std::uint32_t newIP = StrToIP(NewIPText);
    // The address as the device will report it: sent, searched for and shown in one form.
    const std::string newIPText = IPToStr(newIP);
    TARPManager& arp = ARPManager();

    if (newIP != 0 && !arp.IsLocalAddress(newIP)) {
        const TMessageAnswer reply =
            Ask(GetText(msgVarovani),
                GetText(msgAdresaKterouC) + IPToStr(newIP) + GetText(msgNeprislusiSte) + "\r\n" +
                    GetText(msgChceteJiPresto),
                TMessageIcon::Warning, TMessageAnswer::No);
        DeviceAnswered = true;
        if (reply != TMessageAnswer::Yes)
            return false;
    }

    Show(GetText(msgHledaniZarizeni) + MACText + "...");
    // The canonical text: the search compares MACs in a form that takes no "." separators.
    const std::string found = SearchByMAC(MACToStr(wantedMAC), "", false);
    bool reachable = !found.empty();

    if (reachable) {
        // Reachable means that datagrams to the found address reach this device's MAC: not
        // with another device at the same address, a host that resolves the address to another
        // station, or (outside the host's subnets) one that does not resolve it directly.
        TMACAddress station{};
        const bool answered = SharedAddressMACs.empty() && ResolveStation(found, station);
        const bool elsewhere = !SharedAddressMACs.empty() || (answered && station != wantedMAC);
        if (elsewhere || (!answered && !arp.IsLocalAddress(StrToIP(found)))) {
            if (Ask(GetText(msgVarovani0),
                    GetText(msgZarizeniByloDe) + "\r\n" + GetText(msgChcetePrestoPo),
                    TMessageIcon::Warning, TMessageAnswer::Yes) != TMessageAnswer::Yes)
                return false;
            reachable = false;
        }
    }

    if (reachable) {
        if ((StrToIP(found) != newIP || newIP == 0) && !ConfirmNoConflict(newIP, wantedMAC, false))
            return false;
        return SendSetIP(found, newIPText, false, true, Mask, GatewayText);
    }
    // The other devices at the found address answer for it as much as any station would.
    if (!found.empty() && StrToIP(found) == newIP && !SharedAddressMACs.empty())
        throw Exception(EntryRefusal(newIPText, SharedAddressMACs.front()));
    return AssignThroughARP(wantedMAC, newIPText, newIP, Mask, GatewayText, !found.empty());
}

bool TfDataSender::AssignThroughARP(const TMACAddress& WantedMAC, const std::string& NewIPText,
                                    std::uint32_t NewIP, std::uint32_t Mask,
                                    const std::string& GatewayText, bool Found)
{
    const std::string macText = MACToStr(WantedMAC);
    if (!Found &&
        Ask(GetText(msgZarizeniNebylo),
            GetText(msgZarizeni) + macText + GetText(msgNebyloNalezen) + "\r\n" +
                GetText(msgPokudJsteSiJi) + GetText(msgJeMozneZeJeh) + "\r\n\r\n" +
                GetText(msgChcetePrestoZk),
            TMessageIcon::Warning, TMessageAnswer::No) != TMessageAnswer::Yes)
        return false;

    Show(GetText(msgKontrolaIPAdre) + IPToStr(NewIP) + "...");
    if (!ConfirmNoConflict(NewIP, WantedMAC, true))
        return false;

    TARPManager& arp = ARPManager();
    arp.GetARPTable();
    {
        // Entries that found nobody give way to the new one; the others are not ours to take.
        TTemporaryValue<bool> silent(arp.RaiseErrors, false);
        arp.DeleteARPEntriesByIP(NewIP, 0);
        arp.DeleteARPEntriesByMAC(WantedMAC.data(), 0);
    }
    if (!arp.AddARPEntry(NewIP, WantedMAC.data(), MIB_IPNET_TYPE_STATIC, -1))
        return false;

    bool assigned = false;
    RunWithFinally(
        [&] { assigned = SendThroughEntry(WantedMAC, NewIPText, Mask, GatewayText); },
        [&] {
            try {
                RemoveTemporaryEntry(arp, NewIP, WantedMAC);
            } catch (const std::exception& error) {
                if (!assigned)
                    throw;
                // The device has its address: what is left over is reported beside that.
                AssignmentLeftover = GetText(msgDocasnyZaznamA0) + error.what();
            }
        });
    return assigned;
}

bool TfDataSender::SendThroughEntry(const TMACAddress& WantedMAC, const std::string& NewIPText,
                                    std::uint32_t Mask, const std::string& GatewayText)
{
    Show(GetText(msgPredavamInforma));
    // Not acknowledged: the repetition and the searches below cover lost requests.
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        SendSetIP(NewIPText, NewIPText, true, false, Mask, GatewayText);
    }
    // Closing drops what the send thread has not taken yet: let the last request leave.
    MySock.WaitUntilSent(kSearchCycleMs);
    TTemporaryValue<std::int32_t> timeout(AnswerTimeout, kReturnAnswerTimeout);
    CloseSocket();
    SetSearchMode();
    MySock.SetRemoteIP(NewIPText);
    MySock.SetRemotePort(DevicePort);
    MySock.Connect(false);
    const std::string caption = GetText(msgCekamNaZarizen);
    for (int attempt = 0; attempt < kReturnAttempts; ++attempt) {
        const std::string answer = SearchByIP(NewIPText, caption, true);
        if (!answer.empty() && MACOfText(answer) == WantedMAC)
            return true;
    }
    return false;
}

} // namespace qubra
