#include "stream_health.h"

#include "status_text.h"

#include <algorithm>
#include <cstdlib>

namespace tarvoni {

namespace {

using std::chrono::milliseconds;

// Sound decoded for this long without any reaching a device means there is no audio output.
constexpr milliseconds kAudioOutputGrace{1000};
// The bitrate is read once the stream has played this long, from this many readings.
constexpr milliseconds kBitrateSettle{2000};
constexpr size_t kBitrateReadings = 5;
// A segmented stream has stalled once this many segments have not come.
constexpr int kMissedSegments = 3;

} // namespace

bool StreamHealth::read(const StreamStats &stats, milliseconds sinceAudio)
{
    if (stats.readBytes != m_lastReadBytes) {
        m_lastReadBytes = stats.readBytes;
        m_lastProgress = sinceAudio;
    }
    m_stalled = sinceAudio - m_lastProgress >= std::max(m_stallTimeout, kMissedSegments * m_segmentDuration);

    // Sound that is decoded but never reaches a device: no audio output on this machine.
    const bool audioOutput = stats.playedBuffers > 0
        || (stats.lostBuffers == 0 && sinceAudio < kAudioOutputGrace);
    const bool outputChanged = audioOutput != m_audioOutput;
    m_audioOutput = audioOutput;
    const bool bitrateChanged = readBitrate(stats.demuxKbps, sinceAudio);
    return outputChanged || bitrateChanged;
}

// The bitrate, once five readings half a second apart agree within 10%; shown anew only when
// it moves by more than 10%.
bool StreamHealth::readBitrate(double kbps, milliseconds sinceAudio)
{
    if (sinceAudio < kBitrateSettle || !(kbps > 0))
        return false;
    m_rates.push_back(kbps);
    while (m_rates.size() > kBitrateReadings)
        m_rates.pop_front();
    if (m_rates.size() < kBitrateReadings)
        return false;
    const auto [low, high] = std::minmax_element(m_rates.begin(), m_rates.end());
    const double mean = (*low + *high) / 2;
    if (*high - *low > mean * 0.1)
        return false;
    const int rounded = roundedBitrate(mean);
    if (std::abs(rounded - m_kbps) <= m_kbps / 10)
        return false;
    m_kbps = rounded;
    return true;
}

} // namespace tarvoni
