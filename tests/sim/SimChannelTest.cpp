// The simulated device's serial data channel: a loopback plug behind TCP at its address and
// unit_port, paced at the record's line, following the record and the knobs.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "sim/SimFreePort.h"
#include "sim/SimRecords.h"
#include "sim/TSimUdpHost.h"

using namespace qubra;

namespace {

// Each test its own address: the tests may run side by side.
std::uint32_t DeviceIP()
{
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    return SimTextToIP(name.starts_with("Echoes") ? "127.0.24.100" : "127.0.24.101");
}

// A TCP port free at the device's address.
// A blocking connection, or -1 when refused (retried briefly: the channel follows its record
// within a few milliseconds).
int Connect(std::uint16_t Port, bool ExpectRefused = false)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = DeviceIP();
        address.sin_port = htons(Port);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            if (!ExpectRefused)
                return fd;
        } else if (ExpectRefused) {
            close(fd);
            return -1;
        }
        close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ExpectRefused ? 0 : -1;
}

// Reads until Bytes came or the peer ended or nothing came for a second.
std::string Receive(int Fd, std::size_t Bytes)
{
    std::string got;
    pollfd readable{Fd, POLLIN, 0};
    while (got.size() < Bytes && poll(&readable, 1, 1000) > 0) {
        char chunk[4096];
        const ssize_t n = recv(Fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

class SimChannelTest : public ::testing::Test {
protected:
    TSimUdpHost Host;
    TSimDevice* Device = nullptr;
    std::uint16_t Port = SimFreeTcpPort(DeviceIP());

    void Start(const TSimKnobs& Knobs = {})
    {
        Device = &Host.AddDevice(SimTextToMAC("00-20-4a-00-24-64"), DeviceIP(), Knobs);
        Edit([&](TBytes& record) { SetPort(record, Port); });
        Host.Start();
    }
    template <typename TEdit>
    void Edit(TEdit&& Change)
    {
        TBytes record = Device->Record();
        Change(record);
        Device->SetRecord(record);
    }
    static void SetPort(TBytes& Record, std::uint16_t Port)
    {
        Record[kSimUnitPortOffset] = static_cast<std::uint8_t>(Port);
        Record[kSimUnitPortOffset + 1] = static_cast<std::uint8_t>(Port >> 8);
    }
};

} // namespace

TEST_F(SimChannelTest, EchoesAtTheLineSpeedOfTheRecordAndFollowsItsPortAndAcceptance)
{
    Start();
    // Line format and speed as the record gives them: 9600 8N1 carries 960 bytes a second,
    // 19200 7E2 (11 bits a character) 1745.
    struct TCase {
        std::uint8_t Mode, Speed;
        double BytesPerSecond;
    };
    for (const TCase c : {TCase{0x4C, 0x02, 960.0}, TCase{0xF8, 0x01, 19200.0 / 11}}) {
        Edit([&](TBytes& record) {
            record[kSimLineModeOffset] = c.Mode;
            record[kSimLineSpeedOffset] = c.Speed;
        });
        EXPECT_DOUBLE_EQ(SimLineOf(Device->Record()).BytesPerSecond(), c.BytesPerSecond);
        const int fd = Connect(Port);
        ASSERT_GE(fd, 0);
        const std::string sent(static_cast<std::size_t>(c.BytesPerSecond / 5), 'p');  // 200 ms of line
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(send(fd, sent.data(), sent.size(), 0), static_cast<ssize_t>(sent.size()));
        EXPECT_EQ(Receive(fd, sent.size()), sent);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        EXPECT_GT(ms, 180.0);
        EXPECT_LT(ms, 300.0);
        close(fd);
    }

    // A new port is taken at once; never accepting, or datagram mode, closes the channel.
    const std::uint16_t moved = SimFreeTcpPort(DeviceIP());
    Edit([&](TBytes& record) { SetPort(record, moved); });
    EXPECT_EQ(Connect(Port, true), -1);
    const int fd = Connect(moved);
    EXPECT_GE(fd, 0);
    close(fd);
    for (const auto& change : {std::pair{kSimConnectOffset, std::uint8_t{0x00}},
                               std::pair{kSimConnectOffset, std::uint8_t{0xCC}},
                               std::pair{kSimDisconnectOffset, std::uint8_t{0x01}}}) {
        Edit([&](TBytes& record) { record[change.first] = change.second; });
        EXPECT_EQ(Connect(moved, true), -1) << "byte " << change.first << " = " << int(change.second);
        Edit([&](TBytes& record) { record[kSimConnectOffset] = 0xC0, record[kSimDisconnectOffset] = 0; });
        const int again = Connect(moved);
        EXPECT_GE(again, 0);
        close(again);
    }
}

TEST_F(SimChannelTest, TakesOneConnectionCorruptsOneByteAndDropsAfterItsBytes)
{
    TSimKnobs knobs;
    knobs.Unpaced = true;
    knobs.DropAfterBytes = 10;
    knobs.CorruptAt = 3;
    Start(knobs);
    const int first = Connect(Port);
    ASSERT_GE(first, 0);
    const int second = Connect(Port);
    ASSERT_GE(second, 0);
    EXPECT_EQ(Receive(second, 1), "") << "a second connection is closed at once";
    close(second);

    const std::string sent = "0123456789abcdefghij";
    ASSERT_EQ(send(first, sent.data(), sent.size(), 0), static_cast<ssize_t>(sent.size()));
    std::string expected = sent.substr(0, 10);
    expected[3] = static_cast<char>(expected[3] ^ 0xFF);
    EXPECT_EQ(Receive(first, sent.size()), expected) << "ten bytes back, the fourth inverted, then the end";
    close(first);

    knobs.RefuseConnections = true;
    Device->SetKnobs(knobs);
    EXPECT_EQ(Connect(Port, true), -1);
}
