#pragma once

// One address being played: its libVLC media and player, and what the player has told of it.

#include "event_relay.h"
#include "vlc_handles.h"
#include "vlc_media_player.h"

#include "player/stream_health.h"
#include "stream/relay_report.h"

#include <QElapsedTimer>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

namespace tarvoni::vlc {

// The notifications an entry listens to, on its player and on its media.
inline constexpr std::array kPlayerEvents{
    libvlc_MediaPlayerPlaying,          libvlc_MediaPlayerBuffering, libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerESAdded,
};
inline constexpr std::array kMediaEvents{libvlc_MediaMetaChanged};

struct CallbackContext {
    std::shared_ptr<EventRelay> relay;
    quint64 entryId;
};

// Takes over a string libVLC allocated; empty for none.
QString takeVlcString(char *text);
// The addresses of the first `limit` sub-items libVLC found (a playlist's entries, an mms
// redirect's target).
QStringList subItemAddresses(libvlc_media_t *media, int limit);

struct SparePlayer {
    MediaPlayerHandle player;
};

struct VlcMediaPlayer::Entry {
    // Held first and so released last: the engine outlives everything below, wherever this
    // entry is destroyed.
    Instance instance;
    quint64 id = 0;
    QString address;
    QString host;
    int attempt = 0;
    MediaHandle media;
    MediaPlayerHandle player; // empty until a player has been made for it
    std::unique_ptr<CallbackContext> context;

    // What the relay learns of the stream: its titles, whether it comes in segments.
    std::shared_ptr<stream::RelayReport> report = std::make_shared<stream::RelayReport>();
    int relayTitles = 0; // titles of the relay's taken so far
    int variantKbps = 0; // the bit rate the stream's HLS variant is listed with

    bool hasAudioTrack = false;
    bool bufferingDone = false;
    bool audioStarted = false;
    QString title;
    std::optional<StreamHealth> health;
    QElapsedTimer sinceAudio;

    ~Entry();
    // Hands the player's and the media's notifications to `relay` until the entry goes.
    void attachEvents(const std::shared_ptr<EventRelay> &relay);
    // Takes what the relay has learnt of the stream since last asked. True when the status
    // line shows something of it anew.
    bool takeRelayReport();
    // Playing, with the title and bit rate known now.
    PlayerState playingState() const;
};

} // namespace tarvoni::vlc
