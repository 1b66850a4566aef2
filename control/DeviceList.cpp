#include "control/DeviceList.h"

#include <algorithm>
#include <arpa/inet.h>

#include "conversation/ScopeGuards.h"
#include "i18n/Language.h"
#include "net/ARPManager.h"

namespace qubra {

namespace {

bool ListedBefore(const TDeviceRow& A, const TDeviceRow& B)
{
    const std::uint32_t a = ntohl(A.IP), b = ntohl(B.IP);
    return a != b ? a < b : A.MAC < B.MAC;
}

} // namespace

TDeviceList::TDeviceList(TSubnetTest IsLocal) : FIsLocal(std::move(IsLocal))
{
    if (!FIsLocal)
        FIsLocal = [](std::uint32_t IP) { return ARPManager().IsLocalAddress(IP); };
}

void TDeviceList::Add(const std::vector<TScanEntry>& Entries)
{
    for (const TScanEntry& entry : Entries) {
        TDeviceRow row;
        row.Entry = entry;
        const std::optional<TMACAddress> mac = ParseMACText(entry.MAC);
        if (!mac || IndexOf(*mac) >= 0)
            continue;
        row.MAC = *mac;
        row.IP = ParseIPText(entry.IP).value_or(0);
        FRows.insert(std::upper_bound(FRows.begin(), FRows.end(), row, ListedBefore), row);
    }
    std::vector<TScanEntry> entries;
    for (const TDeviceRow& row : FRows)
        entries.push_back(row.Entry);
    MarkSharedAddresses(entries);
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        FRows[i].Entry.SharedIP = entries[i].SharedIP;
        FRows[i].State = StateOf(FRows[i]);
    }
}

int TDeviceList::IndexOf(const TMACAddress& MAC) const
{
    const auto found = std::find_if(FRows.begin(), FRows.end(), [&](const TDeviceRow& r) { return r.MAC == MAC; });
    return found == FRows.end() ? -1 : static_cast<int>(found - FRows.begin());
}

TDeviceState TDeviceList::StateOf(const TDeviceRow& Row) const
{
    if (Row.Entry.SharedIP)
        return TDeviceState::SharedIP;
    const TScanEntry& e = Row.Entry;
    const bool inSubnet = e.InterfaceMask != 0
                              ? TARPManager::SameSubnet(Row.IP, StrToIP(e.InterfaceIP), e.InterfaceMask)
                              : FIsLocal(Row.IP);
    return inSubnet ? TDeviceState::InSubnet : TDeviceState::OutsideSubnet;
}

const TMessage& StateMessage(TDeviceState State)
{
    switch (State) {
    case TDeviceState::InSubnet: return msgVPodsitiRozhra;
    case TDeviceState::OutsideSubnet: return msgMimoPodsitNej;
    case TDeviceState::SharedIP: break;
    }
    return msgStejnaAdresaJa;
}

std::string InterfaceText(const TScanEntry& Entry)
{
    if (Entry.InterfaceIP.empty())
        return Entry.Interface;
    return Entry.Interface + " (" + Entry.InterfaceIP + ")";
}

std::string ScanStatusText(bool Running, bool Stopped, std::chrono::milliseconds Remaining, int Found)
{
    if (Running) {
        // Counted up, so that the last second shows as 1 until the scan is over.
        const auto seconds = (Remaining.count() + 999) / 1000;
        return GetText(msgVyhledavamZariz0) + std::to_string(seconds) + " s";
    }
    const std::string outcome =
        Found == 0 ? GetText(msgZarizeniNebylo) : GetText(msgNalezenaZarizen) + std::to_string(Found);
    return Stopped ? GetText(msgVyhledavaniZast) + outcome : outcome;
}

TRowCommand EnterCommand(const TDeviceRow& Row)
{
    return Row.State == TDeviceState::InSubnet ? TRowCommand::Open : TRowCommand::SetIP;
}

bool RunRowCommand(TDeviceController& Controller, const TDeviceRow& Row, TRowCommand Command,
                   const TAddressWizard& Wizard)
{
    // The wizard's searches and the wait for the device go out where the device answered.
    TTemporaryValue<std::string> from(Controller.Link.LocalIP, Row.Entry.InterfaceIP);
    if (Command == TRowCommand::Open)
        return Controller.FindByMAC(Row.MAC);
    TMACAddress mac = Row.MAC;
    if (!Wizard(mac))
        return false;
    return Controller.ReadAssignedDevice(mac, msgZarizeniNebyloFullStop);
}

} // namespace qubra
