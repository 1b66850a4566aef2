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
    // Unlink node by node: a long chain of owning links would otherwise be freed recursively.
    while (chain)
        chain = std::move(chain->Next);
}

std::int32_t TMyPacketQuee::Push(const TMyPacket& Packet)
{
    auto item = std::make_unique<TMyQueeItem>(TMyQueeItem{Packet, nullptr});
    if (item->Packet.IP.size() > MaxPacketIPLength)
        item->Packet.IP.resize(MaxPacketIPLength);

    std::lock_guard guard(Lock);
    TMyQueeItem* added = item.get();
    if (Tail)
        Tail->Next = std::move(item);
    else
        Head = std::move(item);
    Tail = added;
    return ++FCount;
}

bool TMyPacketQuee::Pop(TMyPacket& Packet)
{
    std::unique_ptr<TMyQueeItem> item;
    {
        std::lock_guard guard(Lock);
        if (!Head)
            return false;
        item = std::move(Head);
        Head = std::move(item->Next);
        if (!Head)
            Tail = nullptr;
        --FCount;
    }
    Packet = std::move(item->Packet);
    return true;
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
