#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <random>
#include <thread>

#include "net/MySocket.h"
#include "net/SocketError.h"
#include "tests/net/LoopbackPeer.h"

using namespace qubra;
using namespace qubra::test;

namespace {

std::int32_t ErrorCodeOf(const std::function<void()>& Operation)
{
    try {
        Operation();
    } catch (const TPacketException& error) {
        EXPECT_EQ(error.Message(), SocketErrorText(error.Code()));
        return error.Code();
    }
    return 0;
}

long OpenDescriptors()
{
    long count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

void Pause(int Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }

} // namespace

TEST(MySocketBadInput, OversizedPayloadBadAddressAndPortZeroRaiseTheirTexts)
{
    TMySocket socket;
    socket.SetBroadCastAccept(true);
    socket.Open();
    EXPECT_EQ(ErrorCodeOf([&] { socket.SendTo(TBytes(65535), "127.0.0.1", 9); }), WSAEMSGSIZE);
    // Text that is not an address must not turn into the broadcast address 255.255.255.255.
    for (const char* text : {"300.1.2.3", "device.local", "127.0.0.1x"})
        EXPECT_EQ(ErrorCodeOf([&] { socket.SendTo({1}, text, 9); }), WSAEADDRNOTAVAIL) << text;
    EXPECT_EQ(ErrorCodeOf([&] { socket.SendTo({1}, "127.0.0.1", 0); }), WSAEINVAL);

    socket.SetRemoteIP("not an address");
    EXPECT_EQ(ErrorCodeOf([&] { socket.Connect(false); }), WSAEADDRNOTAVAIL);
    EXPECT_FALSE(socket.Connected());
    socket.SetLocalIP("x");
    EXPECT_EQ(ErrorCodeOf([&] { socket.Bind(); }), WSAEADDRNOTAVAIL);
    socket.Close();
    socket.SetLocalIP("127.0.0.1");
    socket.Bind();
    EXPECT_EQ(ErrorCodeOf([&] { socket.Bind(); }), WSAEINVAL) << "bound twice";
    socket.SetRaisingSocketErrors(false);
    socket.Bind();
    EXPECT_TRUE(socket.Bound());
}

TEST(MySocketPendingError, RefusedEarlierDatagramSwallowsNeitherNextSendNorReceive)
{
    TLoopbackPeer live;
    for (bool threaded : {false, true}) {
        TMySocket socket;
        socket.SetSendThread(threaded);
        socket.SetLocalIP("127.0.0.1");
        socket.SetRemoteIP("127.0.0.1");
        auto refuseThenTarget = [&] {
            socket.SetRemotePort(DeadPort());
            socket.Connect(!socket.Bound());
            socket.Send({0});
            Pause(30); // the port-unreachable answer is now pending on the socket
            socket.SetRemotePort(live.Port());
            socket.Connect(false);
        };
        refuseThenTarget();
        socket.Send({1});
        auto got = live.Receive();
        ASSERT_TRUE(got) << (threaded ? "send thread" : "direct send") << " lost the datagram";
        EXPECT_EQ(got->Data, TBytes{1});

        refuseThenTarget();
        Pause(30);
        live.SendTo(got->Port, {2});
        Pause(30);
        EXPECT_TRUE(socket.WaitForData(0, false)) << "a pending error hid the waiting datagram";
    }
}

TEST(MySocketRobustness, RandomOperationOrderNeitherCrashesNorLeaksDescriptors)
{
    TLoopbackPeer peer;
    const long before = OpenDescriptors();
    std::mt19937 random(232);
    std::vector<std::function<void(TMySocket&)>> operations{
        [](TMySocket& s) { s.Open(); },
        [](TMySocket& s) { s.Close(); },
        [](TMySocket& s) { s.Bind(); },
        [](TMySocket& s) { s.Connect(true); },
        [](TMySocket& s) { s.Connect(false); },
        [](TMySocket& s) { s.Send({1, 2}); },
        [&](TMySocket& s) { s.SendTo({3}, "127.0.0.1", peer.Port()); },
        [](TMySocket& s) { s.SendTo({4}, "127.0.0.1", 0); },
        [](TMySocket& s) { s.WaitForData(0, true); },
        [&](TMySocket& s) { s.SetReceiveThread(random() % 8 == 0); },
        [&](TMySocket& s) { s.SetSendThread(random() % 8 == 0); },
        [&](TMySocket& s) { s.SetSocketType(random() % 4 == 0 ? stTCP : stUDP); },
        [&](TMySocket& s) { s.SetRemotePort(random() % 2 ? peer.Port() : 0); },
    };
    int cycles = 0;
    for (int round = 0; round < 3000; ++round) {
        TMySocket socket;
        socket.SetLocalIP("127.0.0.1");
        socket.SetRemoteIP("127.0.0.1");
        for (int step = 0; step < 4; ++step) {
            const std::int32_t code = ErrorCodeOf([&] { operations[random() % operations.size()](socket); });
            EXPECT_TRUE(code == 0 || code > 10000) << code;
        }
        cycles += socket.IsOpen();
        if (round % 2)
            socket.Close();
        EXPECT_TRUE(round % 2 == 0 || OpenDescriptors() == before);
    }
    EXPECT_GT(cycles, 1000);
    EXPECT_EQ(OpenDescriptors(), before);
}

// With standard input closed, descriptor 0 is handed out like any other: a component without a
// socket must never act on it.
TEST(MySocketRobustness, ClosedComponentNeverTouchesDescriptorZero)
{
    TLoopbackPeer listener;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(0);
        int failures = 0;
        TMySocket socket;
        socket.Open();
        failures += socket.Handle() != 0 || !socket.IsOpen();
        socket.Close();

        const int victim = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(listener.Port());
        connect(victim, reinterpret_cast<sockaddr*>(&address), sizeof address);
        failures += victim != 0;

        std::int32_t reported = 0;
        socket.OnDataSent = [&](TMySocket&, std::int32_t code) { reported = code; };
        try {
            socket.Send({0x55});
            ++failures;
        } catch (const TPacketException& error) {
            failures += error.Code() != WSAENOTSOCK || reported != WSAENOTSOCK;
        }
        failures += socket.WaitForData(0, false);
        _exit(failures);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(listener.Receive(100)) << "the send went out through descriptor 0";
}
