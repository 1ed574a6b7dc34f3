#include "stream/ts_retimer.h"

#include <algorithm>

namespace tarvoni::stream {

namespace {

constexpr size_t kPacket = 188;
constexpr unsigned kSync = 0x47;
constexpr size_t kMostHeld = 128 * 1024;
constexpr int64_t kClockWrap = int64_t(1) << 33; // PCR bases and PTS count 33 bits of 90 kHz
constexpr int64_t kLongestLead = 10 * 90000;     // a longer lead is no muxer's delay

// Packet header: the flag that a PES starts here, and the two bits that say what follows.
constexpr unsigned kPayloadStart = 0x40;
constexpr unsigned kHasAdaptation = 2;
constexpr unsigned kHasPayload = 1;
constexpr unsigned kPcrFlag = 0x10;
constexpr size_t kPcrAt = 6;     // after the header and the adaptation field's length and flags
constexpr size_t kPcrLength = 7; // the flags byte and the six bytes of a PCR
constexpr unsigned kPtsFlag = 0x80;

unsigned byteAt(std::string_view bytes, size_t at)
{
    return static_cast<unsigned char>(bytes[at]);
}

unsigned control(std::string_view packet)
{
    return (byteAt(packet, 3) >> 4) & 3;
}

bool hasPcr(std::string_view packet)
{
    if (!(control(packet) & kHasAdaptation))
        return false;
    const size_t length = byteAt(packet, 4);
    return length >= kPcrLength && 5 + length <= kPacket && (byteAt(packet, 5) & kPcrFlag);
}

// The PCR's 33-bit base, counted at 90 kHz; its 9-bit 27 MHz extension stays as it is.
int64_t pcrBase(std::string_view packet)
{
    int64_t base = 0;
    for (size_t i = 0; i < 4; ++i)
        base = (base << 8) | byteAt(packet, kPcrAt + i);
    return (base << 1) | (byteAt(packet, kPcrAt + 4) >> 7);
}

// Writes the base of the PCR in the packet at `at` of `stream`.
void setPcrBase(std::string &stream, size_t at, int64_t base)
{
    const size_t pcr = at + kPcrAt;
    for (size_t i = 0; i < 4; ++i)
        stream[pcr + i] = char((base >> (25 - 8 * i)) & 0xff);
    stream[pcr + 4] = char((byteAt(stream, pcr + 4) & 0x7f) | ((base & 1) << 7));
}

// The PTS of a sound or picture PES that starts in this packet, or -1.
int64_t pesPts(std::string_view packet)
{
    const unsigned what = control(packet);
    if (!(byteAt(packet, 1) & kPayloadStart) || !(what & kHasPayload))
        return -1;
    const size_t at = 4 + ((what & kHasAdaptation) ? 1 + byteAt(packet, 4) : 0);
    if (at + 14 > kPacket || packet.substr(at, 3) != std::string_view("\0\0\1", 3))
        return -1;
    const unsigned stream = byteAt(packet, at + 3);
    const bool media = stream == 0xbd || (stream >= 0xc0 && stream <= 0xef);
    if (!media || !(byteAt(packet, at + 7) & kPtsFlag))
        return -1;
    const size_t p = at + 9;
    return (int64_t((byteAt(packet, p) >> 1) & 7) << 30) | (int64_t(byteAt(packet, p + 1)) << 22)
        | (int64_t(byteAt(packet, p + 2) >> 1) << 15) | (int64_t(byteAt(packet, p + 3)) << 7)
        | int64_t(byteAt(packet, p + 4) >> 1);
}

} // namespace

std::string TsRetimer::feed(std::string_view input)
{
    std::string out;
    while (!input.empty() && !passing()) {
        const size_t take = std::min(kPacket - m_partial.size(), input.size());
        m_partial.append(input.substr(0, take));
        input.remove_prefix(take);
        if (m_partial.size() == kPacket) {
            out += packet(m_partial);
            m_partial.clear();
        }
    }
    if (passing()) {
        out += m_partial;
        m_partial.clear();
        out.append(input);
    }
    return out;
}

std::string TsRetimer::endSegment()
{
    std::string out;
    // A whole segment without both clocks: the stream is left as it is.
    if (!m_held.empty()) {
        m_state = State::Passing;
        out = release();
    }
    out += m_partial;
    m_partial.clear();
    m_segmentLost = false;
    return out;
}

std::string TsRetimer::packet(std::string_view bytes)
{
    if (byteAt(bytes, 0) != kSync) {
        if (m_state == State::Retiming) {
            m_segmentLost = true;
            return std::string(bytes);
        }
        m_state = State::Passing;
        return release().append(bytes);
    }
    if (m_state == State::Retiming) {
        std::string out(bytes);
        retime(out, 0);
        return out;
    }
    look(bytes);
    m_held += bytes;
    if (m_state == State::Finding) {
        if (m_held.size() < kMostHeld)
            return {};
        m_state = State::Passing;
    }
    return release();
}

std::string TsRetimer::release()
{
    std::string out = std::move(m_held);
    m_held.clear();
    if (m_state == State::Retiming) {
        for (size_t at = 0; at < out.size(); at += kPacket)
            retime(out, at);
    }
    return out;
}

void TsRetimer::look(std::string_view bytes)
{
    if (!m_firstPcr && hasPcr(bytes))
        m_firstPcr = pcrBase(bytes);
    const int64_t pts = m_firstPcr ? pesPts(bytes) : -1;
    if (pts < 0)
        return;
    int64_t lead = (pts - *m_firstPcr + kClockWrap) % kClockWrap;
    if (lead >= kClockWrap / 2)
        lead -= kClockWrap;
    if (lead > 0 && lead <= kLongestLead) {
        m_lead = lead;
        m_state = State::Retiming;
    } else {
        m_state = State::Passing;
    }
}

void TsRetimer::retime(std::string &stream, size_t at) const
{
    const std::string_view packet = std::string_view(stream).substr(at, kPacket);
    if (hasPcr(packet))
        setPcrBase(stream, at, (pcrBase(packet) + m_lead) % kClockWrap);
}

} // namespace tarvoni::stream
