// Asking the server itself, on a thread of its own, what libVLC could not tell: why nothing
// played, and whether an http stream that stays silent sends anything that decodes; and
// watching a playing stream's statistics for a stall.

#include "engine_reaper.h"
#include "vlc_entry.h"

#include "player/stream_address.h"
#include "playlist/stream_probe.h"

#include <algorithm>

namespace tarvoni::vlc {

using playlist::ProbeResult;
using playlist::probeStream;

void VlcMediaPlayer::probe(const QString &address)
{
    PlayerState checking;
    checking.kind = PlayerState::Kind::Checking;
    setState(checking);
    const quint64 probeId = ++m_probeId;
    const auto timeout = std::min<std::chrono::milliseconds>(m_options.connectTimeout,
                                                             std::chrono::seconds(3));
    const bool started = EngineReaper::run([relay = m_relay, probeId, address, timeout] {
        const ProbeResult result = probeStream(engineAddress(address), timeout);
        relay->post([probeId, result](VlcMediaPlayer *player) {
            if (player->m_probeId == probeId && !player->sessionActive())
                player->perform(player->m_session.probeAnswered(result.failure, result.playlistEntries));
        });
    });
    if (!started)
        perform(m_session.probeAnswered({Failure::CannotPlay, 0, {}}, {}));
}

// An http entry that has given no sound for a while: a server that answers as an audio stream
// and then sends bytes that decode to nothing leaves libVLC searching for a frame for as long
// as it sends. The probe tells it from a server that is merely slow.
void VlcMediaPlayer::checkUndecodable()
{
    if (!m_entry || m_entry->audioStarted)
        return;
    const quint64 entryId = m_entry->id;
    const QString address = m_entry->address;
    const auto timeout = std::min<std::chrono::milliseconds>(m_options.connectTimeout,
                                                             std::chrono::seconds(3));
    (void)EngineReaper::run([relay = m_relay, entryId, address, timeout] {
        const ProbeResult result = probeStream(engineAddress(address), timeout);
        if (result.failure.kind != Failure::NotAudio || !result.playlistEntries.isEmpty())
            return;
        relay->post([entryId](VlcMediaPlayer *player) {
            if (player->m_entry && player->m_entry->id == entryId && !player->m_entry->audioStarted)
                player->endEntry(EntryEnd::NotAudio);
        });
    });
}

// A playing entry's statistics, twice a second: a stream that stopped delivering is stalled.
void VlcMediaPlayer::onStatsTick()
{
    if (!m_entry || !m_entry->audioStarted)
        return;
    Entry &e = *m_entry;
    libvlc_media_stats_t stats{};
    if (!libvlc_media_get_stats(e.media.get(), &stats))
        return;
    // A volume set while libVLC was (re)starting its audio output can be lost: set it again.
    if (libvlc_audio_get_volume(e.player.get()) != m_volume)
        libvlc_audio_set_volume(e.player.get(), m_volume);
    const StreamStats reading{stats.i_read_bytes, stats.i_played_abuffers, stats.i_lost_abuffers,
                              double(stats.f_demux_bitrate) * 8000.0};
    const bool reported = e.takeRelayReport();
    const bool changed = e.health->read(reading, std::chrono::milliseconds(e.sinceAudio.elapsed()))
        || reported;
    if (e.health->stalled())
        endEntry(EntryEnd::Stalled);
    else if (changed)
        refreshPlayingStatus();
}

} // namespace tarvoni::vlc
