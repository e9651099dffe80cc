#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standins/orvix/WireFormat.h"

namespace {

using namespace orvix::wire;

std::vector<uint8_t> SampleFrame(size_t bodies) {
    std::vector<RigidBodyEntry> entries(bodies);
    for (size_t i = 0; i < bodies; ++i) {
        entries[i] = RigidBodyEntry{
            static_cast<int32_t>(i + 1), 1.0f, 2.0f, 3.0f, 0.1f, 0.2f, 0.3f, 0.9f, 0.001f, 1};
    }
    std::vector<uint8_t> out;
    EncodeFrame({42, 1000, 2000, 3000}, entries.data(), entries.size(), out);
    return out;
}

// Every message kind with a decoder that reports whether a datagram is acceptable.
struct Kind {
    const char* name;
    std::function<std::vector<uint8_t>()> encode;
    std::function<bool(const std::vector<uint8_t>&)> decode;
};

std::vector<Kind> Kinds() {
    return {
        {"discovery reply",
         [] {
             std::vector<uint8_t> out;
             EncodeDiscoveryReply({1510, 1511, true, 0xEFFF2A63u, "sim"}, out);
             return out;
         },
         [](const std::vector<uint8_t>& d) {
             DiscoveryReply m;
             return DecodeDiscoveryReply(d.data(), d.size(), &m);
         }},
        {"connect request",
         [] {
             std::vector<uint8_t> out;
             EncodeConnectRequest({7, true, 4000, 123}, out);
             return out;
         },
         [](const std::vector<uint8_t>& d) {
             ConnectRequest m;
             return DecodeConnectRequest(d.data(), d.size(), &m);
         }},
        {"connect reply",
         [] {
             ConnectReply m;
             m.requestId = 7;
             m.hostName = "host";
             m.appName = "app";
             std::vector<uint8_t> out;
             EncodeConnectReply(m, out);
             return out;
         },
         [](const std::vector<uint8_t>& d) {
             ConnectReply m;
             return DecodeConnectReply(d.data(), d.size(), &m);
         }},
        {"command",
         [] {
             std::vector<uint8_t> out;
             EncodeCommand({9, "SubscribeToData"}, out);
             return out;
         },
         [](const std::vector<uint8_t>& d) {
             Command m;
             return DecodeCommand(d.data(), d.size(), &m);
         }},
        {"command reply",
         [] {
             std::vector<uint8_t> out;
             EncodeCommandReply({9, 0, {0, 0, 0, 0}}, out);
             return out;
         },
         [](const std::vector<uint8_t>& d) {
             CommandReply m;
             return DecodeCommandReply(d.data(), d.size(), &m);
         }},
        {"frame", [] { return SampleFrame(3); },
         [](const std::vector<uint8_t>& d) {
             auto frame = std::make_unique<sFrameOfMocapData>();
             return DecodeFrameInto(d.data(), d.size(), frame.get());
         }},
    };
}

TEST(WireFormat, EveryMessageDecodesWholeAndRejectsEveryTruncationAndExtraByte) {
    for (const Kind& kind : Kinds()) {
        SCOPED_TRACE(kind.name);
        const std::vector<uint8_t> whole = kind.encode();
        EXPECT_TRUE(kind.decode(whole));
        for (size_t length = 0; length < whole.size(); ++length) {
            // A copy of exactly this length, so that a read past the end shows under ASan.
            const std::vector<uint8_t> cut(whole.begin(),
                                           whole.begin() + static_cast<ptrdiff_t>(length));
            EXPECT_FALSE(kind.decode(cut)) << "length " << length;
        }
        std::vector<uint8_t> longer = whole;
        longer.push_back(0);
        EXPECT_FALSE(kind.decode(longer));
    }
}

TEST(WireFormat, RejectsWrongMagicVersionAndType) {
    struct Case {
        const char* name;
        size_t offset;
        uint8_t value;
    };
    const Case cases[] = {{"magic", 0, 'X'}, {"version", 4, 2}, {"type", 5, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> frame = SampleFrame(1);
        frame[c.offset] = c.value;
        auto record = std::make_unique<sFrameOfMocapData>();
        EXPECT_FALSE(DecodeFrameInto(frame.data(), frame.size(), record.get()));
    }
}

TEST(WireFormat, FrameBytesAreLittleEndianAtDocumentedOffsets) {
    const std::vector<uint8_t> frame = SampleFrame(1);
    ASSERT_EQ(frame.size(), kHeaderSize + kFrameFixedSize + kBodyWireSize);
    const uint8_t header[] = {'O', 'R', 'V', 'X', 1, 7, 0, 0};
    EXPECT_EQ(0, std::memcmp(frame.data(), header, sizeof(header)));
    EXPECT_EQ(frame[8], 42);  // frame number
    EXPECT_EQ(frame[12], 1000 & 0xFF);
    EXPECT_EQ(frame[13], 1000 >> 8);  // mid-exposure timestamp
    EXPECT_EQ(frame[36], 1);          // body count
    EXPECT_EQ(frame[38], 1);          // first body's id
    float x = 0.0f;
    std::memcpy(&x, &frame[42], 4);
    EXPECT_EQ(x, 1.0f);
}

TEST(WireFormat, FrameDecodesIntoTheRecordAndLeavesItAloneWhenRejected) {
    auto record = std::make_unique<sFrameOfMocapData>();
    const std::vector<uint8_t> frame = SampleFrame(3);
    ASSERT_TRUE(DecodeFrameInto(frame.data(), frame.size(), record.get()));
    EXPECT_EQ(record->iFrame, 42);
    EXPECT_EQ(record->nRigidBodies, 3);
    EXPECT_EQ(record->rigidBodies[2].id, 3);
    EXPECT_EQ(record->rigidBodies[2].qw, 0.9f);
    EXPECT_EQ(record->rigidBodies[2].params, 1);
    EXPECT_EQ(record->cameraMidExposureTimestamp, 1000u);
    EXPECT_EQ(record->cameraDataReceivedTimestamp, 2000u);
    EXPECT_EQ(record->transmitTimestamp, 3000u);

    // A body count that claims more bodies than the datagram holds.
    std::vector<uint8_t> lying = SampleFrame(2);
    lying[36] = 3;
    std::memset(record.get(), 0x5A, sizeof(sFrameOfMocapData));
    EXPECT_FALSE(DecodeFrameInto(lying.data(), lying.size(), record.get()));
    EXPECT_EQ(record->nRigidBodies, 0x5A5A5A5A);
    EXPECT_EQ(record->rigidBodies[0].id, 0x5A5A5A5A);
}

TEST(WireFormat, EncoderCapsBodiesAtOneDatagram) {
    std::vector<RigidBodyEntry> bodies(kMaxBodiesPerFrame + 5);
    std::vector<uint8_t> out;
    EncodeFrame({}, bodies.data(), bodies.size(), out);
    EXPECT_LE(out.size(), kMaxDatagram);
    auto record = std::make_unique<sFrameOfMocapData>();
    ASSERT_TRUE(DecodeFrameInto(out.data(), out.size(), record.get()));
    EXPECT_EQ(record->nRigidBodies, static_cast<int32_t>(kMaxBodiesPerFrame));
}

TEST(WireFormat, CommandReplyKeepsPayloadAndRejectsLengthMismatch) {
    std::vector<uint8_t> out;
    EncodeCommandReply({5, 0, {1, 2, 3, 4, 5, 6, 7, 8}}, out);
    CommandReply reply;
    ASSERT_TRUE(DecodeCommandReply(out.data(), out.size(), &reply));
    EXPECT_EQ(reply.requestId, 5u);
    EXPECT_EQ(reply.payload, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    out[16] = 9;  // the declared payload length
    EXPECT_FALSE(DecodeCommandReply(out.data(), out.size(), &reply));
}

}  // namespace
