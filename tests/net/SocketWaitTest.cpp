// WaitForData as an event-driven wait: every datagram that arrives within the limit is kept,
// also when datagrams come faster than one per millisecond on a busy machine; the wake-up
// descriptor ends a wait at once; the threads wait on conditions and still stop promptly.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>
#include <vector>

#include "net/MySocket.h"
#include "net/PacketQuee.h"
#include "net/WakeUp.h"
#include "tests/net/LoopbackPeer.h"

using namespace qubra;
using namespace qubra::test;
using Clock = std::chrono::steady_clock;

namespace {

std::uint16_t LocalPortOf(const TMySocket& Socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(Socket.Handle(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// Keeps every core spinning while it lives: the machine of a user who builds beside the tool.
class TSpinningCores {
public:
    TSpinningCores()
    {
        for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
            FThreads.emplace_back([this] {
                while (!FStop)
                    FSpins.fetch_add(1, std::memory_order_relaxed);
            });
    }
    ~TSpinningCores() { FStop = true; }

private:
    std::atomic<bool> FStop{false};
    std::atomic<unsigned long> FSpins{0};
    std::vector<std::jthread> FThreads;
};

// Datagram i carries i in its first two bytes.
TBytes Numbered(int Index)
{
    return {static_cast<std::uint8_t>(Index >> 8), static_cast<std::uint8_t>(Index & 0xFF), 0xD0};
}

int NumberOf(const TMyPacket& Packet)
{
    return Packet.Data.size() == 3 ? Packet.Data[0] << 8 | Packet.Data[1] : -1;
}

} // namespace

TEST(SocketWait, DatagramsUpToTheEdgeOfTheLimitAreKeptOnABusyMachine)
{
    constexpr int kLimitMs = 60;
    TLoopbackPeer peer;
    TMySocket socket;
    socket.SetLocalIP("127.0.0.1");
    socket.Bind();
    const std::uint16_t port = LocalPortOf(socket);
    TSpinningCores load;

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        // A datagram every 0.2 ms from 15 ms before the limit to 10 ms after it: more than one
        // a millisecond arrives around the edge.
        const Clock::time_point called = Clock::now();
        std::vector<Clock::time_point> sentAt;
        std::jthread sender([&] {
            std::this_thread::sleep_until(called + std::chrono::milliseconds(kLimitMs - 15));
            for (int i = 0; Clock::now() < called + std::chrono::milliseconds(kLimitMs + 10); ++i) {
                peer.SendTo(port, Numbered(i));
                sentAt.push_back(Clock::now());
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        EXPECT_TRUE(socket.WaitForData(kLimitMs, true));
        const long waited = ElapsedMs(called);
        sender.join();
        EXPECT_GE(waited, kLimitMs);

        std::vector<int> kept;
        TMyPacket packet;
        while (socket.ReceiveQueue().Pop(packet))
            kept.push_back(NumberOf(packet));
        // A datagram whose send had returned before the limit lay in the socket by then; 2 ms
        // spare for the loopback's delivery being put off on a loaded machine.
        const auto edge = called + std::chrono::milliseconds(kLimitMs - 2);
        int due = 0;
        while (due < static_cast<int>(sentAt.size()) && sentAt[due] < edge)
            ++due;
        ASSERT_GE(static_cast<int>(kept.size()), due) << "datagrams that arrived within the limit were left behind";
        for (int i = 0; i < static_cast<int>(kept.size()); ++i)
            EXPECT_EQ(kept[i], i) << "kept out of order or with a gap";

        // What came after the limit is still in the socket, none lost.
        while (socket.WaitForData(20, true)) {
        }
        int later = 0;
        while (socket.ReceiveQueue().Pop(packet))
            EXPECT_EQ(NumberOf(packet), static_cast<int>(kept.size()) + later++);
        EXPECT_EQ(kept.size() + later, sentAt.size());
    }
}

TEST(SocketWait, TheWakeUpDescriptorEndsAWaitAtOnceKeepingWhatCameBefore)
{
    TLoopbackPeer peer;
    TWakeUp wake;
    for (bool receiveThread : {false, true}) {
        SCOPED_TRACE(receiveThread ? "receive thread" : "no receive thread");
        TMySocket socket;
        socket.SetReceiveThread(receiveThread);
        socket.SetWakeUpHandle(wake.Handle());
        socket.SetLocalIP("127.0.0.1");
        socket.Bind();
        peer.SendTo(LocalPortOf(socket), {1});

        // A full-time wait of 5 s with a datagram in it, then a wait without limit and nothing
        // arriving, each woken after 100 ms.
        for (int limit : {5000, -1}) {
            SCOPED_TRACE(limit);
            const Clock::time_point start = Clock::now();
            std::jthread waker([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                wake.Signal();
            });
            const bool got = socket.WaitForData(limit, true);
            const long waited = ElapsedMs(start);
            EXPECT_GE(waited, 90);
            EXPECT_LT(waited, 2000) << "the wake-up did not end the wait";
            EXPECT_EQ(got, limit > 0) << "the datagram that came before the wake-up counts";
            EXPECT_EQ(socket.ReceiveQueue().Count(), limit > 0 ? 1 : 0);
            socket.ReceiveQueue().Clear();
            wake.Clear();
        }

        // It stays readable until cleared: every wait ends at once meanwhile.
        wake.Signal();
        Clock::time_point start = Clock::now();
        EXPECT_FALSE(socket.WaitForData(3000, true));
        EXPECT_LT(ElapsedMs(start), 1000);
        wake.Clear();
        start = Clock::now();
        EXPECT_FALSE(socket.WaitForData(100, true));
        EXPECT_GE(ElapsedMs(start), 100) << "a cleared wake-up ended the wait";
    }
}

TEST(SocketWait, AnIdleReceiveThreadAndSendThreadStopPromptly)
{
    TLoopbackPeer peer;
    TMySocket socket;
    socket.SetReceiveThread(true);
    socket.SetSendThread(true);
    socket.SetLocalIP("127.0.0.1");
    socket.SetRemoteIP("127.0.0.1");
    socket.SetRemotePort(peer.Port());
    socket.Connect(true);
    // Both threads are waiting now, one on the socket, one on its queue.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    socket.Send({7});
    ASSERT_TRUE(peer.Receive());
    peer.SendTo(LocalPortOf(socket), {8});
    EXPECT_TRUE(socket.WaitForData(2000, false));

    const Clock::time_point start = Clock::now();
    socket.Close();
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(socket.Receiver(), nullptr);
    EXPECT_EQ(socket.Sender(), nullptr);
}

TEST(PacketQueeWait, WaitPopWakesOnPushAndTakesNothingOnceStopped)
{
    TMyPacketQuee queue;
    std::stop_source stop;
    std::jthread producer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        queue.Push({{1}, "", 0});
    });
    TMyPacket packet;
    ASSERT_TRUE(queue.WaitPop(packet, stop.get_token()));
    EXPECT_EQ(packet.Data, TBytes{1});
    producer.join();

    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        stop.request_stop();
    });
    EXPECT_FALSE(queue.WaitPop(packet, stop.get_token())) << "an empty queue waits until the stop";
    stopper.join();
    queue.Push({{2}, "", 0});
    EXPECT_FALSE(queue.WaitPop(packet, stop.get_token())) << "a stopped thread must not take another packet";
    EXPECT_EQ(queue.Count(), 1);
    EXPECT_EQ(packet.Data, TBytes{1});
}

TEST(PacketQueeWait, WaitUntilEmptyFollowsThePopsAndGivesUp)
{
    TMyPacketQuee queue;
    EXPECT_TRUE(queue.WaitUntilEmpty(std::chrono::milliseconds(0)));
    queue.Push({{1}, "", 0});
    queue.Push({{2}, "", 0});
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(queue.WaitUntilEmpty(std::chrono::milliseconds(50)));
    EXPECT_GE(ElapsedMs(start), 50);

    std::jthread consumer([&] {
        TMyPacket packet;
        for (int i = 0; i < 2; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            queue.Pop(packet);
        }
    });
    start = Clock::now();
    EXPECT_TRUE(queue.WaitUntilEmpty(std::chrono::milliseconds(5000)));
    EXPECT_LT(ElapsedMs(start), 2000);
}
