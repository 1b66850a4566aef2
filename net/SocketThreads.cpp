#include "net/SocketThreads.h"

#include <sys/socket.h>

#include <chrono>

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

void TSocketThread::RunNotify(std::stop_token Stop)
{
    std::function<void()> call;
    {
        std::lock_guard guard(Lock);
        call = Notify;
    }
    if (call)
        MainThreadDispatcher().RunAndWait(std::move(call), Stop);
}

void TSocketThread::PauseUnlessStopping(std::stop_token Stop)
{
    if (!Stop.stop_requested())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TMyReceiver::TMyReceiver(TMySocket* Socket)
    : TSocketThread(Socket, "TMyReceiver: construktor nemuze vytvorit objekt"), Queue(Socket->ReceiveQueue())
{
}

TMyReceiver::~TMyReceiver() { Stop(); }

void TMyReceiver::Execute(std::stop_token Stop)
{
    TBytes buffer(MaxDatagramSize);
    TMyPacket packet;
    while (!Stop.stop_requested()) {
        if (SockType == SOCK_DGRAM && ReceiveDatagram(Handle, buffer, packet)) {
            Queue.Push(packet);
            RunNotify(Stop);
        } else {
            PauseUnlessStopping(Stop);
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
    TMyPacket packet;
    while (!Stop.stop_requested()) {
        if (SockType == SOCK_DGRAM && Queue.Pop(packet) && TransmitPacket(Handle, packet) >= 0)
            RunNotify(Stop);
        PauseUnlessStopping(Stop);
    }
}

} // namespace qubra
