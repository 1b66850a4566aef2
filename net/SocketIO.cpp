#include "net/SocketIO.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "net/MySocket.h"
#include "net/SocketError.h"
#include "net/WakeUp.h"

namespace qubra {

namespace {

// A connected datagram socket keeps an ICMP "port unreachable" for a previous datagram as a
// pending error that the next receive or send reports, and that send transmits nothing. The
// report clears it, so the call is repeated; the bound guards against a stream of such errors.
constexpr int PendingErrorRetries = 4;

bool Fail(int Errno)
{
    SetLastSocketError(SocketErrorFromErrno(Errno));
    return false;
}

bool FailNoSocket()
{
    SetLastSocketError(WSAENOTSOCK);
    return false;
}

bool MakeAddress(const std::string& IP, std::uint16_t Port, sockaddr_in& Address)
{
    Address = {};
    Address.sin_family = AF_INET;
    Address.sin_port = htons(Port);
    if (IP.empty())
        return true;
    if (IP.find('\0') != std::string::npos || inet_aton(IP.c_str(), &Address.sin_addr) == 0) {
        SetLastSocketError(WSAEADDRNOTAVAIL);
        return false;
    }
    return true;
}

// bind or connect to IP:Port.
bool AtAddress(int (*Call)(int, const sockaddr*, socklen_t), int Handle, const std::string& IP, std::uint16_t Port)
{
    if (Handle < 0)
        return FailNoSocket();
    sockaddr_in address;
    if (!MakeAddress(IP, Port, address))
        return false;
    return Call(Handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 || Fail(errno);
}

template <typename Call>
ssize_t RetryPastPendingError(Call call)
{
    ssize_t result = call();
    for (int i = 0; i < PendingErrorRetries && result < 0 && errno == ECONNREFUSED; ++i)
        result = call();
    return result;
}

} // namespace

int CreateSocket(int Family, int SockType, int Protocol)
{
    const int handle = socket(Family, SockType | SOCK_NONBLOCK | SOCK_CLOEXEC, Protocol);
    if (handle < 0) {
        Fail(errno);
        return NoSocket;
    }
    return handle;
}

bool SetBooleanOption(int Handle, int Option, bool Value) { return SetIntegerOption(Handle, Option, Value ? 1 : 0); }

bool SetIntegerOption(int Handle, int Option, int Value)
{
    if (Handle < 0)
        return FailNoSocket();
    return setsockopt(Handle, SOL_SOCKET, Option, &Value, sizeof Value) == 0 || Fail(errno);
}

bool RaiseBufferSize(int Handle, int Option, int Size)
{
    if (Handle < 0)
        return FailNoSocket();
    int present = 0;
    socklen_t length = sizeof present;
    if (getsockopt(Handle, SOL_SOCKET, Option, &present, &length) == 0 && present >= Size)
        return true;
    return SetIntegerOption(Handle, Option, Size);
}

bool BindTo(int Handle, const std::string& IP, std::uint16_t Port) { return AtAddress(bind, Handle, IP, Port); }

bool ConnectTo(int Handle, const std::string& IP, std::uint16_t Port) { return AtAddress(connect, Handle, IP, Port); }

void CloseSocket(int Handle)
{
    if (Handle >= 0)
        close(Handle);
}

bool ReceiveDatagram(int Handle, TBytes& Buffer, TMyPacket& Packet)
{
    if (Handle < 0)
        return FailNoSocket();
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t length = RetryPastPendingError([&] {
        fromLength = sizeof from;
        return recvfrom(Handle, Buffer.data(), Buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    });
    if (length < 0)
        return Fail(errno);
    if (length == 0)
        return false;
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    Packet.Data.assign(Buffer.begin(), Buffer.begin() + length);
    Packet.IP = text;
    Packet.Port = ntohs(from.sin_port);
    return true;
}

bool WaitForDatagram(int Handle, int Wake, std::chrono::nanoseconds Timeout)
{
    if (LastSocketError() == WSAEWOULDBLOCK)
        return WaitReadable(Handle, Wake, Timeout);
    const std::chrono::nanoseconds pause = std::chrono::milliseconds(1);
    return WaitReadable(NoSocket, Wake, Timeout < std::chrono::nanoseconds(0) ? pause : std::min(Timeout, pause));
}

int TransmitPacket(int Handle, const TMyPacket& Packet)
{
    if (Handle < 0) {
        FailNoSocket();
        return -1;
    }
    // MSG_NOSIGNAL: a stream whose peer has gone must fail the call, not end the process.
    ssize_t sent;
    if (Packet.IP.empty() && Packet.Port == 0) {
        sent = RetryPastPendingError([&] { return send(Handle, Packet.Data.data(), Packet.Data.size(), MSG_NOSIGNAL); });
    } else {
        sockaddr_in address;
        if (!MakeAddress(Packet.IP, Packet.Port, address))
            return -1;
        sent = RetryPastPendingError([&] {
            return sendto(Handle, Packet.Data.data(), Packet.Data.size(), MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&address), sizeof address);
        });
    }
    if (sent < 0) {
        Fail(errno);
        return -1;
    }
    return static_cast<int>(sent);
}

} // namespace qubra
