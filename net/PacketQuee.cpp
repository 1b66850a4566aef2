#include "net/PacketQuee.h"

#include <utility>

namespace qubra {

TMyPacketQuee::~TMyPacketQuee() { Clear(); }

void TMyPacketQuee::Clear()
{
    std::unique_ptr<TMyQueeItem> chain;
    {
        std::lock_guard guard(Lock);
        chain = std::move(Head);
        Tail = nullptr;
        FCount = 0;
    }
    Changed.notify_all();
    // Unlink node by node: a long chain of owning links would otherwise be freed recursively.
    while (chain)
        chain = std::move(chain->Next);
}

std::int32_t TMyPacketQuee::Push(const TMyPacket& Packet)
{
    auto item = std::make_unique<TMyQueeItem>(TMyQueeItem{Packet, nullptr});
    if (item->Packet.IP.size() > MaxPacketIPLength)
        item->Packet.IP.resize(MaxPacketIPLength);

    std::int32_t count;
    {
        std::lock_guard guard(Lock);
        TMyQueeItem* added = item.get();
        if (Tail)
            Tail->Next = std::move(item);
        else
            Head = std::move(item);
        Tail = added;
        count = ++FCount;
    }
    Changed.notify_all();
    return count;
}

std::unique_ptr<TMyQueeItem> TMyPacketQuee::TakeHead()
{
    std::unique_ptr<TMyQueeItem> item = std::move(Head);
    Head = std::move(item->Next);
    if (!Head)
        Tail = nullptr;
    --FCount;
    return item;
}

bool TMyPacketQuee::Pop(TMyPacket& Packet)
{
    std::unique_ptr<TMyQueeItem> item;
    {
        std::lock_guard guard(Lock);
        if (!Head)
            return false;
        item = TakeHead();
    }
    Changed.notify_all();
    Packet = std::move(item->Packet);
    return true;
}

bool TMyPacketQuee::WaitPop(TMyPacket& Packet, std::stop_token Stop)
{
    std::unique_ptr<TMyQueeItem> item;
    {
        std::unique_lock guard(Lock);
        // The wait also answers true for a packet present when the stop came.
        if (!Changed.wait(guard, Stop, [this] { return Head != nullptr; }) || Stop.stop_requested())
            return false;
        item = TakeHead();
    }
    Changed.notify_all();
    Packet = std::move(item->Packet);
    return true;
}

bool TMyPacketQuee::WaitUntilEmpty(std::chrono::milliseconds Timeout) const
{
    std::unique_lock guard(Lock);
    return Changed.wait_for(guard, Timeout, [this] { return Head == nullptr; });
}

bool TMyPacketQuee::IsEmpty() const
{
    std::lock_guard guard(Lock);
    return !Head;
}

std::int32_t TMyPacketQuee::Count() const
{
    std::lock_guard guard(Lock);
    return FCount;
}

} // namespace qubra
