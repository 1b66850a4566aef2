#pragma once

#include <cstdint>
#include <string>

#include "model/Exception.h"

namespace qubra {

// Message for a socket error code (WinSock numbering, see net/SocketError.h): the table text,
// or "Socket error." for an unknown code, followed by " (#XXXXXXXX)". Code 0 stands for the
// calling thread's last socket error.
std::string SocketErrorText(std::int32_t Code);

// A failed socket operation. Code 0 at construction is replaced by the thread's last socket
// error, so Code() is always the number shown in the message.
class TPacketException : public Exception {
public:
    explicit TPacketException(std::int32_t Code);
    std::int32_t Code() const { return FCode; }

private:
    TPacketException(std::int32_t ResolvedCode, int);
    std::int32_t FCode;
};

} // namespace qubra
