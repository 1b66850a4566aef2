#include "control/Scanner.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "conversation/WaitCycles.h"
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

TScanEntry EntryOf(const TSearchAnswer& Answer, const TBroadcastInterface& Interface)
{
    return {Answer.MAC, Answer.IP, Interface.Name, Interface.Address, Interface.Mask, false};
}

} // namespace

void MarkSharedAddresses(std::vector<TScanEntry>& Entries)
{
    std::map<std::string, int> count;
    for (const TScanEntry& entry : Entries)
        ++count[entry.IP];
    for (TScanEntry& entry : Entries)
        entry.SharedIP = count[entry.IP] > 1;
}

TScanner::TScanner(TDataSenderViewFactory CreateView, TLinkSettings Link, TLayoutLoader LoadLayout)
    : FCreateView(std::move(CreateView)), FLink(std::move(Link)), FLoadLayout(std::move(LoadLayout))
{
}

std::chrono::milliseconds TScanner::Duration(std::int32_t AnswerTimeout)
{
    return std::chrono::milliseconds(std::int64_t{kSearchCycleMs} *
                                     CycleCount(AnswerTimeout, kSearchCycleMs, 1));
}

std::vector<TScanEntry> TScanner::Scan(bool AllInterfaces)
{
    std::vector<TBroadcastInterface> interfaces{{"", "", 0}};
    if (AllInterfaces)
        interfaces = BroadcastInterfaces();
    std::vector<TSearch> searches;
    for (TBroadcastInterface& interface : interfaces)
        searches.push_back({std::move(interface), FCreateView(), FLoadLayout(), {}, {}});

    // A device heard on two interfaces is handed on once, from the first answer.
    std::mutex streamLock;
    std::set<std::uint64_t> streamed;
    const auto stream = [&](const TSearchAnswer& answer, const TBroadcastInterface& interface) {
        std::lock_guard guard(streamLock);
        if (streamed.insert(TARPManager::MACTextToValue(answer.MAC)).second)
            OnEntry(EntryOf(answer, interface));
    };

    std::atomic<bool> cancelled{false};
    std::vector<std::thread> threads;
    for (TSearch& search : searches)
        threads.emplace_back([&, one = &search] {
            try {
                TfDataSender sender(*one->View, one->Layout.get());
                FLink.ApplyTo(sender);
                // Bound to an interface's own address, a broadcast to 255.255.255.255 leaves
                // through that interface only, and the answers come back to it.
                sender.MySock.SetLocalIP(one->Interface.Address);
                std::function<void(const TSearchAnswer&)> onAnswer;
                if (OnEntry)
                    onAnswer = [&](const TSearchAnswer& answer) { stream(answer, one->Interface); };
                one->Answers = sender.SearchAll(Caption, onAnswer);
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
                entries.push_back(EntryOf(answer, search.Interface));
        }
    MarkSharedAddresses(entries);
    return entries;
}

} // namespace qubra
