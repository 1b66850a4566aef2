#include "net/PacketException.h"

#include <cstdio>
#include <map>

#include "net/SocketError.h"

namespace qubra {

namespace {

const std::map<std::int32_t, const char*>& ErrorTexts()
{
    static const std::map<std::int32_t, const char*> texts{
        {WSAEINTR, "The (blocking) call was canceled through WSACancelBlockingCall."},
        {WSAEACCES, "The requested address is a broadcast address, but the appropriate flag was not set."},
        {WSAEFAULT, "The buf argument is not totally contained in a valid part of the user address space."},
        {WSAEINVAL, "The socket has not been bound with bind, or an unknown flag was specified, or MSG_OOB was specified for a socket with SO_OOBINLINE enabled."},
        {WSAEMFILE, "No more socket descriptors are available."},
        {WSAEWOULDBLOCK, "The socket is marked as nonblocking and the requested operation would block."},
        {WSAEINPROGRESS, "A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
        {WSAEALREADY, "A nonblocking connect call is in progress on the specified socket."},
        {WSAENOTSOCK, "The descriptor is not a socket."},
        {WSAEMSGSIZE, "The socket is message oriented, and the message is larger than the maximum supported by the underlying transport."},
        {WSAEPROTOTYPE, "The specified protocol is the wrong type for this socket."},
        {WSAEPROTONOSUPPORT, "The specified protocol is not supported."},
        {WSAESOCKTNOSUPPORT, "The specified socket type is not supported in this address family."},
        {WSAEOPNOTSUPP, "MSG_OOB was specified, but the socket is not stream style such as type SOCK_STREAM, out-of-band data is not supported in the communication domain associated with this socket, or the socket is unidirectional and supports only receive operations."},
        {WSAEAFNOSUPPORT, "The specified address family is not supported."},
        {WSAEADDRINUSE, "The specified address is already in use."},
        {WSAEADDRNOTAVAIL, "The remote address is not a valid address (such as ADDR_ANY)."},
        {WSAENETDOWN, "The network subsystem has failed."},
        {WSAENETUNREACH, "The network cannot be reached from this host at this time."},
        {WSAENETRESET, "The connection has been broken due to the remote host resetting."},
        {WSAECONNABORTED, "The virtual circuit was terminated due to a time-out or other failure. The application should close the socket as it is no longer usable."},
        {WSAECONNRESET, "The virtual circuit was reset by the remote side executing a \"hard\" or \"abortive\" close. For UPD sockets, the remote host was unable to deliver a previously sent UDP datagram and responded with a \"Port Unreachable\" ICMP packet. The application should close the socket as it is no longer usable."},
        {WSAENOBUFS, "No buffer space is available."},
        {WSAEISCONN, "The socket is already connected (connection-oriented sockets only)."},
        {WSAENOTCONN, "The socket is not connected."},
        {WSAESHUTDOWN, "The socket has been shut down; it is not possible to send on a socket after shutdown has been invoked with how set to SD_SEND or SD_BOTH."},
        {WSAETIMEDOUT, "The connection has been dropped, because of a network failure or because the system on the other end went down without notice."},
        {WSAECONNREFUSED, "The attempt to connect was forcefully rejected."},
        {WSAEHOSTUNREACH, "The remote host cannot be reached from this host at this time."},
        {WSANOTINITIALISED, "A successful WSAStartup must occur before using this function."},
    };
    return texts;
}

std::int32_t Resolved(std::int32_t Code) { return Code == 0 ? LastSocketError() : Code; }

} // namespace

std::string SocketErrorText(std::int32_t Code)
{
    Code = Resolved(Code);
    const auto found = ErrorTexts().find(Code);
    std::string text = found != ErrorTexts().end() ? found->second : "Socket error.";
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, " (#%08X)", static_cast<std::uint32_t>(Code));
    return text + suffix;
}

TPacketException::TPacketException(std::int32_t Code) : TPacketException(Resolved(Code), 0) {}

TPacketException::TPacketException(std::int32_t ResolvedCode, int)
    : Exception(SocketErrorText(ResolvedCode)), FCode(ResolvedCode)
{
}

} // namespace qubra
