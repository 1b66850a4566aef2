#pragma once

#include <cstdint>
#include <vector>

#include "sim/TSimChannels.h"
#include "sim/TSimHost.h"

namespace qubra {

// Simulated devices over UDP on loopback. Each device has a socket bound to its own address
// and the common port and answers from that address; one extra socket bound to the broadcast
// address (with SO_REUSEADDR, so several hosts can share it) hands broadcasts to every device.
// A device that restarts at a new address is rebound there.
//
// A device on 127.0.0.1 on an ephemeral port, read back after the first device is added:
//
//     TSimUdpHost host;                          // port 0: chosen when the first device binds
//     TSimDevice& device = host.AddDevice(SimTextToMAC("00-20-4a-00-00-01"),
//                                         SimTextToIP("127.0.0.1"));
//     host.Start();
//     std::uint16_t port = host.Port();          // aim the engine's device port here
//     ...                                        // device.Received(), device.Record()
//
// Further devices go on other loopback addresses (127.0.0.2, ...) and share the port; a
// broadcast to 127.255.255.255 and that port reaches all of them. A further device at an address
// that one already has hears only the broadcasts, as the second of two converters sharing an
// address does on a LAN, and answers them from that address.
//
// Each device also has its serial data channel with a loopback plug (TSimChannels) at its
// address and the TCP port its record names, while the host runs.
class TSimUdpHost : public TSimHost {
public:
    static constexpr std::uint32_t kLoopbackBroadcast = 0xFFFFFF7Fu;   // 127.255.255.255

    // Port 0 takes an ephemeral port; a broadcast address of 0 listens to no broadcasts.
    explicit TSimUdpHost(std::uint16_t port = 0, std::uint32_t broadcastIP = kLoopbackBroadcast);
    ~TSimUdpHost() override;

    std::uint16_t Port() const override { return MyPort; }

protected:
    void Attach(std::size_t index) override;
    std::vector<int> Descriptors() const override;
    void Receive(int descriptor, TSimClock::time_point now) override;
    void Transmit(std::size_t index, const TSimAnswer& answer) override;
    void Follow() override;
    void Started() override
    {
        Channels.OnLog = OnLog;
        Channels.Start();
    }
    void Stopping() override { Channels.Stop(); }

private:
    int OpenSocket(std::uint32_t ip, bool shared);

    std::uint16_t MyPort;
    std::uint32_t BroadcastIP;
    int BroadcastSocket = -1;
    std::vector<int> Sockets;            // one per device, bound to its present address
    std::vector<std::uint32_t> BoundIP;  // the address each socket is bound to
    TSimChannels Channels;
};

} // namespace qubra
