#pragma once

#include <cstdint>
#include <string>

#include "sim/TSimHost.h"

namespace qubra {

// Simulated devices at Ethernet level on one interface (a packet socket; needs CAP_NET_RAW).
// Each device answers ARP requests for its present address (unless silent to ARP), takes
// UDP datagrams for the device port sent to its MAC whatever their destination address, and
// broadcasts; it answers with whole Ethernet/IPv4/UDP frames from its present address to the
// requester's MAC, address and port. Use only on interfaces inside a network namespace made
// for the purpose.
class TSimRawHost : public TSimHost {
public:
    static constexpr std::uint16_t kDevicePort = 30718;

    explicit TSimRawHost(const std::string& interfaceName, std::uint16_t port = kDevicePort);
    ~TSimRawHost() override;

    std::uint16_t Port() const override { return MyPort; }

protected:
    void Attach(std::size_t) override {}
    std::vector<int> Descriptors() const override { return {Socket}; }
    void Receive(int descriptor, TSimClock::time_point now) override;
    void Transmit(std::size_t index, const TSimAnswer& answer) override;

private:
    void AnswerARP(const TBytes& frame, TSimClock::time_point now);
    void TakeDatagram(const TBytes& frame, TSimClock::time_point now);
    void SendFrame(const TBytes& frame);

    std::uint16_t MyPort;
    int Socket = -1;
    int InterfaceIndex = 0;
    std::uint16_t Identification = 0;
};

} // namespace qubra
