#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sim/TSimDevice.h"

namespace qubra {

// The serial data channels of simulated devices, each with a loopback plug on its serial port:
// a device listens for TCP at its address and the record's unit_port while its settings accept
// incoming connections (and it is not in datagram mode), takes one connection at a time and
// sends every byte back, paced at the line speed and format of its record. The channels follow
// the record and the knobs as they change: a new port or address, refusals, drops.
//
// Runs in a thread of its own; devices are served from Start() to Stop().
class TSimChannels {
public:
    TSimChannels();
    ~TSimChannels();
    TSimChannels(const TSimChannels&) = delete;
    TSimChannels& operator=(const TSimChannels&) = delete;

    void Serve(TSimDevice& device);
    void Start();
    void Stop();

    // One line per connection taken, refused, dropped or ended, and when the channel cannot
    // listen. Called on the channels' thread; set it before Start().
    std::function<void(const std::string&)> OnLog;

private:
    struct TChannel;

    void Run();
    void Follow(TChannel& channel);
    void Accept(TChannel& channel);
    void Take(TChannel& channel);
    void Echo(TChannel& channel, TSimClock::time_point now);
    void EndConnection(TChannel& channel, const std::string& why);
    int MillisecondsToNextByte(const TChannel& channel, TSimClock::time_point now) const;
    void Log(const TChannel& channel, const std::string& what) const;

    std::vector<TChannel> Channels;
    std::thread Worker;
    std::atomic<bool> Stopping{false};
    int WakeRead = -1;
    int WakeWrite = -1;
};

} // namespace qubra
