#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvoni::stream {

// Moves an MPEG transport stream's clock up to its sound, for the segments of an HLS stream
// that the relay hands on as one stream.
//
// A muxer may put a program's clock references (PCR) well behind the presentation times (PTS)
// of the sound they carry: FFmpeg's, behind most HLS radio, by 0.7 s. libVLC then holds the
// first sound back by that lead, and its PulseAudio output, started late with that sound
// already written, answers with as long a silence right after the sound has started. The
// retimer adds the lead it finds at the start (the first PTS after the first PCR, less that
// PCR) to every PCR, so that the sound is due as soon as it comes; nothing else changes and no
// byte is added or lost.
//
// Packets are held back from the start until that lead is known (at most 128 KB of them). A
// stream that does not start as a transport stream, or has no lead, passes unchanged; a segment
// that loses its packets' rhythm passes unchanged from there to its end.
class TsRetimer {
public:
    // The bytes to hand on for `input`, the next bytes of the current segment. Bytes that end
    // in the middle of a packet are kept until the rest arrives.
    std::string feed(std::string_view input);

    // The segment has ended (whole or cut short): what is left of an unfinished packet, as it
    // came. The next segment starts on a packet's first byte again.
    std::string endSegment();

    // Whether the lead is known and every PCR is moved by it.
    bool retiming() const { return m_state == State::Retiming; }

private:
    enum class State { Finding, Retiming, Passing };

    // The current segment passes unchanged from here on.
    bool passing() const { return m_state == State::Passing || m_segmentLost; }
    // One whole packet, while not passing; returns what to hand on now.
    std::string packet(std::string_view bytes);
    // The packets held back while finding the lead, retimed once it is known.
    std::string release();
    void look(std::string_view bytes);                 // while finding: notes the first PCR and PTS
    void retime(std::string &stream, size_t at) const; // the packet at `at`

    State m_state = State::Finding;
    bool m_segmentLost = false; // the current segment passes unchanged to its end
    std::string m_partial;      // the start of a packet
    std::string m_held;         // packets held back while finding the lead
    std::optional<int64_t> m_firstPcr;
    int64_t m_lead = 0;
};

} // namespace tarvoni::stream
