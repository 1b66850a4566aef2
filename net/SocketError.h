#pragma once

#include <cstdint>

namespace qubra {

// Socket error codes are numbered as on WinSock, whatever the platform.
constexpr std::int32_t WSAEINTR = 10004;
constexpr std::int32_t WSAEACCES = 10013;
constexpr std::int32_t WSAEFAULT = 10014;
constexpr std::int32_t WSAEINVAL = 10022;
constexpr std::int32_t WSAEMFILE = 10024;
constexpr std::int32_t WSAEWOULDBLOCK = 10035;
constexpr std::int32_t WSAEINPROGRESS = 10036;
constexpr std::int32_t WSAEALREADY = 10037;
constexpr std::int32_t WSAENOTSOCK = 10038;
constexpr std::int32_t WSAEDESTADDRREQ = 10039;
constexpr std::int32_t WSAEMSGSIZE = 10040;
constexpr std::int32_t WSAEPROTOTYPE = 10041;
constexpr std::int32_t WSAENOPROTOOPT = 10042;
constexpr std::int32_t WSAEPROTONOSUPPORT = 10043;
constexpr std::int32_t WSAESOCKTNOSUPPORT = 10044;
constexpr std::int32_t WSAEOPNOTSUPP = 10045;
constexpr std::int32_t WSAEPFNOSUPPORT = 10046;
constexpr std::int32_t WSAEAFNOSUPPORT = 10047;
constexpr std::int32_t WSAEADDRINUSE = 10048;
constexpr std::int32_t WSAEADDRNOTAVAIL = 10049;
constexpr std::int32_t WSAENETDOWN = 10050;
constexpr std::int32_t WSAENETUNREACH = 10051;
constexpr std::int32_t WSAENETRESET = 10052;
constexpr std::int32_t WSAECONNABORTED = 10053;
constexpr std::int32_t WSAECONNRESET = 10054;
constexpr std::int32_t WSAENOBUFS = 10055;
constexpr std::int32_t WSAEISCONN = 10056;
constexpr std::int32_t WSAENOTCONN = 10057;
constexpr std::int32_t WSAESHUTDOWN = 10058;
constexpr std::int32_t WSAETIMEDOUT = 10060;
constexpr std::int32_t WSAECONNREFUSED = 10061;
constexpr std::int32_t WSAEHOSTDOWN = 10064;
constexpr std::int32_t WSAEHOSTUNREACH = 10065;
constexpr std::int32_t WSANOTINITIALISED = 10093;

// The code for a platform error number; numbers without a counterpart are passed through.
std::int32_t SocketErrorFromErrno(int Errno);

// The calling thread's last socket error (0 when none was recorded on this thread).
std::int32_t LastSocketError();
void SetLastSocketError(std::int32_t Code);

} // namespace qubra
