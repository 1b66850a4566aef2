#include "net/MySocket.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>

#include "net/SocketError.h"
#include "net/SocketIO.h"
#include "net/SocketThreads.h"
#include "net/WakeUp.h"

namespace qubra {

namespace {

constexpr int kMaxTakenAtOnce = 256;

} // namespace

TMySocket::TMySocket() : FFamily(AF_INET), FSockType(SOCK_DGRAM), FProtocol(IPPROTO_UDP) {}

TMySocket::~TMySocket()
{
    StopReceiveThread();
    StopSendThread();
    CloseSocket(FHandle);
}

void TMySocket::SetOnDataReceive(TMyReceiveMethod Handler)
{
    OnDataReceive = std::move(Handler);
    if (FReceiver && !FReceiver->StopRequested())
        FReceiver->SetNotify(ReceiveCall());
}

void TMySocket::SetReceiveThread(bool Value)
{
    FReceiveThread = Value;
    if (Value)
        StartReceiveThread();
    else
        StopReceiveThread();
}

void TMySocket::SetSendThread(bool Value)
{
    FSendThread = Value;
    if (Value)
        StartSendThread();
    else
        StopSendThread();
}

void TMySocket::SetBroadCastAccept(bool Value)
{
    FBroadCastAccept = Value;
    if (IsOpen())
        SetBooleanOption(FHandle, SO_BROADCAST, Value);
}

void TMySocket::SetSocketType(TMySocketType Value)
{
    switch (Value) {
    case stUDP:
        FSockType = SOCK_DGRAM;
        FProtocol = IPPROTO_UDP;
        break;
    case stTCP:
        FSockType = SOCK_STREAM;
        FProtocol = IPPROTO_TCP;
        break;
    default:
        throw Exception("Unknown socket type.");
    }
    FSocketType = Value;
}

void TMySocket::Open()
{
    if (IsOpen())
        return;
    FHandle = CreateSocket(FFamily, FSockType, FProtocol);
    if (!IsOpen())
        RaiseSocketError(0);
    // Option failures are of no consequence; on a missing handle they fail harmlessly.
    if (FBroadCastAccept)
        SetBooleanOption(FHandle, SO_BROADCAST, true);
    RaiseBufferSize(FHandle, SO_RCVBUF, ReceiveBufferSize);
    RaiseBufferSize(FHandle, SO_SNDBUF, SocketBufferSize);
    StartReceiveThread();
    StartSendThread();
    FireEvent(OnOpenSocket);
}

void TMySocket::Close()
{
    if (!IsOpen())
        return;
    // Both threads use copies of the handle: they must be gone before it can be reused.
    StopReceiveThread();
    StopSendThread();
    // What is still queued was meant for this connection; after a new Connect the next
    // send thread would hand it to another peer.
    FSendQueue.Clear();
    CloseSocket(FHandle);
    FHandle = NoSocket;
    FConnected = false;
    FBound = false;
    FireEvent(OnCloseSocket);
}

void TMySocket::Bind()
{
    if (!IsOpen())
        Open();
    if (!BindTo(FHandle, FLocalIP, FLocalPort)) {
        RaiseSocketError(0);
        return;
    }
    FBound = true;
    FireEvent(OnBindSocket);
}

void TMySocket::Connect(bool BindFirst)
{
    if (!IsOpen())
        Open();
    if (BindFirst)
        Bind();
    if (!ConnectTo(FHandle, FRemoteIP, FRemotePort)) {
        RaiseSocketError(0);
        return;
    }
    FConnected = true;
    FireEvent(OnConnectSocket);
}

int TMySocket::Send(const TBytes& Data)
{
    TMyPacket packet{Data, "", 0};
    if (OnBeforeDataSend) {
        // The handler sees the peer but can change only the payload.
        packet.IP = CutPacketIP(FRemoteIP);
        packet.Port = FRemotePort;
        OnBeforeDataSend(*this, packet);
        packet.IP.clear();
        packet.Port = 0;
    }
    return Deliver(packet);
}

int TMySocket::SendTo(const TBytes& Data, const std::string& IP, std::uint16_t Port)
{
    TMyPacket packet{Data, CutPacketIP(IP), Port};
    if (OnBeforeDataSend)
        OnBeforeDataSend(*this, packet);
    return Deliver(packet);
}

int TMySocket::Deliver(TMyPacket& Packet)
{
    if (FSender) {
        const int size = static_cast<int>(Packet.Data.size());
        FSendQueue.Push(Packet);
        return size;
    }
    const int sent = TransmitPacket(FHandle, Packet);
    const std::int32_t code = sent < 0 ? LastSocketError() : 0;
    if (OnDataSent)
        OnDataSent(*this, code);
    if (sent < 0)
        RaiseSocketError(code);
    return sent;
}

bool TMySocket::WaitForData(int Timeout, bool WaitFullTime)
{
    using namespace std::chrono;
    bool result = false;
    try {
        const steady_clock::time_point deadline = steady_clock::now() + milliseconds(Timeout);
        if (Timeout < 0)
            WaitFullTime = false;
        TBytes buffer(FReceiver ? 0 : MaxDatagramSize);
        TMyPacket packet;
        for (bool woken = false;;) {
            // Decided before the look: what arrived until the limit is still taken.
            const bool last = Timeout == 0 || woken || (Timeout > 0 && steady_clock::now() >= deadline);
            const int taken = TakeWaiting(buffer, packet, Timeout == 0 || !WaitFullTime);
            result = result || taken > 0;
            if ((taken > 0 && !WaitFullTime) || last)
                break;
            if (taken == kMaxTakenAtOnce)
                continue;  // more may be waiting: look again before waiting
            const nanoseconds left =
                Timeout < 0 ? kNoTimeLimit : std::max(deadline - steady_clock::now(), nanoseconds(0));
            woken = FReceiver ? WaitReadable(FReceiver->Queued().Handle(), FWakeUpHandle, left)
                              : WaitForDatagram(FHandle, FWakeUpHandle, left);
        }
    } catch (...) {
        // A wait reports what it has seen; a failure (out of memory) only ends it.
    }
    return result;
}

int TMySocket::TakeWaiting(TBytes& Buffer, TMyPacket& Packet, bool One)
{
    if (FReceiver) {
        FReceiver->Queued().Clear();
        return FReceiveQueue.IsEmpty() ? 0 : 1;
    }
    // Bounded, so that a flood cannot hold a wait past its limit.
    int taken = 0;
    while (taken < (One ? 1 : kMaxTakenAtOnce) && ReceiveDatagram(FHandle, Buffer, Packet)) {
        FReceiveQueue.Push(Packet);
        ++taken;
    }
    return taken;
}

bool TMySocket::WaitUntilSent(int Timeout)
{
    return FSendQueue.WaitUntilEmpty(std::chrono::milliseconds(Timeout));
}

void TMySocket::StartReceiveThread()
{
    StartThread(FReceiver, FReceiveThread, ReceiveCall());
}

void TMySocket::StopReceiveThread() { StopThread(FReceiver); }

void TMySocket::StartSendThread()
{
    StartThread(FSender, FSendThread, OnDataSent ? std::function<void()>([this] { SentNotify(); }) : nullptr);
}

void TMySocket::StopSendThread() { StopThread(FSender); }

template <typename TThread>
void TMySocket::StartThread(std::unique_ptr<TThread>& Slot, bool Wanted, std::function<void()> Notify)
{
    if (!Wanted || Slot || !IsOpen())
        return;
    auto thread = std::make_unique<TThread>(this);
    thread->SetNotify(std::move(Notify));
    thread->Start();
    Slot = std::move(thread);
}

template <typename TThread>
void TMySocket::StopThread(std::unique_ptr<TThread>& Slot)
{
    if (Slot)
        Slot->Stop();
    Slot.reset();
}

void TMySocket::RaiseSocketError(std::int32_t Code)
{
    if (FRaisingSocketErrors)
        throw TPacketException(Code);
}

std::function<void()> TMySocket::ReceiveCall()
{
    return OnDataReceive ? std::function<void()>([this] { ReceiveNotify(); }) : nullptr;
}

void TMySocket::ReceiveNotify()
{
    TMyPacket packet;
    // A copy: the handler may replace OnDataReceive or even destroy this component.
    TMyReceiveMethod handler = OnDataReceive;
    if (handler && FReceiveQueue.Pop(packet))
        handler(*this, packet);
}

void TMySocket::SentNotify()
{
    TMySentMethod handler = OnDataSent;
    if (handler)
        handler(*this, 0);
}

void TMySocket::FireEvent(const TMyNotifyEvent& Event)
{
    if (Event)
        Event(*this);
}

} // namespace qubra
