#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/Bytes.h"
#include "net/Packet.h"

namespace qubra {

// Largest datagram taken from the socket, and the least size of the socket's own buffers.
constexpr std::size_t MaxDatagramSize = 65535;
constexpr int SocketBufferSize = 65565;
// Room for a burst of a thousand answers arriving while the reader is not scheduled: each
// small datagram costs the receive buffer over a kilobyte. The system caps it (rmem_max).
constexpr int ReceiveBufferSize = 1 << 20;

// Thin POSIX socket calls for TMySocket and its threads. Each returns false (or -1) on failure
// after recording the WinSock-numbered code as the thread's last socket error. A handle below
// 0 fails with WSAENOTSOCK without reaching the system.

// A non-blocking, close-on-exec socket, or NoSocket.
int CreateSocket(int Family, int SockType, int Protocol);
bool SetBooleanOption(int Handle, int Option, bool Value);
bool SetIntegerOption(int Handle, int Option, int Value);
// Gives a buffer option (SO_RCVBUF, SO_SNDBUF) at least Size; a larger system default stays,
// since a smaller receive buffer drops the datagrams of a burst.
bool RaiseBufferSize(int Handle, int Option, int Size);
// An empty IP means the any-address 0.0.0.0; text that is not an address fails with
// WSAEADDRNOTAVAIL (rather than becoming the broadcast address).
bool BindTo(int Handle, const std::string& IP, std::uint16_t Port);
bool ConnectTo(int Handle, const std::string& IP, std::uint16_t Port);
void CloseSocket(int Handle);

// Reads one waiting datagram without blocking. False when none waits, on an error, and for a
// zero-length datagram. Buffer is the receive area (its size is the largest datagram taken).
bool ReceiveDatagram(int Handle, TBytes& Buffer, TMyPacket& Packet);
// After a ReceiveDatagram that stored nothing: waits as WaitReadable does for the next
// datagram. When that receive failed for another reason than want of a datagram, the socket may
// stay readable and end every wait at once, so this pauses instead, for 1 ms at most.
bool WaitForDatagram(int Handle, int Wake, std::chrono::nanoseconds Timeout);
// Sends the payload to the connected peer when Packet has neither IP nor Port, else to
// IP:Port. The byte count or -1.
int TransmitPacket(int Handle, const TMyPacket& Packet);

} // namespace qubra
