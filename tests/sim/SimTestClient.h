#pragma once

// A plain UDP socket for talking to simulated devices from a test.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/SimBytes.h"
#include "sim/SimText.h"

namespace qubra::simtest {

struct TDatagram {
    TBytes Data;
    std::string IP;
    std::uint16_t Port = 0;
};

class TTestClient {
public:
    explicit TTestClient(const std::string& bindIP = "127.0.0.1")
    {
        Socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(Socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = SimTextToIP(bindIP);
        if (bind(Socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("test client cannot bind " + bindIP);
        socklen_t length = sizeof address;
        getsockname(Socket, reinterpret_cast<sockaddr*>(&address), &length);
        MyPort = ntohs(address.sin_port);
    }
    ~TTestClient() { close(Socket); }
    TTestClient(const TTestClient&) = delete;
    TTestClient& operator=(const TTestClient&) = delete;

    std::uint16_t Port() const { return MyPort; }

    void SendTo(const std::string& ip, std::uint16_t port, const TBytes& data)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = SimTextToIP(ip);
        address.sin_port = htons(port);
        if (sendto(Socket, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&address),
                   sizeof address) < 0)
            throw std::runtime_error("test client cannot send to " + ip);
    }

    // The next datagram, or none within the time.
    std::optional<TDatagram> Receive(int timeoutMs)
    {
        pollfd wait{Socket, POLLIN, 0};
        if (poll(&wait, 1, timeoutMs) != 1)
            return std::nullopt;
        TBytes buffer(65536);
        sockaddr_in sender{};
        socklen_t length = sizeof sender;
        const ssize_t got = recvfrom(Socket, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&sender), &length);
        if (got < 0)
            return std::nullopt;
        buffer.resize(static_cast<std::size_t>(got));
        return TDatagram{buffer, SimIPToText(sender.sin_addr.s_addr), ntohs(sender.sin_port)};
    }

    // Every datagram that arrives until `quietMs` pass without one.
    std::vector<TDatagram> ReceiveAll(int quietMs)
    {
        std::vector<TDatagram> all;
        while (auto datagram = Receive(quietMs))
            all.push_back(*datagram);
        return all;
    }

private:
    int Socket = -1;
    std::uint16_t MyPort = 0;
};

inline TBytes Request(std::uint8_t code)
{
    return {0x00, 0x00, 0x00, code};
}

} // namespace qubra::simtest
