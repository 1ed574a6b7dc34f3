#include "stream/asf_data_packet.h"

#include <array>

namespace tarvoni::stream {

size_t fieldSize(unsigned flags, unsigned at)
{
    static constexpr std::array<size_t, 4> kSizes{0, 1, 2, 4};
    return kSizes[(flags >> at) & kFieldSizeBits];
}

bool readableErrorCorrection(unsigned flags)
{
    return (flags & kErrorCorrectionLengthType) == 0 && (flags & kOpaqueDataPresent) == 0
        && (flags & kErrorCorrectionDataLength) == 2;
}

uint64_t readLe(const std::string &data, size_t at, size_t bytes)
{
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i)
        value |= uint64_t(static_cast<unsigned char>(data[at + i])) << (8 * i);
    return value;
}

void writeLe(std::string &data, size_t at, size_t bytes, uint64_t value)
{
    for (size_t i = 0; i < bytes; ++i)
        data[at + i] = char((value >> (8 * i)) & 0xff);
}

DataPacket readDataPacket(const std::string &chunk)
{
    DataPacket packet;
    const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(chunk[i]); };
    size_t at = kChunkHead;
    if (at >= chunk.size())
        return packet;
    if (byteAt(at) & kErrorCorrectionPresent) {
        if (!readableErrorCorrection(byteAt(at)))
            return packet; // error correction libVLC does not read either
        at += 1 + 2;
    }
    if (at + 2 > chunk.size())
        return packet;
    const unsigned lengthFlags = byteAt(at);
    const unsigned property = byteAt(at + 1);
    at += 2 + fieldSize(lengthFlags, kPacketLengthTypeAt) + fieldSize(lengthFlags, kSequenceTypeAt);
    packet.paddingAt = at;
    packet.paddingSize = fieldSize(lengthFlags, kPaddingLengthTypeAt);
    at += packet.paddingSize;
    packet.sendTimeAt = at;
    if (at + 6 > chunk.size())
        return packet;
    packet.sendTimeMs = uint32_t(readLe(chunk, at, 4));
    at += 6;
    const bool multiple = lengthFlags & kMultiplePayloads;
    size_t count = 1;
    unsigned lengthType = 0;
    if (multiple) {
        if (at >= chunk.size())
            return packet;
        packet.payloadFlagsAt = at;
        count = byteAt(at) & kPayloadCount;
        lengthType = byteAt(at) >> kPayloadLengthTypeAt;
        ++at;
    }
    for (size_t i = 0; i < count; ++i) {
        Payload payload;
        payload.begin = at;
        const size_t objectNumberSize = fieldSize(property, kObjectNumberTypeAt);
        const size_t offsetSize = fieldSize(property, kOffsetTypeAt);
        const size_t replicatedSize = fieldSize(property, kReplicatedLengthTypeAt);
        if (at + 1 + objectNumberSize + offsetSize + replicatedSize > chunk.size())
            return packet;
        payload.stream = byteAt(at) & kStreamNumber;
        at += 1 + objectNumberSize;
        const uint64_t offset = readLe(chunk, at, offsetSize);
        at += offsetSize;
        const uint64_t replicated = readLe(chunk, at, replicatedSize);
        at += replicatedSize;
        if (replicated >= 8 && at + 8 <= chunk.size()) {
            payload.timed = true;
            payload.presentationMs = readLe(chunk, at + 4, 4);
        } else if (replicated == 1) {
            payload.timed = true;
            payload.presentationMs = offset; // compressed payloads carry the presentation time here
        }
        at += replicated;
        if (!multiple) {
            payload.end = chunk.size();
        } else {
            const size_t lengthSize = fieldSize(lengthType, 0);
            if (lengthSize == 0 || at + lengthSize > chunk.size())
                return packet;
            payload.end = at + lengthSize + readLe(chunk, at, lengthSize);
        }
        if (payload.end > chunk.size() || payload.end <= at)
            return packet;
        at = payload.end;
        packet.payloads.push_back(payload);
    }
    packet.whole = !packet.payloads.empty();
    return packet;
}

bool presentedInOrder(const DataPacket &packet)
{
    if (!packet.whole)
        return false;
    for (size_t i = 0; i < packet.payloads.size(); ++i) {
        const Payload &payload = packet.payloads[i];
        if (!payload.timed || payload.stream != packet.payloads.front().stream
            || (i > 0 && payload.presentationMs < packet.payloads[i - 1].presentationMs))
            return false;
    }
    return true;
}

} // namespace tarvoni::stream
