#include "control/Scanner.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "net/ARPManager.h"
#include "net/BroadcastInterfaces.h"

namespace qubra {

namespace {

// Everything one search needs, made before its thread starts.
struct TSearch {
    TBroadcastInterface Interface;
    std::unique_ptr<TDataSenderView> View;
    std::unique_ptr<TDataManager> Layout;
    std::vector<TSearchAnswer> Answers;
    std::exception_ptr Error;
};

} // namespace

TScanner::TScanner(TDataSenderViewFactory CreateView, TLinkSettings Link, TLayoutLoader LoadLayout)
    : FCreateView(std::move(CreateView)), FLink(std::move(Link)), FLoadLayout(std::move(LoadLayout))
{
}

std::vector<TScanEntry> TScanner::Scan(bool AllInterfaces)
{
    std::vector<TBroadcastInterface> interfaces{{"", ""}};
    if (AllInterfaces)
        interfaces = BroadcastInterfaces();
    std::vector<TSearch> searches;
    for (TBroadcastInterface& interface : interfaces)
        searches.push_back({std::move(interface), FCreateView(), FLoadLayout(), {}, {}});

    std::atomic<bool> cancelled{false};
    std::vector<std::thread> threads;
    for (TSearch& search : searches)
        threads.emplace_back([this, &cancelled, one = &search] {
            try {
                TfDataSender sender(*one->View, one->Layout.get());
                FLink.ApplyTo(sender);
                // Bound to an interface's own address, a broadcast to 255.255.255.255 leaves
                // through that interface only, and the answers come back to it.
                sender.MySock.SetLocalIP(one->Interface.Address);
                one->Answers = sender.SearchAll();
            } catch (const EOperationCancelled&) {
                cancelled = true;
            } catch (...) {
                one->Error = std::current_exception();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    FCancelled = cancelled;
    for (const TSearch& search : searches)
        if (search.Error)
            std::rethrow_exception(search.Error);

    std::vector<TScanEntry> entries;
    for (const TSearch& search : searches)
        for (const TSearchAnswer& answer : search.Answers) {
            const std::uint64_t mac = TARPManager::MACTextToValue(answer.MAC);
            if (std::none_of(entries.begin(), entries.end(), [&](const TScanEntry& e) {
                    return TARPManager::MACTextToValue(e.MAC) == mac;
                }))
                entries.push_back({answer.MAC, answer.IP, search.Interface.Name});
        }
    return entries;
}

} // namespace qubra
