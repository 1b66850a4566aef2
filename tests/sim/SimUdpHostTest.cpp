#include "sim/TSimUdpHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/sim/SimTestClient.h"

using namespace qubra;
using simtest::Request;
using simtest::TTestClient;

namespace {

TSimMAC MAC(std::uint8_t last)
{
    return {0x00, 0x20, 0x4A, 0x00, 0x00, last};
}

std::uint32_t IP(const char* text)
{
    return SimTextToIP(text);
}

} // namespace

TEST(SimUdpHost, DeviceOnAnEphemeralPortAnswersFromItsAddress)
{
    TSimUdpHost host;
    TSimDevice& device = host.AddDevice(MAC(1), IP("127.0.0.1"));
    host.Start();
    ASSERT_NE(host.Port(), 0);

    TTestClient client;
    client.SendTo("127.0.0.1", host.Port(), Request(0xE0));
    const auto answer = client.Receive(2000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->IP, "127.0.0.1");
    EXPECT_EQ(answer->Port, host.Port());
    ASSERT_EQ(answer->Data.size(), 120u);
    EXPECT_EQ(answer->Data[3], 0xD0);

    const auto received = device.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].Data, Request(0xE0));
    EXPECT_EQ(received[0].From.Port, client.Port());
    EXPECT_EQ(SimIPToText(received[0].From.IP), "127.0.0.1");
}

TEST(SimUdpHost, BroadcastReachesEveryDeviceAndEachAnswersFromItsOwnAddress)
{
    TSimUdpHost host;
    host.AddDevice(MAC(1), IP("127.0.3.1"));
    host.AddDevice(MAC(2), IP("127.0.3.2"));
    // A second host on the same port, as a second process would be, hears it too; one on
    // another port does not.
    TSimUdpHost sharing(host.Port());
    sharing.AddDevice(MAC(5), IP("127.0.3.5"));
    TSimUdpHost elsewhere;
    elsewhere.AddDevice(MAC(3), IP("127.0.3.3"));
    host.Start();
    sharing.Start();
    elsewhere.Start();

    TTestClient client;
    client.SendTo("127.255.255.255", host.Port(), Request(0xF6));
    std::set<std::string> answered;
    for (const auto& answer : client.ReceiveAll(300)) {
        ASSERT_EQ(answer.Data.size(), 30u);
        EXPECT_EQ(answer.Port, host.Port());
        const std::string expected = "127.0.3." + std::to_string(answer.Data[29]);
        EXPECT_EQ(answer.IP, expected) << "the MAC must come from the address that owns it";
        answered.insert(answer.IP);
    }
    EXPECT_EQ(answered, (std::set<std::string>{"127.0.3.1", "127.0.3.2", "127.0.3.5"}));
    EXPECT_EQ(host.Device(0).Received().at(0).To, IP("127.255.255.255"));

    // A unicast reaches only its addressee.
    client.SendTo("127.0.3.2", host.Port(), Request(0xF6));
    const auto one = client.ReceiveAll(200);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].IP, "127.0.3.2");
}

TEST(SimUdpHost, RestartMovesTheDeviceToItsNewAddress)
{
    TSimUdpHost host;
    TSimDevice& device = host.AddDevice(MAC(1), IP("127.0.4.1"), {.RestartMs = 300});
    host.Start();
    TTestClient client;

    TBytes record = device.Record();
    record[3] = 0xC0;
    SimWriteIP(record, 4, IP("127.0.4.9"));
    client.SendTo("127.0.4.1", host.Port(), record);
    const auto confirmation = client.Receive(2000);
    ASSERT_TRUE(confirmation);
    EXPECT_EQ(confirmation->Data[3], 0xB0);
    EXPECT_EQ(confirmation->IP, "127.0.4.1");

    client.SendTo("127.0.4.9", host.Port(), Request(0xF6));
    EXPECT_FALSE(client.Receive(150)) << "silent while restarting";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    client.SendTo("127.0.4.1", host.Port(), Request(0xF6));
    client.SendTo("127.0.4.9", host.Port(), Request(0xF6));
    const auto after = client.ReceiveAll(200);
    ASSERT_EQ(after.size(), 1u) << "the old address is gone";
    EXPECT_EQ(after[0].IP, "127.0.4.9");
    EXPECT_EQ(after[0].Data[3], 0xF7);
}

TEST(SimUdpHost, DelayedAnswerLeavesFromTheOldAddressAfterAMove)
{
    TSimUdpHost host;
    TSimDevice& device =
        host.AddDevice(MAC(1), IP("127.0.5.1"), {.AnswerDelayMs = 120, .RestartMs = 0});
    host.Start();
    TTestClient client;

    TBytes request(124, 0);
    request[3] = 0xFD;
    SimWriteIP(request, 4, IP("127.0.5.7"));
    const auto sent = std::chrono::steady_clock::now();
    client.SendTo("127.0.5.1", host.Port(), request);
    const auto answer = client.Receive(2000);
    ASSERT_TRUE(answer);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(115));
    EXPECT_EQ(answer->Data[3], 0xFB);
    EXPECT_EQ(answer->IP, "127.0.5.1");
    EXPECT_EQ(SimIPToText(device.IP()), "127.0.5.7");
}

TEST(SimUdpHost, RefusesAddressesOffLoopbackAndLateDevices)
{
    TSimUdpHost host;
    EXPECT_THROW(host.AddDevice(MAC(1), IP("192.0.2.1")), ESimError);
    EXPECT_EQ(host.DeviceCount(), 0u);
    EXPECT_THROW(TSimUdpHost(0, IP("192.0.2.255")), ESimError);
    host.AddDevice(MAC(1), IP("127.0.7.1"));
    host.Start();
    EXPECT_THROW(host.AddDevice(MAC(2), IP("127.0.7.2")), ESimError);
    host.Stop();
    EXPECT_FALSE(host.Running());

    // A port whose broadcast address is held by someone who does not share it.
    TTestClient holder("127.255.255.255");
    TSimUdpHost blocked(holder.Port());
    EXPECT_THROW(blocked.AddDevice(MAC(3), IP("127.0.7.3")), ESimError);
    EXPECT_EQ(blocked.DeviceCount(), 0u);
}

TEST(SimUdpHost, SurvivesOversizedAndEmptyDatagrams)
{
    TSimUdpHost host;
    TSimDevice& device = host.AddDevice(MAC(1), IP("127.0.8.1"));
    host.Start();
    TTestClient client;
    TBytes huge(65507, 0xAB);
    huge[3] = 0xE0;
    client.SendTo("127.0.8.1", host.Port(), huge);
    client.SendTo("127.0.8.1", host.Port(), {});
    const auto answer = client.Receive(2000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Data.size(), 120u);
    EXPECT_FALSE(client.Receive(100));
    const auto received = device.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].Data.size(), huge.size());
    EXPECT_TRUE(received[1].Data.empty());
}
