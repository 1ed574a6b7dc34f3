#include "stream/mmsh_retimer.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tarvoni::stream {

namespace {

constexpr uint16_t kHeaderChunk = 0x4824; // "$H"
constexpr uint16_t kDataChunk = 0x4424;   // "$D"
constexpr uint16_t kChangeChunk = 0x4324; // "$C": a new header follows
constexpr size_t kChunkHead = 12;         // type, size, sequence, two unknown bytes, size again
// No server's answer head is this long; one that is never ends.
constexpr size_t kLongestHead = 16 * 1024;

// The ASF File Properties object, as it is stored; its preroll field lies 80 bytes in.
constexpr std::array<unsigned char, 16> kFilePropertiesGuid{0xa1, 0xdc, 0xab, 0x8c, 0x47, 0xa9, 0xcf, 0x11,
                                                            0x8e, 0xe4, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65};
constexpr size_t kPrerollOffset = 80;
// A preroll beyond this is no preroll but a broken header: left alone.
constexpr uint64_t kLongestPrerollMs = 60000;

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

// The size of a field whose length an ASF packet gives as two bits: none, a byte, a word or a
// double word.
size_t fieldSize(unsigned bits)
{
    static constexpr std::array<size_t, 4> kSizes{0, 1, 2, 4};
    return kSizes[bits & 3];
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
        if (type == kHeaderChunk && rest == 8)
            retimeHeader(chunk);
        else if (type == kDataChunk && rest == 8)
            retimeDataPacket(chunk);
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
    writeLe(chunk, at, 8, 0);
}

void MmshRetimer::retimeDataPacket(std::string &chunk)
{
    if (m_prerollMs == 0)
        return;
    // The packet's header, read the way libVLC's ASF reader reads it.
    size_t at = kChunkHead;
    const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(chunk[i]); };
    if (at >= chunk.size())
        return;
    if (byteAt(at) & 0x80) {
        const unsigned flags = byteAt(at);
        if ((flags & 0x60) != 0 || (flags & 0x10) != 0 || (flags & 0x0f) != 2)
            return; // error correction libVLC does not read either
        at += 1 + 2;
    }
    if (at + 2 > chunk.size())
        return;
    const unsigned lengthFlags = byteAt(at);
    const unsigned property = byteAt(at + 1);
    at += 2 + fieldSize(lengthFlags >> 5) + fieldSize(lengthFlags >> 1) + fieldSize(lengthFlags >> 3);
    const size_t sendTimeAt = at;
    if (sendTimeAt + 6 > chunk.size())
        return;
    const auto sendTime = uint32_t(readLe(chunk, sendTimeAt, 4));

    if (!m_shiftKnown) {
        // The first packet after a header decides the shift: its first payload's presentation
        // time, as the reader will see it once the preroll is gone, against its send time.
        m_shiftKnown = true;
        m_shiftMs = 0;
        size_t p = sendTimeAt + 6;
        if (lengthFlags & 0x01)
            ++p; // the payloads' flags
        ++p;     // stream number
        const size_t objectNumberSize = fieldSize(property >> 4);
        const size_t offsetSize = fieldSize(property >> 2);
        const size_t replicatedSize = fieldSize(property);
        if (p + objectNumberSize + offsetSize + replicatedSize > chunk.size())
            return;
        p += objectNumberSize;
        const uint64_t offset = readLe(chunk, p, offsetSize);
        p += offsetSize;
        const uint64_t replicated = readLe(chunk, p, replicatedSize);
        p += replicatedSize;
        uint64_t presentation = sendTime;
        if (replicated >= 8 && p + 8 <= chunk.size())
            presentation = readLe(chunk, p + 4, 4);
        else if (replicated == 1)
            presentation = offset; // compressed payloads carry the presentation time here
        if (presentation > sendTime)
            m_shiftMs = uint32_t(std::min<uint64_t>(presentation - sendTime, m_prerollMs));
    }
    if (m_shiftMs != 0)
        writeLe(chunk, sendTimeAt, 4, uint32_t(sendTime + m_shiftMs));
}

} // namespace tarvoni::stream
