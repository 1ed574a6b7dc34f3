#pragma once

#include <QtGlobal>
#include <chrono>
#include <deque>

namespace tarvoni {

// One reading of the engine's counters for the stream that is playing.
struct StreamStats {
    qint64 readBytes = 0;     // bytes read from the server so far
    qint64 playedBuffers = 0; // audio buffers handed to the sound device so far
    qint64 lostBuffers = 0;   // audio buffers decoded but dropped so far
    double demuxKbps = 0;     // the engine's current estimate of the stream's bitrate
};

// Reads the health of a playing stream from readings taken every half second from its first
// audio on: whether it stalled, whether its sound reaches a device, and its bitrate.
class StreamHealth {
public:
    explicit StreamHealth(std::chrono::milliseconds stallTimeout)
        : m_stallTimeout(stallTimeout)
    {
    }

    // The stream comes in segments, one every `duration` (an HLS stream's target duration; zero
    // for a plain stream): bytes then arrive a segment at a time, and only a stream that misses
    // several segments in a row has stalled.
    void setSegmentDuration(std::chrono::milliseconds duration) { m_segmentDuration = duration; }

    // Takes a reading made `sinceAudio` after the first audio. True when what the status
    // line shows of it (audio output, bitrate) has changed.
    bool read(const StreamStats &stats, std::chrono::milliseconds sinceAudio);

    // Nothing has been read from the server for the stall timeout.
    bool stalled() const { return m_stalled; }
    // Decoded sound reaches a device (or it is too early to tell).
    bool audioOutput() const { return m_audioOutput; }
    // The bitrate as the listener knows it, once settled; 0 until then.
    int kbps() const { return m_kbps; }

private:
    bool readBitrate(double kbps, std::chrono::milliseconds sinceAudio);

    std::chrono::milliseconds m_stallTimeout;
    std::chrono::milliseconds m_segmentDuration{0};
    qint64 m_lastReadBytes = -1;
    std::chrono::milliseconds m_lastProgress{0};
    bool m_stalled = false;
    bool m_audioOutput = true;
    int m_kbps = 0;
    std::deque<double> m_rates;
};

} // namespace tarvoni
