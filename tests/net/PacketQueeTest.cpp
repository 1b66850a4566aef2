#include <gtest/gtest.h>

#include <thread>

#include "net/PacketException.h"
#include "net/PacketQuee.h"
#include "net/SocketError.h"

using namespace qubra;

TEST(PacketQuee, KeepsOrderCountAndPayloadAcrossEmptying)
{
    TMyPacketQuee queue;
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(queue.Push({{1}, "10.0.0.1", 1}), 1);
    EXPECT_EQ(queue.Push({{0, 0, 2, 0}, "10.0.0.2", 2}), 2);
    EXPECT_EQ(queue.Push({{}, "10.0.0.3", 65535}), 3);

    TMyPacket packet;
    for (const auto& [data, ip, port] : {TMyPacket{{1}, "10.0.0.1", 1}, TMyPacket{{0, 0, 2, 0}, "10.0.0.2", 2},
                                         TMyPacket{{}, "10.0.0.3", 65535}}) {
        ASSERT_TRUE(queue.Pop(packet));
        EXPECT_EQ(packet.Data, data);
        EXPECT_EQ(packet.IP, ip);
        EXPECT_EQ(packet.Port, port);
    }
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(queue.Push({{9}, "", 0}), 1);
    ASSERT_TRUE(queue.Pop(packet));
    EXPECT_EQ(packet.Data, TBytes{9});
}

TEST(PacketQuee, PopOnEmptyLeavesTargetAndPushCutsLongAddress)
{
    TMyPacketQuee queue;
    TMyPacket kept{{7, 8}, "1.2.3.4", 99};
    EXPECT_FALSE(queue.Pop(kept));
    EXPECT_EQ(kept.Data, (TBytes{7, 8}));
    EXPECT_EQ(kept.IP, "1.2.3.4");
    EXPECT_EQ(kept.Port, 99);

    TMyPacket pushed{{}, "123.123.123.123.4567", 5};
    queue.Push(pushed);
    EXPECT_EQ(pushed.IP.size(), 20u) << "the caller's packet stays as it was";
    ASSERT_TRUE(queue.Pop(kept));
    EXPECT_EQ(kept.IP, "123.123.123.123");
}

TEST(PacketQuee, ConcurrentProducersKeepEachOnesOrder)
{
    TMyPacketQuee queue;
    constexpr int perThread = 20000;
    auto produce = [&](std::uint8_t id) {
        for (int i = 0; i < perThread; ++i)
            queue.Push({{id, std::uint8_t(i), std::uint8_t(i >> 8)}, "", std::uint16_t(i)});
    };
    std::thread a(produce, 1), b(produce, 2);
    int next[3] = {0, 0, 0};
    int popped = 0;
    TMyPacket packet;
    while (popped < 2 * perThread) {
        if (!queue.Pop(packet))
            continue;
        ASSERT_EQ(packet.Port, next[packet.Data[0]]++);
        ++popped;
    }
    a.join();
    b.join();
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(queue.Count(), 0);
}

TEST(PacketQuee, DestroysLongQueueWithoutDeepRecursion)
{
    auto queue = std::make_unique<TMyPacketQuee>();
    for (int i = 0; i < 500000; ++i)
        queue->Push({});
    EXPECT_EQ(queue->Count(), 500000);
    queue.reset();
}

TEST(PacketQuee, ClearDropsALongQueueAndLeavesItUsable)
{
    TMyPacketQuee queue;
    for (int i = 0; i < 500000; ++i)
        queue.Push({{1}, "127.0.0.1", 1});
    queue.Clear();
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_TRUE(queue.IsEmpty());
    TMyPacket packet;
    EXPECT_FALSE(queue.Pop(packet));
    EXPECT_EQ(queue.Push({{2}, "", 0}), 1);
    EXPECT_EQ(queue.Push({{3}, "", 0}), 2);
    ASSERT_TRUE(queue.Pop(packet));
    EXPECT_EQ(packet.Data, TBytes{2});
    ASSERT_TRUE(queue.Pop(packet));
    EXPECT_EQ(packet.Data, TBytes{3});
    EXPECT_FALSE(queue.Pop(packet));
}

TEST(SocketErrorText, TableTextUnknownCodeAndThreadsLastError)
{
    EXPECT_EQ(SocketErrorText(10048), "The specified address is already in use. (#00002740)");
    EXPECT_EQ(SocketErrorText(12345), "Socket error. (#00003039)");
    EXPECT_EQ(SocketErrorText(-1), "Socket error. (#FFFFFFFF)");
    EXPECT_NE(SocketErrorText(WSAECONNRESET).find("executing a \"hard\" or \"abortive\" close"), std::string::npos);

    SetLastSocketError(WSAETIMEDOUT);
    std::thread([] {
        EXPECT_EQ(LastSocketError(), 0) << "the last error belongs to the thread that caused it";
        EXPECT_EQ(SocketErrorText(0), "Socket error. (#00000000)");
    }).join();
    EXPECT_EQ(SocketErrorText(0), SocketErrorText(10060));
    EXPECT_TRUE(SocketErrorText(0).ends_with(" (#0000274C)"));

    const TPacketException error(0);
    EXPECT_EQ(error.Code(), WSAETIMEDOUT);
    EXPECT_EQ(error.Message(), SocketErrorText(WSAETIMEDOUT));
    const Exception& root = error;
    EXPECT_EQ(std::string(root.what()), SocketErrorText(10060));
    SetLastSocketError(0);
}
