#include "stream/mmsh_retimer.h"

#include "stream/asf_data_packet.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace tarvoni::stream {

namespace {

constexpr uint16_t kHeaderChunk = 0x4824; // "$H"
constexpr uint16_t kDataChunk = 0x4424;   // "$D"
constexpr uint16_t kChangeChunk = 0x4324; // "$C": a new header follows
// No server's answer head is this long; one that is never ends.
constexpr size_t kLongestHead = 16 * 1024;

// The ASF File Properties object, as it is stored; its preroll field lies 80 bytes in.
constexpr std::array<unsigned char, 16> kFilePropertiesGuid{0xa1, 0xdc, 0xab, 0x8c, 0x47, 0xa9, 0xcf, 0x11,
                                                            0x8e, 0xe4, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65};
constexpr size_t kPrerollOffset = 80;
// The Stream Properties object: one per stream.
constexpr std::array<unsigned char, 16> kStreamPropertiesGuid{0x91, 0x07, 0xdc, 0xb7, 0xb7, 0xa9, 0xcf, 0x11,
                                                              0x8e, 0xe6, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65};
// libVLC's ASF reader moves its clock on in steps of this.
constexpr uint32_t kReaderTickMs = 100;
// The packet size declared to the reader: room for any packet's header, and so small that the
// empty packet after each real one costs next to nothing.
constexpr size_t kFramedPacketSize = 32;
// Packets this long or longer are not framed anew.
constexpr uint64_t kLongestPacket = 60000;
// No packet carries frames further apart than this.
constexpr uint64_t kLongestPacketMs = 1000;
// A preroll beyond this is no preroll but a broken header: left alone.
constexpr uint64_t kLongestPrerollMs = 60000;
// A packet framed anew has its length and padding as words, and keeps its other length type
// flags: error correction, the sequence's size and whether it holds several payloads.
constexpr unsigned kWordLengthAndPadding = (kWordField << kPacketLengthTypeAt)
    | (kWordField << kPaddingLengthTypeAt);
constexpr unsigned kKeptLengthTypeFlags = kErrorCorrectionPresent | (kFieldSizeBits << kSequenceTypeAt)
    | kMultiplePayloads;

template <size_t N>
size_t countOf(const std::string &data, const std::array<unsigned char, N> &guid)
{
    size_t count = 0;
    for (auto at = data.begin();; ++at) {
        at = std::search(at, data.end(), guid.begin(), guid.end(),
                         [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
        if (at == data.end())
            return count;
        ++count;
    }
}

} // namespace

std::string MmshRetimer::feed(std::string_view input)
{
    if (m_state == State::PassThrough)
        return std::string(input);
    if (m_state == State::HeadTooLong)
        return {};
    m_pending.append(input);
    std::string out;

    if (m_state == State::Head) {
        const size_t end = m_pending.find("\r\n\r\n");
        if (end == std::string::npos || end + 4 > kLongestHead) {
            if (m_pending.size() > kLongestHead) {
                m_state = State::HeadTooLong;
                m_pending.clear();
                m_pending.shrink_to_fit();
            }
            return out;
        }
        const size_t bodyAt = end + 4;
        const std::string_view statusLine = std::string_view(m_pending).substr(0, m_pending.find("\r\n"));
        const bool ok = statusLine.size() >= 12 && statusLine.substr(0, 5) == "HTTP/"
            && statusLine.substr(9, 3) == "200";
        out.append(m_pending, 0, bodyAt);
        m_pending.erase(0, bodyAt);
        m_state = ok ? State::Chunks : State::PassThrough;
        if (!ok) {
            out += m_pending;
            m_pending.clear();
            return out;
        }
    }

    // Chunks are framed the way libVLC reads them: four bytes of type and size, up to eight
    // more of header, then as many bytes of data as the second size says.
    while (m_pending.size() >= 4) {
        if (m_pending[0] != '$') {
            m_state = State::PassThrough;
            out += m_pending;
            m_pending.clear();
            return out;
        }
        const auto type = uint16_t(readLe(m_pending, 0, 2));
        const auto size = size_t(readLe(m_pending, 2, 2));
        const size_t rest = std::min<size_t>(size, 8);
        if (m_pending.size() < 4 + rest)
            break;
        size_t dataSize = 0;
        if (rest == 8) {
            const auto size2 = size_t(readLe(m_pending, 10, 2));
            dataSize = size2 > 8 ? size2 - 8 : 0;
        }
        const size_t total = 4 + rest + dataSize;
        if (m_pending.size() < total)
            break;
        std::string chunk = m_pending.substr(0, total);
        m_pending.erase(0, total);
        m_headersRead += type == kHeaderChunk ? 1 : 0;
        m_packetsRead += type == kDataChunk ? 1 : 0;
        if (type == kHeaderChunk && rest == 8)
            retimeHeader(chunk);
        else if (type == kDataChunk && rest == 8 && retimeDataPacket(chunk, out))
            continue;
        else if (type == kChangeChunk)
            m_shiftKnown = false;
        out += chunk;
    }
    return out;
}

void MmshRetimer::retimeHeader(std::string &chunk)
{
    const auto guid = std::search(chunk.begin() + kChunkHead, chunk.end(), kFilePropertiesGuid.begin(),
                                  kFilePropertiesGuid.end(),
                                  [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
    if (guid == chunk.end())
        return;
    const size_t at = size_t(guid - chunk.begin()) + kPrerollOffset;
    if (at + 8 > chunk.size())
        return;
    const uint64_t preroll = readLe(chunk, at, 8);
    if (preroll > kLongestPrerollMs)
        return;
    m_prerollMs = preroll;
    m_shiftKnown = false;
    m_secondSendTime = 0;
    m_splitPending = true;
    m_singleStream = countOf(chunk, kStreamPropertiesGuid) == 1;
    writeLe(chunk, at, 8, 0);
    // The packet sizes follow the flags, which follow the preroll.
    m_packetSize = 0;
    const size_t sizesAt = at + 8 + 4;
    if (sizesAt + 8 > chunk.size())
        return;
    const uint64_t least = readLe(chunk, sizesAt, 4);
    if (least != readLe(chunk, sizesAt + 4, 4) || least < kFramedPacketSize || least > kLongestPacket)
        return;
    m_packetSize = size_t(least);
    writeLe(chunk, sizesAt, 4, kFramedPacketSize);
    writeLe(chunk, sizesAt + 4, 4, kFramedPacketSize);
}

namespace {

// An MMS chunk of data `packetBytes` (the packet's header and some of its payloads).
std::string dataChunk(const std::string &like, uint32_t sequence, const std::string &packetBytes)
{
    std::string chunk = like.substr(0, kChunkHead) + packetBytes;
    const uint64_t size = 8 + packetBytes.size();
    writeLe(chunk, 2, 2, size);
    writeLe(chunk, 4, 4, sequence);
    writeLe(chunk, 10, 2, size);
    return chunk;
}

// The reader starts its clock at the first packet's send time and hands on nothing before a
// second one has arrived: the first packet goes as two, its first frame alone two ticks of the
// reader's clock earlier than the rest, so that what it brought plays at once. Empty when it
// cannot be split.
std::vector<std::string> splitFirstPacket(const std::string &chunk, const DataPacket &packet,
                                          uint32_t sendTime)
{
    if (packet.payloadFlagsAt == 0 || packet.payloads.size() < 2 || sendTime < 2 * kReaderTickMs)
        return {};
    const size_t headEnd = packet.payloads.front().begin;
    const size_t firstEnd = packet.payloads.front().end;
    std::string first = chunk.substr(kChunkHead, firstEnd - kChunkHead);
    std::string rest = chunk.substr(kChunkHead, headEnd - kChunkHead) + chunk.substr(firstEnd);
    const size_t paddingAt = packet.paddingAt - kChunkHead;
    if (packet.paddingSize != 0) {
        // Each keeps the padding it would have had had it been sent alone.
        const uint64_t padding = readLe(chunk, packet.paddingAt, packet.paddingSize);
        const uint64_t largest = packet.paddingSize >= 4 ? 0xffffffffu
                                                         : (uint64_t(1) << (8 * packet.paddingSize)) - 1;
        const uint64_t firstPadding = padding + (packet.payloads.back().end - firstEnd);
        const uint64_t restPadding = padding + (firstEnd - headEnd);
        if (firstPadding > largest || restPadding > largest)
            return {};
        writeLe(first, paddingAt, packet.paddingSize, firstPadding);
        writeLe(rest, paddingAt, packet.paddingSize, restPadding);
    }
    const size_t flagsAt = packet.payloadFlagsAt - kChunkHead;
    const auto flags = static_cast<unsigned char>(chunk[packet.payloadFlagsAt]);
    const unsigned lengthType = flags & ~kPayloadCount;
    first[flagsAt] = char(lengthType | 1);
    rest[flagsAt] = char(lengthType | ((packet.payloads.size() - 1) & kPayloadCount));
    writeLe(first, packet.sendTimeAt - kChunkHead, 4, sendTime - 2 * kReaderTickMs);
    return {first, rest};
}

// The packet (or packets) in `body` as the reader reads them with a packet size of
// kFramedPacketSize: each with its length and padding spelled out, padded to the stream's own
// packet size as libVLC would have padded it, and followed by an empty packet. The reader
// finishes a packet only when it can read on past it: the empty one lets it finish the real one
// as soon as it has arrived, and waits for the next chunk in its place.
std::string framedPackets(const std::string &body, size_t packetSize, uint32_t sendTime)
{
    std::string out;
    for (size_t at = 0; at < body.size();) {
        const auto byteAt = [&](size_t i) {
            return i < body.size() ? static_cast<unsigned char>(body[i]) : 0u;
        };
        size_t p = at;
        if (byteAt(p) & kErrorCorrectionPresent) {
            if (!readableErrorCorrection(byteAt(p)))
                break; // the reader could not read it either
            p += 3;
        }
        const unsigned lengthFlags = byteAt(p);
        const size_t lengthSize = fieldSize(lengthFlags, kPacketLengthTypeAt);
        const size_t sequenceSize = fieldSize(lengthFlags, kSequenceTypeAt);
        const size_t paddingSize = fieldSize(lengthFlags, kPaddingLengthTypeAt);
        const size_t lengthAt = p + 2;
        const size_t sequenceAt = lengthAt + lengthSize;
        const size_t paddingAt = sequenceAt + sequenceSize;
        const size_t restAt = paddingAt + paddingSize;
        if (restAt + 6 > body.size())
            break;
        // What the reader made of the packet with the stream's own packet size.
        const uint64_t declared = lengthSize != 0 ? readLe(body, lengthAt, lengthSize) : packetSize;
        const uint64_t length = std::max<uint64_t>(declared, packetSize);
        const uint64_t padding = (paddingSize != 0 ? readLe(body, paddingAt, paddingSize) : 0)
            + (length - declared);
        const size_t grown = (2 - lengthSize) + (2 - paddingSize);
        if (length + grown > 0xffff || padding > 0xffff)
            break;
        std::string packet = body.substr(at, p - at);
        packet += char((lengthFlags & kKeptLengthTypeFlags) | kWordLengthAndPadding);
        packet += body[p + 1];
        const size_t newLengthAt = packet.size();
        packet.append(2, '\0');
        packet.append(body, sequenceAt, sequenceSize);
        const size_t newPaddingAt = packet.size();
        packet.append(2, '\0');
        const size_t end = std::min<size_t>(body.size(), at + length);
        packet.append(body, restAt, end - restAt);
        packet.resize(size_t(length + grown), '\0');
        writeLe(packet, newLengthAt, 2, length + grown);
        writeLe(packet, newPaddingAt, 2, padding);
        out += packet;
        at += size_t(length);
    }
    // The empty packet: error correction, flags, property, length, padding, send time, duration
    // and no payloads.
    std::string empty{char(kErrorCorrectionPresent | 2), '\0', '\0'};
    empty += char(kMultiplePayloads | kWordLengthAndPadding);
    empty += '\0';
    empty.append(4, '\0');
    const size_t emptyHead = empty.size() + 4 + 2 + 1;
    writeLe(empty, 5, 2, kFramedPacketSize);
    writeLe(empty, 7, 2, kFramedPacketSize - emptyHead);
    empty.append(4, '\0');
    writeLe(empty, 9, 4, sendTime);
    empty.append(2, '\0');
    empty += char(kWordField << kPayloadLengthTypeAt);
    empty.resize(kFramedPacketSize, '\0');
    return out + empty;
}

} // namespace

bool MmshRetimer::retimeDataPacket(std::string &chunk, std::string &out)
{
    const auto sequence = uint32_t(readLe(chunk, 4, 4) + m_sequenceShift);
    const DataPacket packet = readDataPacket(chunk);
    if (packet.sendTimeAt == 0 || packet.sendTimeAt + 6 > chunk.size()) {
        // A packet the reader cannot read either; with packets framed anew, it would no
        // longer be skipped whole, so it goes.
        return m_packetSize != 0;
    }
    const uint32_t sendTime = packet.sendTimeMs;

    if (!m_shiftKnown) {
        // The first packet after a header decides the shift: its first payload's presentation
        // time, as the reader will see it once the preroll is gone, against its send time.
        m_shiftKnown = true;
        m_shiftMs = 0;
        const uint64_t presentation = packet.whole && packet.payloads.front().timed
            ? packet.payloads.front().presentationMs
            : sendTime;
        if (presentation > sendTime)
            m_shiftMs = uint32_t(std::min<uint64_t>(presentation - sendTime, m_prerollMs));
    }
    uint32_t retimed = sendTime + m_shiftMs;
    // The reader hands on what a packet brought only once a later send time shows that the
    // stream has moved on past it, and it moves its clock in whole ticks that stop short of
    // the send time: a send time a tick past the packet's last frame, which is all it still
    // waits for, hands on every frame as soon as the packet is read. At the last frame itself,
    // the frames of the packet's last tick would wait for the next packet.
    const bool inOrder = m_singleStream && presentedInOrder(packet);
    if (inOrder) {
        const uint64_t last = packet.payloads.back().presentationMs;
        const uint64_t due = last + kReaderTickMs;
        if (due > retimed && last <= uint64_t(retimed) + kLongestPacketMs)
            retimed = uint32_t(due);
    }
    if (m_secondSendTime != 0) {
        // The second packet: never sent before libVLC would begin with it.
        retimed = std::max(retimed, m_secondSendTime);
        m_secondSendTime = 0;
    }
    writeLe(chunk, packet.sendTimeAt, 4, retimed);

    std::vector<std::string> packets;
    if (m_splitPending) {
        m_splitPending = false;
        if (inOrder)
            packets = splitFirstPacket(chunk, packet, retimed);
        if (packets.size() == 2) {
            // libVLC begins only once its clock has moved on two ticks past the first packet:
            // the second, which holds as many frames as the first, but may be sent a frame or
            // two short of that, is sent no earlier.
            m_secondSendTime = retimed + 2 * kReaderTickMs;
        }
    }
    if (packets.empty()) {
        if (m_packetSize == 0) {
            if (m_sequenceShift != 0)
                writeLe(chunk, 4, 4, sequence);
            return false;
        }
        packets.push_back(chunk.substr(kChunkHead));
    }
    for (size_t i = 0; i < packets.size(); ++i) {
        std::string body = m_packetSize != 0 ? framedPackets(packets[i], m_packetSize, retimed) : packets[i];
        // A chunk's size is a 16-bit count: a chunk that no longer fits goes.
        if (8 + body.size() <= 0xffff)
            out += dataChunk(chunk, uint32_t(sequence + i), body);
    }
    m_sequenceShift += uint32_t(packets.size() - 1);
    return true;
}

} // namespace tarvoni::stream
