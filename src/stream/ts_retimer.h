#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tarvoni::stream {

// Moves an MPEG transport stream's clock up to its sound, and keeps its timestamps running on
// where its segments start them again, for the segments of an HLS stream that the relay hands
// on as one stream.
//
// A muxer may put a program's clock references (PCR) well behind the presentation times (PTS)
// of the sound they carry: FFmpeg's, behind most HLS radio, by 0.7 s. libVLC then holds the
// first sound back by that lead, and its PulseAudio output, started late with that sound
// already written, answers with as long a silence right after the sound has started. The
// retimer adds the lead it finds at the start (the first PTS after the first PCR, less that
// PCR) to every PCR, so that the sound is due as soon as it comes.
//
// Where the playlist says a segment's timestamps start again (after an advertisement break, or
// an encoder started anew), libVLC would take the jump for a late clock: it buffers again and
// drops the sound it finds too late, and after a few such jumps stops for seconds. Nor does it
// take the packets' continuity counters starting again lightly: it drops what its decoder held
// and plays well over 100 ms of silence. The retimer moves that segment's and the following
// ones' PTS, DTS and PCR so that its first sound follows the sound before it without a gap (the
// lead is found again in that segment), and its continuity counters so that each stream's go on
// from the last one sent. Only those fields change: no byte is added or lost.
//
// Packets are held back from the start until that lead is known, and from a restart until its
// first sound (at most 128 KB of them). A stream that does not start as a transport stream
// passes unchanged, one without a lead keeps its PCRs until a restart, and a segment that loses
// its packets' rhythm passes unchanged from there to its end.
class TsRetimer {
public:
    // The bytes to hand on for `input`, the next bytes of the current segment. Bytes that end
    // in the middle of a packet are kept until the rest arrives.
    std::string feed(std::string_view input);

    // The segment has ended (whole or cut short): what is left of an unfinished packet, as it
    // came. The next segment starts on a packet's first byte again.
    std::string endSegment();

    // The next segment's timestamps and continuity counters start again, unrelated to those
    // before it: the playlist marks a discontinuity, or the relay skipped segments.
    void restartClock();

    // Whether the lead is known and every PCR is moved by it.
    bool retiming() const { return m_state == State::Retiming && m_lead != 0; }

private:
    enum class State { Finding, Retiming, Passing };
    // The last PES of one elementary stream: its PTS as handed on, the step from the one before
    // it, and the start of its payload.
    struct Track {
        int64_t pts = 0;
        int64_t step = 0;
        std::string payload;
    };
    // One PID's last continuity counter sent, and what is added to those that come: found anew
    // at its first packet after a restart.
    struct Counter {
        unsigned last = 0;
        unsigned shift = 0;
        bool placed = true;
    };

    // The current segment passes unchanged from here on.
    bool passing() const { return m_state == State::Passing || m_segmentLost; }
    // Packets are held back: the lead or where a restart goes on is not known yet.
    bool holding() const { return m_state == State::Finding || m_aligning; }
    // One whole packet, while not passing; returns what to hand on now.
    std::string packet(std::string_view bytes);
    // The packets held back, retimed once that is known.
    std::string release();
    void look(std::string_view bytes); // while holding: notes the first PCR and PTS
    void giveUp();                     // stops holding without what it waited for
    void align(unsigned pid, int64_t pts);
    int64_t soundEnd(unsigned pid) const;        // where the stream's timeline goes on, or -1
    void retime(std::string &stream, size_t at); // the packet at `at`
    void follow(std::string_view packet);        // notes its PES in the tracks
    void count(std::string &stream, size_t at);  // its continuity counter

    State m_state = State::Finding;
    bool m_segmentLost = false; // the current segment passes unchanged to its end
    bool m_aligning = false;    // holding a restarted segment until its first sound
    std::string m_partial;      // the start of a packet
    std::string m_held;         // packets held back
    std::optional<int64_t> m_firstPcr;
    std::optional<std::pair<unsigned, int64_t>> m_firstPes; // while aligning: PID and PTS
    int64_t m_lead = 0;
    int64_t m_shift = 0; // added to every timestamp since the last restart
    std::map<unsigned, Track> m_tracks;
    std::map<unsigned, Counter> m_counters; // by PID
};

} // namespace tarvoni::stream
