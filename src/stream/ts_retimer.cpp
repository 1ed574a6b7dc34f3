#include "stream/ts_retimer.h"

#include <algorithm>

namespace tarvoni::stream {

namespace {

constexpr size_t kPacket = 188;
constexpr unsigned kSync = 0x47;
constexpr size_t kMostHeld = 128 * 1024;
constexpr int64_t kClockWrap = int64_t(1) << 33; // PCR bases and PTS count 33 bits of 90 kHz
constexpr int64_t kTicks = 90000;                // a second
constexpr int64_t kLongestLead = 10 * kTicks;    // a longer lead is no muxer's delay
constexpr size_t kMostTracks = 8;                // elementary streams followed for a restart
constexpr size_t kMostPayload = 32 * 1024;       // of a PES, kept to count its sound

// Packet header: the flag that a PES starts here, and the two bits that say what follows.
constexpr unsigned kPayloadStart = 0x40;
constexpr unsigned kHasAdaptation = 2;
constexpr unsigned kHasPayload = 1;
constexpr unsigned kPcrFlag = 0x10;
constexpr size_t kPcrAt = 6;          // after the header and the adaptation field's length and flags
constexpr size_t kPcrLength = 7;      // the flags byte and the six bytes of a PCR
constexpr unsigned kNullPid = 0x1fff; // stuffing: no continuity counter
constexpr unsigned kPtsFlag = 0x80;
constexpr unsigned kDtsFlag = 0x40;

unsigned byteAt(std::string_view bytes, size_t at)
{
    return static_cast<unsigned char>(bytes[at]);
}

unsigned control(std::string_view packet)
{
    return (byteAt(packet, 3) >> 4) & 3;
}

unsigned pidOf(std::string_view packet)
{
    return ((byteAt(packet, 1) & 0x1f) << 8) | byteAt(packet, 2);
}

int64_t wrapped(int64_t time)
{
    return ((time % kClockWrap) + kClockWrap) % kClockWrap;
}

// How far `later` is after `earlier` on the 33-bit clock: negative when it is before.
int64_t after(int64_t later, int64_t earlier)
{
    const int64_t difference = wrapped(later - earlier);
    return difference >= kClockWrap / 2 ? difference - kClockWrap : difference;
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

// Where the payload starts in a packet, or kPacket when it has none.
size_t payloadAt(std::string_view packet)
{
    const unsigned what = control(packet);
    if (!(what & kHasPayload))
        return kPacket;
    return std::min(kPacket, 4 + ((what & kHasAdaptation) ? 1 + size_t(byteAt(packet, 4)) : 0));
}

// A PES that starts in a packet with a PTS (and maybe a DTS) whole in it.
struct PesStart {
    size_t at = 0; // of its header
    bool sound = false;
    bool media = false; // sound, pictures or private data: what a timeline is measured on
    bool dts = false;
    size_t payload = 0; // where its payload starts
};

std::optional<PesStart> pesStart(std::string_view packet)
{
    if (!(byteAt(packet, 1) & kPayloadStart))
        return {};
    PesStart pes;
    pes.at = payloadAt(packet);
    if (pes.at + 14 > kPacket || packet.substr(pes.at, 3) != std::string_view("\0\0\1", 3))
        return {};
    // Padding, private stream 2, ECM, EMM, DSM-CC, H.222.1 type E and the directory have no
    // header flags and no timestamps.
    const unsigned stream = byteAt(packet, pes.at + 3);
    if (stream == 0xbc || stream == 0xbe || stream == 0xbf || stream == 0xf0 || stream == 0xf1
        || stream == 0xf2 || stream == 0xf8 || stream == 0xff)
        return {};
    const unsigned flags = byteAt(packet, pes.at + 7);
    if (!(flags & kPtsFlag))
        return {};
    pes.sound = stream >= 0xc0 && stream <= 0xdf;
    pes.media = pes.sound || stream == 0xbd || (stream >= 0xe0 && stream <= 0xef);
    pes.dts = (flags & kDtsFlag) && pes.at + 19 <= kPacket;
    pes.payload = std::min(kPacket, pes.at + 9 + byteAt(packet, pes.at + 8));
    return pes;
}

// The 33-bit time written in five bytes at `at`, between marker bits.
int64_t timestampAt(std::string_view bytes, size_t at)
{
    return (int64_t((byteAt(bytes, at) >> 1) & 7) << 30) | (int64_t(byteAt(bytes, at + 1)) << 22)
        | (int64_t(byteAt(bytes, at + 2) >> 1) << 15) | (int64_t(byteAt(bytes, at + 3)) << 7)
        | int64_t(byteAt(bytes, at + 4) >> 1);
}

void setTimestampAt(std::string &bytes, size_t at, int64_t time)
{
    bytes[at] = char((byteAt(bytes, at) & 0xf1) | ((time >> 29) & 0x0e));
    bytes[at + 1] = char((time >> 22) & 0xff);
    bytes[at + 2] = char((byteAt(bytes, at + 2) & 0x01) | ((time >> 14) & 0xfe));
    bytes[at + 3] = char((time >> 7) & 0xff);
    bytes[at + 4] = char((byteAt(bytes, at + 4) & 0x01) | ((time << 1) & 0xfe));
}

// How long the AAC frames (ADTS) at the start of `payload` play, in 90 kHz ticks; 0 when it
// does not start with one.
int64_t adtsLength(std::string_view payload)
{
    static constexpr int64_t kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                         22050, 16000, 12000, 11025, 8000,  7350};
    int64_t samples = 0;
    int64_t rate = 0;
    for (size_t at = 0; at + 7 <= payload.size();) {
        const unsigned index = (byteAt(payload, at + 2) >> 2) & 0xf;
        const size_t length = (size_t(byteAt(payload, at + 3) & 3) << 11) | (byteAt(payload, at + 4) << 3)
            | (byteAt(payload, at + 5) >> 5);
        if (byteAt(payload, at) != 0xff || (byteAt(payload, at + 1) & 0xf6) != 0xf0 || index >= 13
            || length < 7)
            break;
        samples += 1024 * ((byteAt(payload, at + 6) & 3) + 1);
        rate = kRates[index];
        at += length;
    }
    return rate > 0 ? samples * kTicks / rate : 0;
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
    // A whole segment without what was waited for: the timestamps are left as they are.
    if (!m_held.empty()) {
        giveUp();
        out = release();
    }
    out += m_partial;
    m_partial.clear();
    m_segmentLost = false;
    return out;
}

void TsRetimer::restartClock()
{
    if (m_state != State::Retiming || m_tracks.empty())
        return;
    m_aligning = true;
    m_firstPcr.reset();
    m_firstPes.reset();
    for (auto &[pid, counter] : m_counters)
        counter.placed = false;
}

std::string TsRetimer::packet(std::string_view bytes)
{
    if (byteAt(bytes, 0) != kSync) {
        if (m_state == State::Finding)
            m_state = State::Passing;
        else if (m_aligning)
            giveUp();
        std::string out = release().append(bytes);
        m_segmentLost = m_state == State::Retiming;
        return out;
    }
    if (!holding()) {
        std::string out(bytes);
        retime(out, 0);
        return out;
    }
    look(bytes);
    m_held += bytes;
    if (holding()) {
        if (m_held.size() < kMostHeld)
            return {};
        giveUp();
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
    const std::optional<PesStart> pes = pesStart(bytes);
    if (!pes || !pes->media)
        return;
    const int64_t pts = timestampAt(bytes, pes->at + 9);
    if (m_aligning) {
        // The sound is what must go on without a gap; anything else only when there is none.
        if (!m_firstPes)
            m_firstPes = {pidOf(bytes), pts};
        if (pes->sound)
            align(pidOf(bytes), pts);
        return;
    }
    if (!m_firstPcr)
        return;
    const int64_t lead = after(pts, *m_firstPcr);
    m_lead = lead > 0 && lead <= kLongestLead ? lead : 0;
    m_state = State::Retiming;
}

void TsRetimer::giveUp()
{
    if (m_state == State::Finding)
        m_state = State::Retiming;
    if (m_aligning && m_firstPes)
        align(m_firstPes->first, m_firstPes->second);
    m_aligning = false;
}

void TsRetimer::align(unsigned pid, int64_t pts)
{
    const int64_t end = soundEnd(pid);
    if (end >= 0)
        m_shift = wrapped(end - pts);
    if (m_firstPcr) {
        const int64_t lead = after(pts, *m_firstPcr);
        if (lead > 0 && lead <= kLongestLead)
            m_lead = lead;
    }
    m_aligning = false;
}

int64_t TsRetimer::soundEnd(unsigned pid) const
{
    // A PES plays as long as its AAC frames, or else as long as the step to it from the one
    // before.
    const auto endOf = [](const Track &track) {
        const int64_t length = adtsLength(track.payload);
        return wrapped(track.pts + (length > 0 ? length : track.step));
    };
    if (const auto same = m_tracks.find(pid); same != m_tracks.end())
        return endOf(same->second);
    int64_t end = -1;
    for (const auto &[other, track] : m_tracks) {
        if (end < 0 || after(endOf(track), end) > 0)
            end = endOf(track);
    }
    return end;
}

void TsRetimer::retime(std::string &stream, size_t at)
{
    const std::string_view packet = std::string_view(stream).substr(at, kPacket);
    if (hasPcr(packet))
        setPcrBase(stream, at, wrapped(pcrBase(packet) + m_shift + m_lead));
    if (const std::optional<PesStart> pes = pesStart(packet); pes && m_shift != 0) {
        setTimestampAt(stream, at + pes->at + 9, wrapped(timestampAt(packet, pes->at + 9) + m_shift));
        if (pes->dts)
            setTimestampAt(stream, at + pes->at + 14, wrapped(timestampAt(packet, pes->at + 14) + m_shift));
    }
    follow(packet);
    count(stream, at);
}

void TsRetimer::count(std::string &stream, size_t at)
{
    const unsigned pid = pidOf(std::string_view(stream).substr(at, kPacket));
    if (pid == kNullPid)
        return;
    const unsigned header = byteAt(stream, at + 3);
    const auto [known, added] = m_counters.try_emplace(pid);
    Counter &counter = known->second;
    // A packet without payload repeats the counter of the one before; one with payload, the
    // next.
    if (!added && !counter.placed)
        counter.shift = (counter.last + (header >> 4 & kHasPayload) - (header & 0xf)) & 0xf;
    counter.placed = true;
    counter.last = (header + counter.shift) & 0xf;
    stream[at + 3] = char((header & 0xf0) | counter.last);
}

void TsRetimer::follow(std::string_view packet)
{
    const unsigned pid = pidOf(packet);
    const std::optional<PesStart> pes = pesStart(packet);
    if (pes && pes->media) {
        const bool known = m_tracks.count(pid) > 0;
        if (!known && m_tracks.size() >= kMostTracks)
            return;
        Track &track = m_tracks[pid];
        const int64_t pts = timestampAt(packet, pes->at + 9);
        const int64_t step = after(pts, track.pts);
        if (known && step > 0 && step <= kTicks)
            track.step = step;
        track.pts = pts;
        track.payload = packet.substr(pes->payload);
        return;
    }
    const auto track = m_tracks.find(pid);
    if (track == m_tracks.end() || (byteAt(packet, 1) & kPayloadStart))
        return;
    if (track->second.payload.size() < kMostPayload)
        track->second.payload.append(packet.substr(payloadAt(packet)));
}

} // namespace tarvoni::stream
