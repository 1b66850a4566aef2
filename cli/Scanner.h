#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/ConsoleView.h"
#include "control/DeviceController.h"

namespace qubra {

// An IPv4 interface that is up and can broadcast.
struct TBroadcastInterface {
    std::string Name;
    std::string Address;
};

std::vector<TBroadcastInterface> BroadcastInterfaces();

// A device that answered a scan, and the interface it answered on (empty for a scan at one
// broadcast address).
struct TScanEntry {
    std::string MAC;
    std::string IP;
    std::string Interface;
};

// One broadcast search per interface, all at once, or one at Link.BroadcastIP when
// AllInterfaces is false. Each device once, in the order of the interfaces, then of answers.
class TScanner {
public:
    using TLayoutLoader = std::function<std::unique_ptr<TDataManager>()>;

    TScanner(TConsole& Console, TLinkSettings Link, TLayoutLoader LoadLayout);
    std::vector<TScanEntry> Scan(bool AllInterfaces);

private:
    std::vector<TSearchAnswer> Search(const std::string& LocalIP);

    TConsole& FConsole;
    TLinkSettings FLink;
    TLayoutLoader FLoadLayout;
};

} // namespace qubra
