#include "net/SocketThreads.h"

#include <sys/socket.h>

#include <condition_variable>

#include "model/Exception.h"
#include "net/MainThread.h"
#include "net/MySocket.h"
#include "net/SocketIO.h"

namespace qubra {

namespace {

TMySocket& Existing(TMySocket* Socket, const char* MissingSocketText)
{
    if (!Socket)
        throw Exception(MissingSocketText);
    return *Socket;
}

} // namespace

TSocketThread::TSocketThread(TMySocket* Socket, const char* MissingSocketText)
    : Handle(Existing(Socket, MissingSocketText).Handle()), SockType(Socket->SockType())
{
}

void TSocketThread::SetNotify(std::function<void()> Call)
{
    std::lock_guard guard(Lock);
    Notify = std::move(Call);
}

void TSocketThread::Start()
{
    Thread = std::jthread([this](std::stop_token Stop) { Execute(Stop); });
}

void TSocketThread::Stop()
{
    if (!Thread.joinable())
        return;
    Thread.request_stop();
    Thread.join();
}

std::function<void()> TSocketThread::CurrentNotify()
{
    std::lock_guard guard(Lock);
    return Notify;
}

void TSocketThread::RunNotify(std::function<void()> Call, std::stop_token Stop)
{
    if (Call)
        MainThreadDispatcher().RunAndWait(std::move(Call), Stop);
}

void TSocketThread::WaitForStop(std::stop_token Stop)
{
    std::mutex lock;
    std::condition_variable_any stopped;
    std::unique_lock guard(lock);
    stopped.wait(guard, Stop, [] { return false; });
}

TMyReceiver::TMyReceiver(TMySocket* Socket)
    : TSocketThread(Socket, "TMyReceiver: construktor nemuze vytvorit objekt"), Queue(Socket->ReceiveQueue())
{
}

TMyReceiver::~TMyReceiver() { Stop(); }

void TMyReceiver::Execute(std::stop_token Stop)
{
    if (SockType != SOCK_DGRAM)
        return WaitForStop(Stop);
    const std::stop_callback wake(Stop, [this] { FStopping.Signal(); });
    TBytes buffer(MaxDatagramSize);
    TMyPacket packet;
    while (!Stop.stop_requested()) {
        if (ReceiveDatagram(Handle, buffer, packet)) {
            // Taken before the datagram can be seen: a handler installed by whoever saw it
            // does not fire for it.
            std::function<void()> notify = CurrentNotify();
            Queue.Push(packet);
            FQueued.Signal();
            RunNotify(std::move(notify), Stop);
        } else {
            WaitForDatagram(Handle, FStopping.Handle(), kNoTimeLimit);
        }
    }
}

TMySender::TMySender(TMySocket* Socket)
    : TSocketThread(Socket, "TMySender: construktor nemuze vytvorit objekt"), Queue(Socket->SendQueue())
{
}

TMySender::~TMySender() { Stop(); }

void TMySender::Execute(std::stop_token Stop)
{
    if (SockType != SOCK_DGRAM)
        return WaitForStop(Stop);
    TMyPacket packet;
    while (Queue.WaitPop(packet, Stop))
        if (TransmitPacket(Handle, packet) >= 0)
            RunNotify(CurrentNotify(), Stop);
}

} // namespace qubra
