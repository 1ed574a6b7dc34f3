#pragma once

#include <cstdint>
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

    // Whether the lead is known and moved (for the tests and the relay's report).
    bool retiming() const { return m_state == State::Retiming; }
    // The lead added to each PCR, in 90 kHz ticks.
    int64_t lead() const { return m_lead; }

private:
    enum class State { Finding, Retiming, Passing };

    // One whole packet, given in the current state; returns what to hand on now.
    std::string packet(std::string_view bytes);
    void look(std::string_view bytes);                 // while finding: notes the first PCR and PTS
    void retime(std::string &stream, size_t at) const; // the packet at `at`

    State m_state = State::Finding;
    bool m_segmentLost = false; // the current segment passes unchanged to its end
    std::string m_partial;      // the start of a packet
    std::string m_held;         // packets held back while finding the lead
    bool m_havePcr = false;
    int64_t m_firstPcr = 0;
    int64_t m_lead = 0;
};

} // namespace tarvoni::stream
