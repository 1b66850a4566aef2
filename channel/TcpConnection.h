#pragma once

#include <cstdint>
#include <string>

namespace qubra {

// One TCP connection to a device's data port, non-blocking, without Nagle's delay (a terminal
// sends single keys). Closed with the object.
class TTcpConnection {
public:
    TTcpConnection() = default;
    ~TTcpConnection() { Close(); }
    TTcpConnection(const TTcpConnection&) = delete;
    TTcpConnection& operator=(const TTcpConnection&) = delete;

    // Starts connecting; false (with Error set) when that fails at once.
    bool Begin(std::uint32_t IP, std::uint16_t Port);
    // Once the descriptor is writable: true when connected, else false with Error set.
    bool Finish();
    // Connects within TimeoutMs; a readable StopFd (-1: none) ends the wait with Error empty.
    bool Connect(std::uint32_t IP, std::uint16_t Port, int TimeoutMs, int StopFd);
    void Close();

    int Handle() const { return FHandle; }
    bool Open() const { return FHandle >= 0; }
    const std::string& Error() const { return FError; }

private:
    bool Fail(int Code);

    int FHandle = -1;
    std::string FError;
};

} // namespace qubra
