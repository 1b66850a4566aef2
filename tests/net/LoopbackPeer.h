#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "net/Packet.h"

namespace qubra::test {

// A plain socket on loopback (datagram unless told otherwise), independent of the code under test.
class TLoopbackPeer {
public:
    // On 127.0.0.1, or on every address when loopback broadcasts must reach it.
    explicit TLoopbackPeer(bool AnyAddress = false, int Type = SOCK_DGRAM) : FHandle(socket(AF_INET, Type, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(AnyAddress ? INADDR_ANY : INADDR_LOOPBACK);
        bind(FHandle, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(FHandle, reinterpret_cast<sockaddr*>(&address), &length);
        FPort = ntohs(address.sin_port);
    }
    ~TLoopbackPeer() { close(FHandle); }

    std::uint16_t Port() const { return FPort; }
    int Handle() const { return FHandle; }

    void SendTo(std::uint16_t Port, const TBytes& Data) const
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(Port);
        sendto(FHandle, Data.data(), Data.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }

    std::optional<TMyPacket> Receive(int TimeoutMs = 2000) const
    {
        pollfd wait{FHandle, POLLIN, 0};
        if (poll(&wait, 1, TimeoutMs) != 1)
            return std::nullopt;
        TBytes buffer(65535);
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t size = recvfrom(FHandle, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        buffer.resize(size < 0 ? 0 : size);
        return TMyPacket{buffer, inet_ntoa(from.sin_addr), ntohs(from.sin_port)};
    }

private:
    int FHandle;
    std::uint16_t FPort = 0;
};

// A port on 127.0.0.1 that nobody listens on (bound once, then released).
inline std::uint16_t DeadPort() { return TLoopbackPeer().Port(); }

inline long ElapsedMs(std::chrono::steady_clock::time_point Since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Since).count();
}

} // namespace qubra::test
