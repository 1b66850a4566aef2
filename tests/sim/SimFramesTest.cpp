#include "sim/SimFrames.h"

#include <gtest/gtest.h>

using namespace qubra;

namespace {

TSimUdpFrame Sample(std::size_t payloadLength)
{
    TSimUdpFrame frame;
    frame.DestinationMAC = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    frame.SourceMAC = {0x00, 0x20, 0x4A, 0x00, 0x00, 0x02};
    frame.SourceIP = SimTextToIP("10.77.0.50");
    frame.DestinationIP = SimTextToIP("10.77.0.1");
    frame.SourcePort = 30718;
    frame.DestinationPort = 51234;
    for (std::size_t i = 0; i < payloadLength; ++i)
        frame.Payload.push_back(static_cast<std::uint8_t>(i * 7 + 1));
    return frame;
}

} // namespace

TEST(SimFrames, ChecksumMatchesAKnownIPv4Header)
{
    const TBytes header = {0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
                           0x00, 0x00, 0xC0, 0xA8, 0x00, 0x01, 0xC0, 0xA8, 0x00, 0xC7};
    EXPECT_EQ(SimInternetChecksum(header, 0, header.size()), 0xB861);
    // An odd length counts the last byte as the high half of a word.
    EXPECT_EQ(SimInternetChecksum({0x01}, 0, 1), 0xFEFF);
}

TEST(SimFrames, UdpFrameCarriesValidChecksumsAndParsesBack)
{
    for (std::size_t length : {0u, 4u, 5u, 120u, 124u}) {
        const TBytes frame = SimBuildUdpFrame(Sample(length), 0x1234);
        ASSERT_GE(frame.size(), 60u);
        EXPECT_EQ(SimEtherType(frame), kSimEtherIPv4);
        EXPECT_EQ(SimInternetChecksum(frame, 14, 20), 0) << "IPv4 header checksum";

        // UDP checksum over pseudo header and datagram sums to zero when it is right.
        const std::size_t udpLength = 8 + length;
        TBytes pseudo(frame.begin() + 26, frame.begin() + 34);
        for (std::uint8_t byte : {0x00, 0x11, 0x00, static_cast<int>(udpLength)})
            pseudo.push_back(byte);
        pseudo.insert(pseudo.end(), frame.begin() + 34, frame.begin() + 34 + udpLength);
        EXPECT_EQ(SimInternetChecksum(pseudo, 0, pseudo.size()), 0) << "length " << length;

        const auto parsed = SimParseUdpFrame(frame);
        ASSERT_TRUE(parsed) << "length " << length;
        EXPECT_EQ(parsed->Payload, Sample(length).Payload) << "padding is not payload";
        EXPECT_EQ(parsed->SourceIP, Sample(0).SourceIP);
        EXPECT_EQ(parsed->DestinationPort, 51234);
        EXPECT_EQ(parsed->DestinationMAC, Sample(0).DestinationMAC);
    }
}

TEST(SimFrames, ParserRefusesBrokenOrForeignDatagrams)
{
    const TBytes good = SimBuildUdpFrame(Sample(20), 1);
    const auto broken = [&](auto change) {
        TBytes frame = good;
        change(frame);
        return !SimParseUdpFrame(frame).has_value();
    };
    EXPECT_TRUE(broken([](TBytes& f) { f[14 + 9] = 6; }));           // TCP
    EXPECT_TRUE(broken([](TBytes& f) { f[14 + 10] ^= 0x01; }));      // header checksum
    EXPECT_TRUE(broken([](TBytes& f) { f[14 + 6] |= 0x20; }));       // more fragments
    EXPECT_TRUE(broken([](TBytes& f) { f[14 + 7] = 0x08; }));        // fragment offset
    EXPECT_TRUE(broken([](TBytes& f) { f.resize(40); }));            // shorter than it says
    EXPECT_TRUE(broken([](TBytes& f) { f[38] = 0xFF; }));             // UDP length too long
    EXPECT_TRUE(broken([](TBytes& f) { f[12] = 0x86; }));            // not IPv4
    EXPECT_TRUE(broken([](TBytes& f) { f.resize(13); }));
    EXPECT_FALSE(broken([](TBytes& f) { f[34 + 6] ^= 0xFF; })) << "UDP checksum left to offload";
}

TEST(SimFrames, ArpReplyAnswersTheAskerWithTheOwnersAddresses)
{
    TSimArpFrame request;
    request.DestinationMAC = kSimBroadcastMAC;
    request.SourceMAC = {0x02, 0, 0, 0, 0, 0x01};
    request.Operation = 1;
    request.SenderMAC = request.SourceMAC;
    request.SenderIP = SimTextToIP("10.77.0.1");
    request.TargetIP = SimTextToIP("10.77.0.50");
    const TSimMAC owner{0x00, 0x20, 0x4A, 0, 0, 0x02};
    const auto reply =
        SimParseArpFrame(SimBuildArpFrame(SimArpReply(request, owner, request.TargetIP)));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Operation, 2);
    EXPECT_EQ(reply->DestinationMAC, request.SenderMAC);
    EXPECT_EQ(reply->SourceMAC, owner);
    EXPECT_EQ(reply->SenderMAC, owner);
    EXPECT_EQ(reply->SenderIP, request.TargetIP);
    EXPECT_EQ(reply->TargetMAC, request.SenderMAC);
    EXPECT_EQ(reply->TargetIP, request.SenderIP);

    TBytes notIPv4 = SimBuildArpFrame(request);
    notIPv4[14 + 3] = 0xDD;
    EXPECT_FALSE(SimParseArpFrame(notIPv4));
}
