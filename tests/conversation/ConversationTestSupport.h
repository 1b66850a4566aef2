#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "conversation/DataSender.h"
#include "conversation/RecordingView.h"
#include "i18n/Language.h"
#include "model/DataManager.h"
#include "model/DeviceMapping.h"
#include "sim/TSimUdpHost.h"

#include <unistd.h>

namespace qubra::test {

inline constexpr const char* kDeviceIP = "127.0.0.1";
inline constexpr const char* kDeviceMAC = "00-20-4a-00-00-01";
inline constexpr const char* kLoopbackBroadcast = "127.255.255.255";

using TClock = std::chrono::steady_clock;

inline long long MillisecondsSince(TClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
}

inline int CountEndingWith(const std::vector<std::string>& texts, const std::string& suffix)
{
    return static_cast<int>(std::count_if(texts.begin(), texts.end(), [&](const std::string& t) {
        return t.size() >= suffix.size() && t.compare(t.size() - suffix.size(), suffix.size(), suffix) == 0;
    }));
}

// A datagram of Size bytes filled with Fill, with Code in the code byte of its header.
inline TBytes Datagram(std::uint8_t Code, std::size_t Size, std::uint8_t Fill = 0)
{
    TBytes data(Size, Fill);
    if (Size > 3) {
        data[0] = data[1] = data[2] = 0;
        data[3] = Code;
    }
    return data;
}

// While it lives, every message text is its key in brackets ("[z2]"), which tells apart the
// keys that share one built-in text.
class TKeyedTexts {
public:
    TKeyedTexts() { Load(true); }
    ~TKeyedTexts() { Load(false); }
    TKeyedTexts(const TKeyedTexts&) = delete;
    TKeyedTexts& operator=(const TKeyedTexts&) = delete;

private:
    static void Load(bool keyed)
    {
        std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><language name=\"keys\"><const>";
        for (const TMessage& message : AllMessages)
            if (keyed)
                body += "<" + std::string(message.Key) + " text=\"[" + std::string(message.Key) + "]\"/>";
        body += "</const></language>";
        const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                           ("qubra-keys-" + std::to_string(getpid()) + ".lng.xml");
        std::ofstream(file, std::ios::binary) << body;
        Language.LoadLanguage(file.string());
        std::filesystem::remove(file);
    }
};

// Simulated devices on loopback, the built-in mapping, a recording view and the engine aimed
// at the devices' port with the loopback broadcast.
class ConversationTest : public ::testing::Test {
protected:
    TSimUdpHost Host;
    std::unique_ptr<TDataManager> Manager = LoadDeviceMapping("");
    TRecordingView View;
    std::unique_ptr<TfDataSender> Sender;

    TSimDevice& AddDevice(const std::string& ip = kDeviceIP, const std::string& mac = kDeviceMAC,
                          const TSimKnobs& knobs = {})
    {
        return Host.AddDevice(SimTextToMAC(mac), SimTextToIP(ip), knobs);
    }

    // Starts the devices and creates the engine with a short answer time-out.
    void Start(std::int32_t answerTimeout = 200)
    {
        Host.Start();
        Sender = std::make_unique<TfDataSender>(View, Manager.get());
        Sender->DevicePort = Host.Port();
        Sender->BroadcastIP = kLoopbackBroadcast;
        Sender->AnswerTimeout = answerTimeout;
    }

    TDataPacket& SetupRecord() { return *Manager->FindPacket("SetupRecord0"); }

    // Puts a datagram into the engine's receive queue as if it had arrived from IP.
    void Inject(const TBytes& data, const std::string& ip)
    {
        Sender->MySock.ReceiveQueue().Push({data, ip, Host.Port()});
    }

    // Injects the datagrams at the first pump of the next operation.
    void InjectAtFirstPump(std::vector<std::pair<TBytes, std::string>> datagrams)
    {
        View.OnPump = [this, datagrams = std::move(datagrams), done = false]() mutable {
            if (done)
                return;
            done = true;
            for (const auto& [data, ip] : datagrams)
                Inject(data, ip);
        };
    }
};

} // namespace qubra::test
