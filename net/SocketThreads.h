#pragma once

#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "model/Bytes.h"
#include "net/PacketQuee.h"
#include "net/WakeUp.h"

namespace qubra {

class TMySocket;

// Common part of the socket's two threads: copies of the socket's handle and kind taken at
// construction, the notification run on the main thread after each datagram, start and stop.
class TSocketThread {
public:
    TSocketThread(const TSocketThread&) = delete;
    TSocketThread& operator=(const TSocketThread&) = delete;
    virtual ~TSocketThread() = default;

    // Nothing or a call for the main thread; guarded, so it may be changed while running.
    void SetNotify(std::function<void()> Notify);
    void Start();
    // Requests termination and waits until the body has returned.
    void Stop();
    bool StopRequested() const { return Thread.get_stop_token().stop_requested(); }

protected:
    // Fails with MissingSocketText when Socket is nullptr.
    TSocketThread(TMySocket* Socket, const char* MissingSocketText);
    virtual void Execute(std::stop_token Stop) = 0;
    // The notification as it is set now.
    std::function<void()> CurrentNotify();
    // Runs Call, when set, on the main thread and waits for it.
    static void RunNotify(std::function<void()> Call, std::stop_token Stop);
    // A thread with nothing to do on a stream socket waits for the end.
    static void WaitForStop(std::stop_token Stop);

    const int Handle;
    const int SockType;

private:
    std::mutex Lock;
    std::function<void()> Notify;
    std::jthread Thread;
};

// Takes datagrams from the socket into its ReceiveQueue, waiting on the socket in between.
class TMyReceiver : public TSocketThread {
public:
    explicit TMyReceiver(TMySocket* Socket);
    ~TMyReceiver() override;

    // Signalled after each datagram queued: what a wait for the queue watches. Clear it before
    // looking at the queue, so that a datagram queued after the look still wakes the wait.
    const TWakeUp& Queued() const { return FQueued; }

private:
    void Execute(std::stop_token Stop) override;
    TMyPacketQuee& Queue;
    TWakeUp FQueued;
    // Ends the wait on the socket when the thread is asked to stop.
    TWakeUp FStopping;
};

// Sends the packets of the socket's SendQueue, one per pass, waiting on the queue in between.
class TMySender : public TSocketThread {
public:
    explicit TMySender(TMySocket* Socket);
    ~TMySender() override;

private:
    void Execute(std::stop_token Stop) override;
    TMyPacketQuee& Queue;
};

} // namespace qubra
