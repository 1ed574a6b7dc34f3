#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvoni::stream {

// Rewrites a server's answer to an MMS-over-HTTP request so that libVLC starts playing as soon
// as its own buffer is full.
//
// libVLC's ASF reader holds back everything it reads until it has read the stream's declared
// "preroll" (often 2 to 5 seconds) of packets beyond the first one, and a live server without a
// fast start sends those in real time. The rewrite declares no preroll and moves each packet's
// send time to where the reader's clock then expects it: the first packet's send time meets the
// presentation time of its first payload (never moved by more than the preroll).
//
// The reader also holds back what a packet brought until a later packet's send time has passed
// it. In a stream of one audio or video stream, each packet's send time is moved on to a tick of
// the reader's clock past its last payload's presentation time (all that packet still waits
// for), and the first packet after a header is sent as two, its first payload alone two ticks
// of the reader's clock earlier: what the first packet brought is then handed on as soon as it
// is read, not a packet later.
//
// And libVLC's MMS access finishes reading a packet only once the next chunk has arrived. The
// header declares packets of 32 bytes, each packet is given its length and padding explicitly
// (padded to the stream's own size as libVLC would have padded it) and is followed, in the same
// chunk, by an empty packet of 32 bytes, on which the access waits instead.
//
// libVLC begins to play once its clock has moved on two ticks past the first packet: the second
// packet, which may be due a frame or two short of that, is sent no earlier, so that playing
// never waits for a third.
//
// Playing does wait for that second packet. Send times that let libVLC finish buffering on the
// first packet alone (its frames due a little later, or the rest of it kept back for a fixed
// 80 to 130 ms) were tried, and each was worse. The first packet's last frame stays with the
// reader until the next payload comes. Sound due in the future is held back by libVLC's
// PulseAudio output, which puts off its start again at each timing update, so the sound began
// with the second packet anyway. And clocks moved by a packet's worth left gaps of 20 to 130 ms
// once the sound had started.
//
// Everything else passes unchanged, and an answer that is not a stream of MMS chunks passes
// untouched. An answer whose head has not ended within 16 KB is no answer: nothing of it is
// handed on.
class MmshRetimer {
public:
    // The bytes to hand on for `input`, the next bytes of the server's answer. Bytes that end in
    // the middle of a chunk are kept until the rest arrives.
    std::string feed(std::string_view input);

    // True once the answer's head has run past 16 KB: the connection is to be closed.
    bool headTooLong() const { return m_state == State::HeadTooLong; }

    // The preroll the last header declared, in milliseconds, before it was taken out.
    uint64_t declaredPrerollMs() const { return m_prerollMs; }
    // How far packets' send times are moved, in milliseconds.
    uint32_t sendTimeShiftMs() const { return m_shiftMs; }
    // Header and data chunks read whole so far.
    int headersRead() const { return m_headersRead; }
    int packetsRead() const { return m_packetsRead; }

private:
    enum class State { Head, Chunks, PassThrough, HeadTooLong };

    void retimeHeader(std::string &chunk);
    // Retimes a data chunk in place; true when it has instead appended the chunk, split, to
    // `out`.
    bool retimeDataPacket(std::string &chunk, std::string &out);

    State m_state = State::Head;
    std::string m_pending;
    uint64_t m_prerollMs = 0;
    uint32_t m_shiftMs = 0;
    bool m_shiftKnown = false;
    bool m_singleStream = false;
    bool m_splitPending = false;
    uint32_t m_sequenceShift = 0;  // chunks added so far, for the sequence numbers that follow
    size_t m_packetSize = 0;       // the stream's own packet size, while packets are framed anew
    uint32_t m_secondSendTime = 0; // the least send time of the second packet, while to come
    int m_headersRead = 0;
    int m_packetsRead = 0;
};

} // namespace tarvoni::stream
