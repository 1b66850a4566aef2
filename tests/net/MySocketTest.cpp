#include <gtest/gtest.h>

#include <sys/socket.h>

#include <thread>

#include "net/MainThread.h"
#include "net/MySocket.h"
#include "net/SocketError.h"
#include "net/SocketThreads.h"
#include "tests/net/LoopbackPeer.h"

using namespace qubra;
using namespace qubra::test;
using Clock = std::chrono::steady_clock;

namespace {

// A socket connected to Peer from 127.0.0.1, no threads.
void ConnectTo(TMySocket& Socket, const TLoopbackPeer& Peer)
{
    Socket.SetLocalIP("127.0.0.1");
    Socket.SetRemoteIP("127.0.0.1");
    Socket.SetRemotePort(Peer.Port());
    Socket.Connect(true);
}

std::uint16_t LocalPortOf(const TMySocket& Socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(Socket.Handle(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// Runs main-thread notifications until Done() holds or two seconds pass.
template <typename Predicate>
bool PumpUntil(Predicate Done)
{
    const auto start = Clock::now();
    while (!Done() && ElapsedMs(start) < 2000)
        DefaultDispatcher().WaitAndProcess(10);
    return Done();
}

} // namespace

TEST(MySocketSend, DirectAndThreadedSendsReachConnectedPeerOrGivenAddress)
{
    TLoopbackPeer connected, other;
    for (bool threaded : {false, true}) {
        TMySocket socket;
        socket.SetSendThread(threaded);
        ConnectTo(socket, connected);
        ASSERT_EQ(socket.Sender() != nullptr, threaded);
        EXPECT_EQ(socket.Send({1, 0, 2}), 3);
        EXPECT_EQ(socket.SendTo({}, "127.0.0.1", other.Port()), 0);
        auto first = connected.Receive();
        ASSERT_TRUE(first);
        EXPECT_EQ(first->Data, (TBytes{1, 0, 2}));
        EXPECT_EQ(first->Port, LocalPortOf(socket));
        auto second = other.Receive();
        ASSERT_TRUE(second) << "a zero-length datagram is still sent";
        EXPECT_TRUE(second->Data.empty());
    }
}

TEST(MySocketSend, BeforeDataSendChangesPayloadAlwaysButDestinationOnlyForSendTo)
{
    TLoopbackPeer connected, redirected;
    for (bool threaded : {false, true}) {
        TMySocket socket;
        socket.SetSendThread(threaded);
        ConnectTo(socket, connected);
        socket.SetRemoteIP("127.000.000.001.999");
        std::vector<std::string> seen;
        socket.OnBeforeDataSend = [&](TMySocket&, TMyPacket& packet) {
            seen.push_back(packet.IP + ":" + std::to_string(packet.Port));
            packet.Data.push_back(0xEE);
            packet.IP = "127.0.0.1";
            packet.Port = redirected.Port();
        };
        socket.Send({1});
        socket.SendTo({2}, "127.0.0.9", 9);
        EXPECT_EQ(seen, (std::vector<std::string>{"127.000.000.001:" + std::to_string(connected.Port()), "127.0.0.9:9"}));
        EXPECT_EQ(connected.Receive()->Data, (TBytes{1, 0xEE}));
        EXPECT_EQ(redirected.Receive()->Data, (TBytes{2, 0xEE}));
        EXPECT_FALSE(connected.Receive(50)) << "SendTo went to the handler's address only";
    }
}

TEST(MySocketSend, FailedDirectSendReportsCodeBeforeRaisingOrReturnsMinusOne)
{
    TMySocket socket;
    std::vector<std::int32_t> reported;
    socket.OnDataSent = [&](TMySocket&, std::int32_t code) { reported.push_back(code); };
    try {
        socket.Send({1});
        FAIL() << "send on a closed component raised nothing";
    } catch (const TPacketException& error) {
        EXPECT_EQ(error.Code(), WSAENOTSOCK);
        EXPECT_EQ(error.Message(), "The descriptor is not a socket. (#00002736)");
        EXPECT_EQ(reported, std::vector<std::int32_t>{WSAENOTSOCK}) << "OnDataSent comes first";
    }
    socket.SetRaisingSocketErrors(false);
    EXPECT_EQ(socket.SendTo({1}, "127.0.0.1", 9), -1);
    EXPECT_EQ(reported.size(), 2u);
}

TEST(MySocketSend, SendThreadDropsFailedDatagramsAndNotifiesSentOnesOnMainThread)
{
    TLoopbackPeer peer;
    TMySocket socket;
    std::vector<std::thread::id> notified;
    socket.OnDataSent = [&](TMySocket&, std::int32_t code) {
        EXPECT_EQ(code, 0);
        notified.push_back(std::this_thread::get_id());
    };
    socket.SetSendThread(true);
    socket.Open();
    socket.SendTo(TBytes(65535, 1), "127.0.0.1", peer.Port());
    socket.SendTo({2}, "127.0.0.1", peer.Port());
    EXPECT_TRUE(PumpUntil([&] { return notified.size() == 1; }));
    EXPECT_EQ(notified.front(), std::this_thread::get_id());
    EXPECT_EQ(peer.Receive()->Data, TBytes{2}) << "the oversized datagram was dropped, the next one sent";
    EXPECT_FALSE(PumpUntil([&] { return notified.size() > 1; }));
}

TEST(MySocketWait, FullTimeCollectsInOrderEarlyReturnTakesOne)
{
    TLoopbackPeer peer;
    TMySocket socket;
    socket.SetLocalIP("127.0.0.1");
    socket.Bind();
    const std::uint16_t port = LocalPortOf(socket);
    for (bool fullTime : {true, false}) {
        std::jthread sender([&] {
            peer.SendTo(port, {1});
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            peer.SendTo(port, {2});
        });
        const auto start = Clock::now();
        EXPECT_TRUE(socket.WaitForData(fullTime ? 100 : 2000, fullTime));
        const long elapsed = ElapsedMs(start);
        sender.join();
        TMyPacket packet;
        ASSERT_TRUE(socket.ReceiveQueue().Pop(packet));
        EXPECT_EQ(packet.Data, TBytes{1});
        EXPECT_EQ(packet.IP, "127.0.0.1");
        EXPECT_EQ(packet.Port, peer.Port());
        if (fullTime) {
            EXPECT_GE(elapsed, 100);
            EXPECT_LT(elapsed, 1500);
            ASSERT_TRUE(socket.ReceiveQueue().Pop(packet));
            EXPECT_EQ(packet.Data, TBytes{2});
        } else {
            EXPECT_LT(elapsed, 1500);
            EXPECT_TRUE(socket.ReceiveQueue().IsEmpty());
            EXPECT_TRUE(socket.WaitForData(1000, false)); // the second, still in the socket
        }
        socket.ReceiveQueue().Pop(packet);
    }
}

TEST(MySocketWait, TimeoutZeroPollsOnceAndNegativeWaitsForOneDatagram)
{
    TLoopbackPeer peer;
    TMySocket socket;
    socket.SetLocalIP("127.0.0.1");
    socket.Bind();
    const std::uint16_t port = LocalPortOf(socket);

    auto start = Clock::now();
    EXPECT_FALSE(socket.WaitForData(100, true));
    EXPECT_GE(ElapsedMs(start), 100);
    EXPECT_FALSE(socket.WaitForData(0, true));

    peer.SendTo(port, {});   // not stored
    peer.SendTo(port, {1});
    peer.SendTo(port, {2});
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(socket.WaitForData(0, true)) << "the empty datagram is consumed and not stored";
    EXPECT_TRUE(socket.WaitForData(0, true));
    EXPECT_EQ(socket.ReceiveQueue().Count(), 1) << "a limit of 0 polls exactly once";
    EXPECT_TRUE(socket.WaitForData(0, false));

    std::jthread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.SendTo(port, {3});
    });
    start = Clock::now();
    EXPECT_TRUE(socket.WaitForData(-1, true));
    EXPECT_GE(ElapsedMs(start), 40);
    EXPECT_EQ(socket.ReceiveQueue().Count(), 3) << "no limit waits for one datagram, WaitFullTime ignored";
    TMyPacket packet;
    socket.ReceiveQueue().Pop(packet);
    EXPECT_EQ(packet.Data, TBytes{1});
}

TEST(MySocketReceiveThread, QueuesInOrderNotifiesOnMainThreadAndWaitSeesQueue)
{
    TLoopbackPeer peer;
    TMySocket socket;
    socket.SetReceiveThread(true);
    socket.SetLocalIP("127.0.0.1");
    socket.Bind();
    ASSERT_NE(socket.Receiver(), nullptr);
    const std::uint16_t port = LocalPortOf(socket);

    EXPECT_FALSE(socket.WaitForData(30, false));
    peer.SendTo(port, {1});
    EXPECT_TRUE(socket.WaitForData(2000, false));
    EXPECT_TRUE(socket.WaitForData(0, false)) << "a queued datagram counts, nothing is popped";
    EXPECT_EQ(socket.ReceiveQueue().Count(), 1);

    std::vector<TBytes> received;
    socket.SetOnDataReceive([&](TMySocket&, TMyPacket& packet) { received.push_back(packet.Data); });
    for (std::uint8_t i = 2; i <= 5; ++i)
        peer.SendTo(port, {i});
    EXPECT_TRUE(PumpUntil([&] { return received.size() == 4; }));
    EXPECT_EQ(received, (std::vector<TBytes>{{1}, {2}, {3}, {4}})) << "each notification pops the oldest";

    socket.SetOnDataReceive([&](TMySocket& sender, TMyPacket&) { sender.Close(); });
    peer.SendTo(port, {6});
    EXPECT_TRUE(PumpUntil([&] { return !socket.IsOpen(); })) << "closing from the handler must not deadlock";
    EXPECT_EQ(socket.Receiver(), nullptr);
}

TEST(MySocketLifecycle, EventsFlagsAndThreadSwitches)
{
    TLoopbackPeer peer;
    TMySocket socket;
    std::string events;
    socket.OnOpenSocket = [&](TMySocket&) { events += "O"; };
    socket.OnCloseSocket = [&](TMySocket&) { events += "C"; };
    socket.OnBindSocket = [&](TMySocket&) { events += "B"; };
    socket.OnConnectSocket = [&](TMySocket&) { events += "N"; };
    socket.Close();
    socket.SetSendThread(true);
    EXPECT_EQ(socket.Sender(), nullptr) << "closed: only the value is stored";
    socket.SetReceiveThread(true);
    ConnectTo(socket, peer);
    EXPECT_TRUE(socket.Connected() && socket.Bound());
    TMyReceiver* receiver = socket.Receiver();
    ASSERT_TRUE(receiver && socket.Sender());
    socket.SetSendThread(false);
    EXPECT_EQ(socket.Sender(), nullptr);
    EXPECT_EQ(socket.Receiver(), receiver);
    socket.Close();
    socket.Close();
    EXPECT_FALSE(socket.Connected() || socket.Bound() || socket.IsOpen() || socket.Receiver());
    EXPECT_EQ(socket.Handle(), NoSocket);

    socket.SetLocalIP("");
    socket.SetRemoteIP("");
    socket.Connect(false);
    EXPECT_TRUE(socket.IsOpen() && socket.Connected() && !socket.Bound());
    socket.Send({7});
    EXPECT_EQ(peer.Receive()->Data, TBytes{7}) << "an empty RemoteIP connects to 0.0.0.0, the local host";
    EXPECT_EQ(events, "OBNCON");
    EXPECT_THROW(TMyReceiver(nullptr), Exception);
    try {
        TMySender sender(nullptr);
        FAIL();
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "TMySender: construktor nemuze vytvorit objekt");
    }
}

TEST(MySocketLifecycle, CloseDropsDatagramsStillQueuedSoTheNextPeerGetsNoneOfThem)
{
    TLoopbackPeer first, second;
    TMySocket socket;
    socket.SetSendThread(true);
    socket.SetRemoteIP("127.0.0.1");
    socket.SetRemotePort(first.Port());
    // After its first datagram the thread waits for the main thread to run this notification,
    // which nobody does: the others wait in the queue.
    socket.OnDataSent = [](TMySocket&, std::int32_t) {};
    socket.Connect(false);
    for (int i = 0; i < 100; ++i) {
        socket.Send({0xA0});
        socket.SendTo({0xA1}, "127.0.0.1", first.Port());
    }
    ASSERT_GT(socket.SendQueue().Count(), 0) << "nothing was left queued to drop";
    socket.Close();
    EXPECT_TRUE(socket.SendQueue().IsEmpty());

    int reachedFirst = 0;
    while (first.Receive(50))
        ++reachedFirst;
    EXPECT_LT(reachedFirst, 200);

    socket.SetRemotePort(second.Port());
    socket.Connect(false);
    socket.Send({0xB0});
    const auto got = second.Receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->Data, TBytes{0xB0}) << "a datagram queued for the first peer went to the second";
    EXPECT_FALSE(second.Receive(100)) << "more than its own datagram reached the second peer";
    EXPECT_FALSE(first.Receive(100)) << "a dropped datagram was sent after all";
}

TEST(MySocketLifecycle, WaitUntilSentLetsTheQueueLeaveBeforeCloseAndGivesUpWithoutAThread)
{
    TLoopbackPeer peer;
    TMySocket socket;
    socket.SetSendThread(true);
    ConnectTo(socket, peer);
    for (std::uint8_t i = 0; i < 50; ++i)
        socket.Send({i});
    EXPECT_TRUE(socket.WaitUntilSent(2000));
    socket.Close();
    for (std::uint8_t i = 0; i < 50; ++i) {
        const auto got = peer.Receive(500);
        ASSERT_TRUE(got) << "datagram " << int(i) << " was dropped";
        EXPECT_EQ(got->Data, TBytes{i});
    }

    socket.Connect(true);
    socket.SetSendThread(false);
    socket.SendQueue().Push({{1}, "", 0}); // nobody takes it any more
    const auto start = Clock::now();
    EXPECT_FALSE(socket.WaitUntilSent(30));
    EXPECT_GE(ElapsedMs(start), 30);
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_TRUE(TMySocket().WaitUntilSent(0)) << "nothing queued";
}

TEST(MySocketOptions, BroadcastAppliesAtOnceTypeAtNextOpen)
{
    TLoopbackPeer peer(true);
    TMySocket socket;
    socket.Open();
    auto sendBroadcast = [&] { return socket.SendTo({5}, "127.255.255.255", peer.Port()); };
    try {
        sendBroadcast();
        FAIL() << "broadcast without the option";
    } catch (const TPacketException& error) {
        EXPECT_EQ(error.Code(), WSAEACCES);
    }
    socket.SetBroadCastAccept(true);
    EXPECT_EQ(sendBroadcast(), 1);
    EXPECT_EQ(peer.Receive()->Data, TBytes{5});

    const int handle = socket.Handle();
    socket.SetSocketType(stTCP);
    EXPECT_EQ(socket.Handle(), handle);
    EXPECT_EQ(sendBroadcast(), 1) << "the open handle keeps its kind";
    try {
        socket.SetSocketType(static_cast<TMySocketType>(2));
        FAIL();
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Unknown socket type.");
    }
    EXPECT_EQ(socket.SocketType(), stTCP);
    socket.Close();
    socket.Open();
    int type = 0;
    socklen_t length = sizeof type;
    getsockopt(socket.Handle(), SOL_SOCKET, SO_TYPE, &type, &length);
    EXPECT_EQ(type, SOCK_STREAM);
    EXPECT_EQ(socket.Protocol(), IPPROTO_TCP);
}

TEST(MySocketStream, ConnectReportsWouldBlockThenDirectSendsWork)
{
    const TLoopbackPeer listener(false, SOCK_STREAM);
    listen(listener.Handle(), 1);

    TMySocket client;
    client.SetSocketType(stTCP);
    client.SetReceiveThread(true);
    client.SetSendThread(true);
    client.SetRemoteIP("127.0.0.1");
    client.SetRemotePort(listener.Port());
    try {
        client.Connect(false);
        FAIL() << "a non-blocking stream connect does not complete at once";
    } catch (const TPacketException& error) {
        EXPECT_EQ(error.Code(), WSAEWOULDBLOCK);
    }
    EXPECT_FALSE(client.Connected());
    const int accepted = accept(listener.Handle(), nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    client.SetSendThread(false);
    EXPECT_EQ(client.Send({1, 2, 3}), 3);
    std::uint8_t got[3] = {};
    EXPECT_EQ(recv(accepted, got, 3, MSG_WAITALL), 3);
    EXPECT_EQ(got[2], 3);
    close(accepted);
}
