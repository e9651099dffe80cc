#include "standins/orvix/WireFormat.h"

#include <cstring>

namespace orvix::wire {

namespace {

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out) : out_(out) {}

    void U8(uint8_t value) { out_.push_back(value); }
    void U16(uint16_t value) { Bytes(value, 2); }
    void U32(uint32_t value) { Bytes(value, 4); }
    void U64(uint64_t value) { Bytes(value, 8); }
    void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
    void I16(int16_t value) { U16(static_cast<uint16_t>(value)); }
    void F32(float value) {
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof(bits));
        U32(bits);
    }
    // A short text: one length byte, then the bytes (cut to kMaxTextLength).
    void Text8(const std::string& text) {
        const size_t length = text.size() < kMaxTextLength ? text.size() : kMaxTextLength;
        U8(static_cast<uint8_t>(length));
        out_.insert(out_.end(), text.begin(), text.begin() + static_cast<ptrdiff_t>(length));
    }
    void Raw(const uint8_t* data, size_t size) { out_.insert(out_.end(), data, data + size); }

private:
    void Bytes(uint64_t value, int count) {
        for (int i = 0; i < count; ++i) {
            out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    }
    std::vector<uint8_t>& out_;
};

// Reads fields in order; once a read would pass the end, every later read fails too.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool U8(uint8_t* value) {
        uint64_t raw = 0;
        const bool ok = Bytes(&raw, 1);
        *value = static_cast<uint8_t>(raw);
        return ok;
    }
    bool U16(uint16_t* value) {
        uint64_t raw = 0;
        const bool ok = Bytes(&raw, 2);
        *value = static_cast<uint16_t>(raw);
        return ok;
    }
    bool U32(uint32_t* value) {
        uint64_t raw = 0;
        const bool ok = Bytes(&raw, 4);
        *value = static_cast<uint32_t>(raw);
        return ok;
    }
    bool U64(uint64_t* value) { return Bytes(value, 8); }
    bool I32(int32_t* value) {
        uint32_t raw = 0;
        const bool ok = U32(&raw);
        *value = static_cast<int32_t>(raw);
        return ok;
    }
    bool I16(int16_t* value) {
        uint16_t raw = 0;
        const bool ok = U16(&raw);
        *value = static_cast<int16_t>(raw);
        return ok;
    }
    bool F32(float* value) {
        uint32_t bits = 0;
        const bool ok = U32(&bits);
        std::memcpy(value, &bits, sizeof(bits));
        return ok;
    }
    bool Text8(std::string* text) {
        uint8_t length = 0;
        if (!U8(&length) || Remaining() < length) {
            failed_ = true;
            return false;
        }
        text->assign(reinterpret_cast<const char*>(data_ + offset_), length);
        offset_ += length;
        return true;
    }
    bool Raw(uint8_t* out, size_t count) {
        if (failed_ || Remaining() < count) {
            failed_ = true;
            return false;
        }
        // An empty payload's buffer may be null, which memcpy must not be given even for 0 bytes.
        if (count > 0) {
            std::memcpy(out, data_ + offset_, count);
        }
        offset_ += count;
        return true;
    }
    size_t Remaining() const { return size_ - offset_; }
    // True when every read succeeded and the datagram held nothing more.
    bool Complete() const { return !failed_ && offset_ == size_; }

private:
    bool Bytes(uint64_t* value, size_t count) {
        if (failed_ || Remaining() < count) {
            failed_ = true;
            return false;
        }
        uint64_t result = 0;
        for (size_t i = 0; i < count; ++i) {
            result |= static_cast<uint64_t>(data_[offset_ + i]) << (8 * i);
        }
        offset_ += count;
        *value = result;
        return true;
    }
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
    bool failed_ = false;
};

Writer Begin(MessageType type, std::vector<uint8_t>& out) {
    out.clear();
    Writer writer(out);
    writer.U32(kMagic);
    writer.U8(kVersion);
    writer.U8(static_cast<uint8_t>(type));
    writer.U16(0);
    return writer;
}

// Checks the header and the type; leaves the reader at the payload.
bool Expect(Reader& reader, MessageType type) {
    uint32_t magic = 0;
    uint8_t version = 0;
    uint8_t actualType = 0;
    uint16_t reserved = 0;
    return reader.U32(&magic) && reader.U8(&version) && reader.U8(&actualType) &&
           reader.U16(&reserved) && magic == kMagic && version == kVersion &&
           actualType == static_cast<uint8_t>(type);
}

}  // namespace

void EncodeEmpty(MessageType type, std::vector<uint8_t>& out) {
    Begin(type, out);
}

void EncodeDiscoveryReply(const DiscoveryReply& message, std::vector<uint8_t>& out) {
    Writer writer = Begin(MessageType::kDiscoveryReply, out);
    writer.U16(message.commandPort);
    writer.U16(message.dataPort);
    writer.U8(message.multicast ? 1 : 0);
    writer.U32(message.multicastGroup);
    writer.Text8(message.serverName);
}

void EncodeConnectRequest(const ConnectRequest& message, std::vector<uint8_t>& out) {
    Writer writer = Begin(MessageType::kConnectRequest, out);
    writer.U32(message.requestId);
    writer.U8(message.unicast ? 1 : 0);
    writer.U16(message.clientDataPort);
    writer.U64(message.clientTimeNs);
}

void EncodeConnectReply(const ConnectReply& message, std::vector<uint8_t>& out) {
    Writer writer = Begin(MessageType::kConnectReply, out);
    writer.U32(message.requestId);
    writer.I32(message.result);
    writer.U64(message.clientTimeNs);
    writer.U64(message.serverTicks);
    writer.U64(message.ticksPerSecond);
    writer.U16(message.dataPort);
    writer.U8(message.multicast ? 1 : 0);
    writer.U32(message.multicastGroup);
    writer.Raw(message.appVersion, sizeof(message.appVersion));
    writer.Text8(message.hostName);
    writer.Text8(message.appName);
}

void EncodeCommand(const Command& message, std::vector<uint8_t>& out) {
    Writer writer = Begin(MessageType::kCommand, out);
    writer.U32(message.requestId);
    writer.Text8(message.text);
}

void EncodeCommandReply(const CommandReply& message, std::vector<uint8_t>& out) {
    Writer writer = Begin(MessageType::kCommandReply, out);
    writer.U32(message.requestId);
    writer.I32(message.result);
    const size_t length =
        message.payload.size() < kMaxPayloadLength ? message.payload.size() : kMaxPayloadLength;
    writer.U16(static_cast<uint16_t>(length));
    writer.Raw(message.payload.data(), length);
}

void EncodeFrame(const FrameHeader& header, const RigidBodyEntry* bodies, size_t count,
                 std::vector<uint8_t>& out) {
    if (count > kMaxBodiesPerFrame) {
        count = kMaxBodiesPerFrame;
    }
    Writer writer = Begin(MessageType::kFrame, out);
    writer.U32(header.frameNumber);
    writer.U64(header.cameraMidExposureTimestamp);
    writer.U64(header.cameraDataReceivedTimestamp);
    writer.U64(header.transmitTimestamp);
    writer.U16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const RigidBodyEntry& body = bodies[i];
        writer.I32(body.id);
        writer.F32(body.x);
        writer.F32(body.y);
        writer.F32(body.z);
        writer.F32(body.qx);
        writer.F32(body.qy);
        writer.F32(body.qz);
        writer.F32(body.qw);
        writer.F32(body.meanError);
        writer.I16(body.params);
    }
}

bool PeekType(const uint8_t* data, size_t size, MessageType* type) {
    Reader reader(data, size);
    uint32_t magic = 0;
    uint8_t version = 0;
    uint8_t rawType = 0;
    uint16_t reserved = 0;
    if (!(reader.U32(&magic) && reader.U8(&version) && reader.U8(&rawType) &&
          reader.U16(&reserved)) ||
        magic != kMagic || version != kVersion || rawType < 1 || rawType > 8) {
        return false;
    }
    *type = static_cast<MessageType>(rawType);
    return true;
}

bool DecodeDiscoveryReply(const uint8_t* data, size_t size, DiscoveryReply* message) {
    Reader reader(data, size);
    uint8_t multicast = 0;
    return Expect(reader, MessageType::kDiscoveryReply) && reader.U16(&message->commandPort) &&
           reader.U16(&message->dataPort) && reader.U8(&multicast) &&
           reader.U32(&message->multicastGroup) && reader.Text8(&message->serverName) &&
           reader.Complete() && (message->multicast = multicast != 0, true);
}

bool DecodeConnectRequest(const uint8_t* data, size_t size, ConnectRequest* message) {
    Reader reader(data, size);
    uint8_t unicast = 0;
    return Expect(reader, MessageType::kConnectRequest) && reader.U32(&message->requestId) &&
           reader.U8(&unicast) && reader.U16(&message->clientDataPort) &&
           reader.U64(&message->clientTimeNs) && reader.Complete() &&
           (message->unicast = unicast != 0, true);
}

bool DecodeConnectReply(const uint8_t* data, size_t size, ConnectReply* message) {
    Reader reader(data, size);
    uint8_t multicast = 0;
    return Expect(reader, MessageType::kConnectReply) && reader.U32(&message->requestId) &&
           reader.I32(&message->result) && reader.U64(&message->clientTimeNs) &&
           reader.U64(&message->serverTicks) && reader.U64(&message->ticksPerSecond) &&
           reader.U16(&message->dataPort) && reader.U8(&multicast) &&
           reader.U32(&message->multicastGroup) &&
           reader.Raw(message->appVersion, sizeof(message->appVersion)) &&
           reader.Text8(&message->hostName) && reader.Text8(&message->appName) &&
           reader.Complete() && (message->multicast = multicast != 0, true);
}

bool DecodeCommand(const uint8_t* data, size_t size, Command* message) {
    Reader reader(data, size);
    return Expect(reader, MessageType::kCommand) && reader.U32(&message->requestId) &&
           reader.Text8(&message->text) && reader.Complete();
}

bool DecodeCommandReply(const uint8_t* data, size_t size, CommandReply* message) {
    Reader reader(data, size);
    uint16_t length = 0;
    if (!(Expect(reader, MessageType::kCommandReply) && reader.U32(&message->requestId) &&
          reader.I32(&message->result) && reader.U16(&length)) ||
        length > kMaxPayloadLength || reader.Remaining() != length) {
        return false;
    }
    message->payload.resize(length);
    return reader.Raw(message->payload.data(), length) && reader.Complete();
}

bool DecodeFrameInto(const uint8_t* data, size_t size, sFrameOfMocapData* frame) {
    Reader reader(data, size);
    uint32_t frameNumber = 0;
    FrameHeader header;
    uint16_t count = 0;
    if (!(Expect(reader, MessageType::kFrame) && reader.U32(&frameNumber) &&
          reader.U64(&header.cameraMidExposureTimestamp) &&
          reader.U64(&header.cameraDataReceivedTimestamp) &&
          reader.U64(&header.transmitTimestamp) && reader.U16(&count)) ||
        count > kMaxBodiesPerFrame || reader.Remaining() != count * kBodyWireSize) {
        return false;
    }
    for (uint16_t i = 0; i < count; ++i) {
        RigidBodyEntry& body = frame->rigidBodies[i];
        reader.I32(&body.id);
        reader.F32(&body.x);
        reader.F32(&body.y);
        reader.F32(&body.z);
        reader.F32(&body.qx);
        reader.F32(&body.qy);
        reader.F32(&body.qz);
        reader.F32(&body.qw);
        reader.F32(&body.meanError);
        reader.I16(&body.params);
    }
    frame->iFrame = static_cast<int32_t>(frameNumber);
    frame->nRigidBodies = count;
    frame->nSkeletons = 0;
    frame->cameraMidExposureTimestamp = header.cameraMidExposureTimestamp;
    frame->cameraDataReceivedTimestamp = header.cameraDataReceivedTimestamp;
    frame->transmitTimestamp = header.transmitTimestamp;
    return reader.Complete();
}

}  // namespace orvix::wire
