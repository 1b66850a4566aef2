#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/LinkSettings.h"
#include "conversation/DataSenderView.h"
#include "model/DataManager.h"

namespace qubra {

// A device that answered a scan, and the interface it answered on (empty for a scan at one
// broadcast address).
struct TScanEntry {
    std::string MAC;
    std::string IP;
    std::string Interface;
    // The interface's own address and netmask (network order): empty and 0 when not known.
    std::string InterfaceIP;
    std::uint32_t InterfaceMask = 0;
    // Another device of the same scan answered from the same address.
    bool SharedIP = false;
};

// Sets SharedIP of every entry whose address another entry has too, clears it on the others.
void MarkSharedAddresses(std::vector<TScanEntry>& Entries);

// One broadcast search per interface, all at once, or one at Link.BroadcastIP when
// AllInterfaces is false. Each device once, in the order of the interfaces, then of answers.
// Each search runs its own engine with its own record layout on a thread of its own; the views
// and layouts are made on the calling thread before the searches start, and each view is then
// used only by its search's thread.
class TScanner {
public:
    using TLayoutLoader = std::function<std::unique_ptr<TDataManager>()>;
    using TEntryHandler = std::function<void(const TScanEntry&)>;

    TScanner(TDataSenderViewFactory CreateView, TLinkSettings Link, TLayoutLoader LoadLayout);
    // Called on the searching threads as each new device answers, one call at a time; its
    // SharedIP is not known yet.
    TEntryHandler OnEntry;
    // The searches' status; empty: the default one, looked up in the language by each search.
    std::string Caption;
    // An error of any search is raised once every search has ended.
    std::vector<TScanEntry> Scan(bool AllInterfaces);
    // A view asked the last scan to stop; its entries are those of the searches not stopped.
    bool Cancelled() const { return FCancelled; }
    // How long a scan with AnswerTimeout waits for answers.
    static std::chrono::milliseconds Duration(std::int32_t AnswerTimeout);

private:
    TDataSenderViewFactory FCreateView;
    TLinkSettings FLink;
    TLayoutLoader FLoadLayout;
    bool FCancelled = false;
};

} // namespace qubra
