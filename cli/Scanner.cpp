#include "cli/Scanner.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <exception>
#include <thread>

#include "model/Conversions.h"
#include "net/ARPManager.h"

namespace qubra {

std::vector<TBroadcastInterface> BroadcastInterfaces()
{
    std::vector<TBroadcastInterface> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return found;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(flags & IFF_UP) ||
            !(flags & IFF_BROADCAST) || (flags & IFF_LOOPBACK))
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        found.push_back({entry->ifa_name, IPToStr(address->sin_addr.s_addr)});
    }
    freeifaddrs(list);
    return found;
}

TScanner::TScanner(TConsole& Console, TLinkSettings Link, TLayoutLoader LoadLayout)
    : FConsole(Console), FLink(std::move(Link)), FLoadLayout(std::move(LoadLayout))
{
}

// Bound to an interface's own address, a broadcast to 255.255.255.255 leaves through that
// interface only, and the answers come back to it.
std::vector<TSearchAnswer> TScanner::Search(const std::string& LocalIP)
{
    const std::unique_ptr<TDataManager> layout = FLoadLayout();
    TConsoleView view(FConsole);
    TfDataSender sender(view, layout.get());
    sender.DevicePort = FLink.DevicePort;
    sender.BroadcastIP = FLink.BroadcastIP;
    sender.AnswerTimeout = FLink.AnswerTimeout;
    sender.MySock.SetLocalIP(LocalIP);
    return sender.SearchAll();
}

std::vector<TScanEntry> TScanner::Scan(bool AllInterfaces)
{
    std::vector<TBroadcastInterface> interfaces{{"", ""}};
    if (AllInterfaces)
        interfaces = BroadcastInterfaces();

    // Each search runs its own engine with its own socket and layout, so the waits overlap.
    std::vector<std::vector<TSearchAnswer>> answers(interfaces.size());
    std::vector<std::exception_ptr> errors(interfaces.size());
    std::vector<std::thread> searches;
    for (std::size_t i = 0; i < interfaces.size(); ++i)
        searches.emplace_back([&, i] {
            try {
                answers[i] = Search(interfaces[i].Address);
            } catch (...) {
                errors[i] = std::current_exception();
            }
        });
    for (std::thread& search : searches)
        search.join();
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);

    std::vector<TScanEntry> entries;
    for (std::size_t i = 0; i < interfaces.size(); ++i)
        for (const TSearchAnswer& answer : answers[i]) {
            const std::uint64_t mac = TARPManager::MACTextToValue(answer.MAC);
            if (std::none_of(entries.begin(), entries.end(), [&](const TScanEntry& e) {
                    return TARPManager::MACTextToValue(e.MAC) == mac;
                }))
                entries.push_back({answer.MAC, answer.IP, interfaces[i].Name});
        }
    return entries;
}

} // namespace qubra
