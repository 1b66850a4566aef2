#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/TSimDevice.h"

namespace qubra {

// Runs simulated devices on one transport in a thread of its own: receives datagrams, hands
// them to the device they are meant for, and sends the answers when they are due.
//
// Devices are added before Start(). The devices live as long as the host; references to them
// stay valid, and their Received() and Record() may be read while the host runs.
class TSimHost {
public:
    TSimHost(const TSimHost&) = delete;
    TSimHost& operator=(const TSimHost&) = delete;
    // Subclasses call Stop() first in their destructors: the thread uses their overrides.
    virtual ~TSimHost();

    // Adds a device and opens what it needs to listen; raises ESimError when that fails.
    TSimDevice& AddDevice(const TSimMAC& mac, std::uint32_t ip, const TSimKnobs& knobs = {});
    std::size_t DeviceCount() const { return Devices.size(); }
    TSimDevice& Device(std::size_t index) { return *Devices.at(index); }

    void Start();
    // Stops the thread; answers not yet due are dropped. Also done by the destructor.
    void Stop();
    bool Running() const { return Worker.joinable(); }
    // The UDP port the devices listen on.
    virtual std::uint16_t Port() const = 0;

    // One line per datagram in and out (with the whole payload in hex) and per ARP answer.
    // Called on the host's thread; set it before Start().
    std::function<void(const std::string&)> OnLog;

protected:
    TSimHost();

    // Opens what `device` needs to be reached at its present address.
    virtual void Attach(std::size_t index) = 0;
    virtual std::vector<int> Descriptors() const = 0;
    virtual void Receive(int descriptor, TSimClock::time_point now) = 0;
    virtual void Transmit(std::size_t index, const TSimAnswer& answer) = 0;
    // Called after every pass: follow devices that changed their address.
    virtual void Follow() {}
    // Called once the host runs, and before it stops.
    virtual void Started() {}
    virtual void Stopping() {}

    // Gives a received datagram to a device, logs it and queues the answers.
    void Dispatch(std::size_t index, const TBytes& data, const TSimPeer& from, std::uint32_t to,
                  TSimClock::time_point now);
    void Log(const std::string& line) const;

    std::vector<std::unique_ptr<TSimDevice>> Devices;

private:
    struct TPending {
        std::size_t Device;
        TSimAnswer Answer;
    };

    void Run();
    void SendDue(TSimClock::time_point now);
    int MillisecondsToNextDue(TSimClock::time_point now) const;
    void Wake() const;

    std::vector<TPending> Pending;
    std::thread Worker;
    std::atomic<bool> StopRequested{false};
    int WakeRead = -1;
    int WakeWrite = -1;
};

// A line of the log: direction, device, endpoints and payload.
std::string SimLogLine(const std::string& direction, const TSimMAC& device,
                       const std::string& from, const std::string& to, const TBytes& data);

} // namespace qubra
