#include "ConversationTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>

namespace qubra::test {
namespace {

// Datagrams a device or a stranger on the LAN may send: truncated, oversized, duplicated,
// late and random, from the device's address or from others. None of them is a matching
// answer from the device.
class DatagramNoise {
public:
    explicit DatagramNoise(std::uint32_t start) : Random(start) {}

    std::pair<TBytes, std::string> Next()
    {
        const bool fromDevice = Pick(2) == 0;
        const std::string ip = fromDevice ? kDeviceIP : Strangers[Pick(Strangers.size())];
        TBytes data;
        switch (Pick(6)) {
        case 0: data = RandomBytes(Pick(200)); break;
        case 1: data = Datagram(0xD0, 1 + Pick(3)); break;                    // too short for a header
        case 2: data = Datagram(0xD0, 65535, static_cast<std::uint8_t>(Pick(256))); break;
        case 3: data = Datagram(0xB0, Pick(130)); break;
        case 4: data = Datagram(0xF7, Pick(40), 0x5A); break;
        default: data = Last.empty() ? RandomBytes(120) : Last; break;        // a repeat
        }
        // From the device only what cannot be its answer to a query, a write or a search.
        if (fromDevice && data.size() > 3 && (data[3] == 0xD0 || data[3] == 0xB0 || data[3] == 0xF7))
            data[3] = 0xA5;
        Last = data;
        return {data, ip};
    }

    std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(Random); }

    TBytes RandomBytes(std::size_t size)
    {
        TBytes data(size);
        for (std::uint8_t& b : data)
            b = static_cast<std::uint8_t>(Pick(256));
        return data;
    }

private:
    std::mt19937 Random;
    TBytes Last;
    const std::vector<std::string> Strangers{"127.0.0.2", "127.0.0.10", "10.0.0.1", "", "127.0.0.1 ",
                                             "255.255.255.255"};
};

class RobustnessTest : public ConversationTest {
protected:
    DatagramNoise Noise{20240601};

    void InjectNoiseAtEveryPump(int perPump)
    {
        View.OnPump = [this, perPump] {
            for (int i = 0; i < perPump; ++i) {
                auto [data, ip] = Noise.Next();
                Inject(data, ip);
            }
        };
    }
};

TEST_F(RobustnessTest, NoiseNeverChangesARecordNorCountsAsAnAnswer)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(0);
    const TBytes before = SetupRecord().GetData();
    InjectNoiseAtEveryPump(15);
    for (int round = 0; round < 25; ++round) {
        EXPECT_EQ(Sender->QueryRecords(kDeviceIP), 0);
        // Only the header changes, when the record is sent with its set code.
        const TBytes after = SetupRecord().GetData();
        ASSERT_TRUE(std::equal(after.begin() + 4, after.end(), before.begin() + 4)) << "round " << round;
        SetupRecord().SetReceived(true);
        EXPECT_EQ(Sender->SendRecords(kDeviceIP), 0);
        EXPECT_EQ(Sender->SearchByIP(kDeviceIP, "", true), "");
        EXPECT_FALSE(Sender->DeviceAnswered);
    }
}

TEST_F(RobustnessTest, AnswersAmidNoiseAreStillTaken)
{
    TSimDevice& device = AddDevice(kDeviceIP, kDeviceMAC, {.Duplicates = 1});
    TBytes stored = device.Record();
    stored[70] = 0x3C;
    device.SetRecord(stored);
    Start(300);
    InjectNoiseAtEveryPump(20);
    for (int round = 0; round < 10; ++round) {
        ASSERT_EQ(Sender->QueryRecords(kDeviceIP), 1);
        const TBytes got = SetupRecord().GetData();
        EXPECT_TRUE(std::equal(got.begin() + 4, got.end(), stored.begin() + 4));
        EXPECT_GE(Sender->SendRecords(kDeviceIP), 1);
        EXPECT_EQ(Sender->SearchByIP(kDeviceIP), kDeviceMAC);
    }
}

TEST_F(RobustnessTest, RealDatagramsFromStrangersDuringABroadcastSearch)
{
    AddDevice(kDeviceIP, kDeviceMAC, {.Silent = true});
    Start(500);
    const TBytes before = SetupRecord().GetData();

    std::atomic<bool> stop{false};
    std::thread stranger;
    View.OnPump = [&] {
        if (stranger.joinable())
            return;
        sockaddr_in local{};
        socklen_t length = sizeof(local);
        ASSERT_EQ(getsockname(Sender->MySock.Handle(), reinterpret_cast<sockaddr*>(&local), &length), 0);
        stranger = std::thread([&, port = local.sin_port] {
            const int fd = socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in from{};
            from.sin_family = AF_INET;
            from.sin_addr.s_addr = inet_addr("127.0.0.5");
            bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof(from));
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = port;
            to.sin_addr.s_addr = inet_addr("127.0.0.1");
            DatagramNoise noise(7);
            while (!stop) {
                TBytes data = noise.Next().first;
                data.resize(std::min<std::size_t>(data.size(), 65507));  // the largest UDP payload
                sendto(fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            close(fd);
        });
    };
    EXPECT_EQ(Sender->SearchByMAC(kDeviceMAC), "");
    stop = true;
    ASSERT_TRUE(stranger.joinable());
    stranger.join();
    EXPECT_EQ(SetupRecord().GetData(), before);
    EXPECT_FALSE(Sender->DeviceAnswered);
}

} // namespace
} // namespace qubra::test
