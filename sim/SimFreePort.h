#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace qubra {

// A TCP port nobody listens on at the moment at IP (network order), for a simulated device's
// data channel in tests and benchmarks.
inline std::uint16_t SimFreeTcpPort(std::uint32_t IP = htonl(INADDR_LOOPBACK))
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = IP;
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

} // namespace qubra
