#include "sim/TSimHost.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qubra {

TSimHost::TSimHost()
{
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        throw ESimError("cannot create the wake-up pipe");
    WakeRead = ends[0];
    WakeWrite = ends[1];
}

TSimHost::~TSimHost()
{
    Stop();
    close(WakeRead);
    close(WakeWrite);
}

TSimDevice& TSimHost::AddDevice(const TSimMAC& mac, std::uint32_t ip, const TSimKnobs& knobs)
{
    if (Running())
        throw ESimError("devices are added before the host starts");
    Devices.push_back(std::make_unique<TSimDevice>(mac, ip, knobs));
    try {
        Attach(Devices.size() - 1);
    } catch (...) {
        Devices.pop_back();
        throw;
    }
    return *Devices.back();
}

void TSimHost::Start()
{
    if (Running())
        return;
    StopRequested = false;
    Worker = std::thread([this] { Run(); });
    Started();
}

void TSimHost::Stop()
{
    if (!Running())
        return;
    Stopping();
    StopRequested = true;
    Wake();
    Worker.join();
    Pending.clear();
}

void TSimHost::Wake() const
{
    const char byte = 0;
    [[maybe_unused]] auto written = write(WakeWrite, &byte, 1);
}

void TSimHost::Run()
{
    while (!StopRequested) {
        SendDue(TSimClock::now());
        Follow();
        std::vector<pollfd> watched{{WakeRead, POLLIN, 0}};
        for (int descriptor : Descriptors())
            watched.push_back({descriptor, POLLIN, 0});
        const int ready = poll(watched.data(), watched.size(),
                               MillisecondsToNextDue(TSimClock::now()));
        if (ready < 0 && errno != EINTR)
            break;
        char drain[64];
        while (read(WakeRead, drain, sizeof drain) > 0) {
        }
        for (std::size_t i = 1; i < watched.size() && !StopRequested; ++i)
            if (watched[i].revents & POLLIN)
                Receive(watched[i].fd, TSimClock::now());
    }
}

void TSimHost::SendDue(TSimClock::time_point now)
{
    // Stable order: answers due at the same moment leave in the order they were made.
    std::stable_sort(Pending.begin(), Pending.end(), [](const TPending& a, const TPending& b) {
        return a.Answer.SendAt < b.Answer.SendAt;
    });
    std::size_t sent = 0;
    for (; sent < Pending.size() && Pending[sent].Answer.SendAt <= now; ++sent) {
        const TPending& due = Pending[sent];
        const TSimAnswer& answer = due.Answer;
        Log(SimLogLine(answer.Lost ? "lost" : "out", Devices[due.Device]->MAC(),
                       SimIPToText(answer.From) + ":" + std::to_string(Port()),
                       SimIPToText(answer.To.IP) + ":" + std::to_string(answer.To.Port),
                       answer.Data));
        if (!answer.Lost)
            Transmit(due.Device, answer);
    }
    Pending.erase(Pending.begin(), Pending.begin() + sent);
}

int TSimHost::MillisecondsToNextDue(TSimClock::time_point now) const
{
    if (Pending.empty())
        return -1;
    const auto next = std::min_element(Pending.begin(), Pending.end(),
                                       [](const TPending& a, const TPending& b) {
                                           return a.Answer.SendAt < b.Answer.SendAt;
                                       })->Answer.SendAt;
    if (next <= now)
        return 0;
    return static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
}

void TSimHost::Dispatch(std::size_t index, const TBytes& data, const TSimPeer& from,
                        std::uint32_t to, TSimClock::time_point now)
{
    TSimDevice& device = *Devices[index];
    const bool deaf = device.Restarting(now);
    Log(SimLogLine(deaf ? "deaf" : "in", device.MAC(),
                   SimIPToText(from.IP) + ":" + std::to_string(from.Port),
                   SimIPToText(to) + ":" + std::to_string(Port()), data));
    for (TSimAnswer& answer : device.Handle(data, from, to, now))
        Pending.push_back({index, std::move(answer)});
}

void TSimHost::Log(const std::string& line) const
{
    if (OnLog)
        OnLog(line);
}

std::string SimLogLine(const std::string& direction, const TSimMAC& device,
                       const std::string& from, const std::string& to, const TBytes& data)
{
    return direction + " " + SimMACToText(device) + " " + from + " > " + to + " " +
           std::to_string(data.size()) + " " + SimHex(data);
}

} // namespace qubra
