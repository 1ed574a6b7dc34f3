// Making a libVLC player, on a thread of its own, for the entry waiting for one.

#include "engine_reaper.h"
#include "vlc_entry.h"

#include <atomic>

namespace tarvoni::vlc {

// A libVLC player made on a thread of its own, on its way to the UI thread. Whoever drops
// it without taking it releases the player.
struct PlayerParcel {
    explicit PlayerParcel(libvlc_media_player_t *made)
        : player(made)
    {
    }
    ~PlayerParcel()
    {
        if (libvlc_media_player_t *left = player.exchange(nullptr))
            libvlc_media_player_release(left);
    }
    MediaPlayerHandle take() { return MediaPlayerHandle(player.exchange(nullptr)); }

    std::atomic<libvlc_media_player_t *> player;
};

// Making a libVLC player opens the audio output, which waits for the sound system (and for
// as long as a stopped sound server keeps it waiting): a thread of its own makes it, one at a
// time, and the entry waiting when it is ready gets it. A spare made ahead serves at once.
void VlcMediaPlayer::requestPlayer()
{
    if (m_spare) {
        const std::unique_ptr<SparePlayer> spare = std::move(m_spare);
        m_entry->player = std::move(spare->player);
        startEntry();
        return;
    }
    createPlayer();
}

void VlcMediaPlayer::createPlayer()
{
    if (m_creatingPlayer)
        return;
    m_creatingPlayer = true;
    const quint64 entryId = m_entry ? m_entry->id : 0;
    const bool started = EngineReaper::run([instance = *m_instance, relay = m_relay, entryId] {
        auto parcel = std::make_shared<PlayerParcel>(libvlc_media_player_new(instance.get()));
        relay->post([parcel, entryId](VlcMediaPlayer *player) { player->playerCreated(entryId, *parcel); });
    });
    if (!started) {
        m_creatingPlayer = false;
        if (m_entry)
            fail({Failure::CannotPlay, 0, {}});
    }
}

void VlcMediaPlayer::playerCreated(quint64 entryId, PlayerParcel &parcel)
{
    m_creatingPlayer = false;
    MediaPlayerHandle made = parcel.take();
    if (!m_entry || m_entry->player) {
        // Nobody waits for it now: kept for the next entry, or released where releasing
        // cannot hold up the window.
        if (made && !m_spare) {
            m_spare = std::make_unique<SparePlayer>(SparePlayer{std::move(made)});
            return;
        }
        libvlc_media_player_t *unused = made.release();
        if (unused && !EngineReaper::run([unused] { libvlc_media_player_release(unused); }))
            libvlc_media_player_release(unused);
        return;
    }
    if (!made) {
        fail({Failure::CannotPlay, 0, {}});
        return;
    }
    Q_UNUSED(entryId); // made for an earlier entry serves the one waiting now just as well
    m_entry->player = std::move(made);
    startEntry();
}

} // namespace tarvoni::vlc
