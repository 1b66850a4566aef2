#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>

#include "net/Packet.h"

namespace qubra {

// One node of a TMyPacketQuee.
struct TMyQueeItem {
    TMyPacket Packet;
    std::unique_ptr<TMyQueeItem> Next;
};

// First-in-first-out queue of packets shared between threads. Every operation holds the
// queue's lock for its whole run and calls no outside code while holding it.
class TMyPacketQuee {
public:
    TMyPacketQuee() = default;
    TMyPacketQuee(const TMyPacketQuee&) = delete;
    TMyPacketQuee& operator=(const TMyPacketQuee&) = delete;
    // The owner makes sure no other thread uses the queue any more.
    ~TMyPacketQuee();

    // Appends a copy (its IP cut to 15 characters); returns the new count.
    std::int32_t Push(const TMyPacket& Packet);
    // Moves the oldest packet into Packet; false (Packet untouched) when empty.
    bool Pop(TMyPacket& Packet);
    // Pop, waiting for a packet first; false (Packet untouched) once Stop is requested.
    bool WaitPop(TMyPacket& Packet, std::stop_token Stop);
    // Waits until the queue is empty or Timeout has passed; true when it is empty.
    bool WaitUntilEmpty(std::chrono::milliseconds Timeout) const;
    // Drops every packet.
    void Clear();
    bool IsEmpty() const;
    std::int32_t Count() const;

private:
    // Takes the head; the lock is held.
    std::unique_ptr<TMyQueeItem> TakeHead();

    mutable std::mutex Lock;
    // Announces every push and pop to the waits above.
    mutable std::condition_variable_any Changed;
    std::unique_ptr<TMyQueeItem> Head;
    TMyQueeItem* Tail = nullptr;
    std::int32_t FCount = 0;
};

} // namespace qubra
