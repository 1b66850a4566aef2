#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "model/Bytes.h"
#include "net/Packet.h"
#include "net/PacketException.h"
#include "net/PacketQuee.h"

namespace qubra {

class TMySocket;
class TMyReceiver;
class TMySender;

enum TMySocketType { stUDP = 0, stTCP = 1 };

using TMyReceiveMethod = std::function<void(TMySocket& Sender, TMyPacket& Paket)>;
using TMySentMethod = std::function<void(TMySocket& Sender, std::int32_t ErrorCode)>;
using TMyNotifyEvent = std::function<void(TMySocket& Sender)>;

// "No socket": never a real descriptor (0 is a valid one on POSIX).
constexpr int NoSocket = -1;

// One non-blocking IPv4 socket (UDP, or TCP as far as create/bind/connect/direct send go)
// with an optional receive thread and send thread. All operations and events belong to the
// main thread; the threads' notifications reach it through MainThreadDispatcher().
class TMySocket {
public:
    TMySocket();
    TMySocket(const TMySocket&) = delete;
    TMySocket& operator=(const TMySocket&) = delete;
    // Stops both threads, then releases the socket; calls no event.
    ~TMySocket();

    // Called on the main thread for each datagram taken by the receive thread. Assigned while
    // a receive thread runs, it takes effect through SetOnDataReceive only.
    TMyReceiveMethod OnDataReceive;
    // Called before each send; may change the payload (and for SendTo the destination).
    TMyReceiveMethod OnBeforeDataSend;
    // Called after a send with the error code (0 = success).
    TMySentMethod OnDataSent;
    TMyNotifyEvent OnOpenSocket;
    TMyNotifyEvent OnCloseSocket;
    TMyNotifyEvent OnBindSocket;
    TMyNotifyEvent OnConnectSocket;

    // Sets OnDataReceive and attaches it to (or detaches it from) a running receive thread.
    void SetOnDataReceive(TMyReceiveMethod Handler);

    const std::string& LocalIP() const { return FLocalIP; }
    void SetLocalIP(const std::string& Value) { FLocalIP = Value; }
    const std::string& RemoteIP() const { return FRemoteIP; }
    void SetRemoteIP(const std::string& Value) { FRemoteIP = Value; }
    std::uint16_t LocalPort() const { return FLocalPort; }
    void SetLocalPort(std::uint16_t Value) { FLocalPort = Value; }
    std::uint16_t RemotePort() const { return FRemotePort; }
    void SetRemotePort(std::uint16_t Value) { FRemotePort = Value; }

    // Switching a thread on while open starts it, switching it off stops it.
    bool ReceiveThread() const { return FReceiveThread; }
    void SetReceiveThread(bool Value);
    bool SendThread() const { return FSendThread; }
    void SetSendThread(bool Value);
    // Applied to an open socket at once.
    bool BroadCastAccept() const { return FBroadCastAccept; }
    void SetBroadCastAccept(bool Value);
    // Takes effect at the next Open; an unknown value raises "Unknown socket type.".
    TMySocketType SocketType() const { return FSocketType; }
    void SetSocketType(TMySocketType Value);
    bool RaisingSocketErrors() const { return FRaisingSocketErrors; }
    void SetRaisingSocketErrors(bool Value) { FRaisingSocketErrors = Value; }

    int Handle() const { return FHandle; }
    int Family() const { return FFamily; }
    int SockType() const { return FSockType; }
    int Protocol() const { return FProtocol; }
    bool Connected() const { return FConnected; }
    bool Bound() const { return FBound; }
    bool IsOpen() const { return FHandle != NoSocket; }

    TMyPacketQuee& ReceiveQueue() { return FReceiveQueue; }
    TMyPacketQuee& SendQueue() { return FSendQueue; }
    // The running threads, or nullptr.
    TMyReceiver* Receiver() const { return FReceiver.get(); }
    TMySender* Sender() const { return FSender.get(); }

    void Open();
    // Stops both threads and drops the datagrams still waiting for the send thread.
    void Close();
    void Bind();
    void Connect(bool BindFirst);
    // Sends to the connected peer; the byte count, or -1 after a failure when errors do not
    // raise. Handed to the send thread, the result is the payload size.
    int Send(const TBytes& Data);
    // Sends to IP:Port (dotted address text).
    int SendTo(const TBytes& Data, const std::string& IP, std::uint16_t Port);
    // Waits on the socket (with a receive thread: on its queue) and stores every datagram that
    // arrives within Timeout ms into ReceiveQueue; negative waits without limit for one datagram.
    // Without WaitFullTime it returns at the first datagram; 0 looks once. The wake-up
    // descriptor ends it early. True when a datagram was stored into or found in ReceiveQueue.
    // Never raises.
    bool WaitForData(int Timeout, bool WaitFullTime);
    // Waits until the send thread has taken every queued datagram (a datagram it has taken
    // leaves before Close returns); Timeout in ms. True when the queue is empty.
    bool WaitUntilSent(int Timeout);
    // A descriptor that ends a WaitForData early once it can be read (a stop asked for from
    // another thread or a signal handler); -1 for none. Not owned.
    int WakeUpHandle() const { return FWakeUpHandle; }
    void SetWakeUpHandle(int Handle) { FWakeUpHandle = Handle; }

    void StartReceiveThread();
    void StopReceiveThread();
    void StartSendThread();
    void StopSendThread();

    // Raises TPacketException(Code) when RaisingSocketErrors is set (0 = last socket error).
    void RaiseSocketError(std::int32_t Code);

private:
    int Deliver(TMyPacket& Packet);
    // One look for datagrams during WaitForData: stores what waits in the socket (one at most
    // when One) and returns how many; with a receive thread 1 when its queue holds any.
    int TakeWaiting(TBytes& Buffer, TMyPacket& Packet, bool One);
    // The receive thread's notification for the present OnDataReceive, or none.
    std::function<void()> ReceiveCall();
    void ReceiveNotify();
    void SentNotify();
    void FireEvent(const TMyNotifyEvent& Event);
    // Creates and starts the thread when Wanted, none runs and the socket is open.
    template <typename TThread>
    void StartThread(std::unique_ptr<TThread>& Slot, bool Wanted, std::function<void()> Notify);
    // Requests termination, waits for the body to return, frees the thread.
    template <typename TThread>
    void StopThread(std::unique_ptr<TThread>& Slot);

    std::string FLocalIP;
    std::string FRemoteIP;
    std::uint16_t FLocalPort = 0;
    std::uint16_t FRemotePort = 0;
    bool FReceiveThread = false;
    bool FSendThread = false;
    bool FBroadCastAccept = false;
    TMySocketType FSocketType = stUDP;
    bool FRaisingSocketErrors = true;
    int FWakeUpHandle = NoSocket;

    int FHandle = NoSocket;
    int FFamily;
    int FSockType;
    int FProtocol;
    bool FConnected = false;
    bool FBound = false;

    TMyPacketQuee FReceiveQueue;
    TMyPacketQuee FSendQueue;
    std::unique_ptr<TMyReceiver> FReceiver;
    std::unique_ptr<TMySender> FSender;
};

} // namespace qubra
