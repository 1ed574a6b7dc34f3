#include "vlc_entry.h"

#include <algorithm>

namespace tarvoni::vlc {

VlcMediaPlayer::Entry::~Entry()
{
    if (!player)
        return;
    if (libvlc_event_manager_t *events = libvlc_media_player_event_manager(player.get())) {
        for (const libvlc_event_e type : kPlayerEvents)
            libvlc_event_detach(events, type, &VlcMediaPlayer::onEngineEvent, context.get());
    }
    if (libvlc_event_manager_t *events = libvlc_media_event_manager(media.get())) {
        for (const libvlc_event_e type : kMediaEvents)
            libvlc_event_detach(events, type, &VlcMediaPlayer::onEngineEvent, context.get());
    }
    // Stopping joins libVLC's input thread, which may be waiting on a server.
    libvlc_media_player_stop(player.get());
    player.reset();
    media.reset();
}

void VlcMediaPlayer::Entry::attachEvents(const std::shared_ptr<EventRelay> &relay)
{
    context = std::make_unique<CallbackContext>(CallbackContext{relay, id});
    libvlc_event_manager_t *playerEvents = libvlc_media_player_event_manager(player.get());
    for (const libvlc_event_e type : kPlayerEvents)
        libvlc_event_attach(playerEvents, type, &VlcMediaPlayer::onEngineEvent, context.get());
    libvlc_event_manager_t *mediaEvents = libvlc_media_event_manager(media.get());
    for (const libvlc_event_e type : kMediaEvents)
        libvlc_event_attach(mediaEvents, type, &VlcMediaPlayer::onEngineEvent, context.get());
}

bool VlcMediaPlayer::Entry::takeRelayReport()
{
    const stream::RelayReport::Reading reading = report->read();
    health->setSegmentDuration(reading.segmentDuration);
    bool changed = false;
    if (reading.titleCount != relayTitles) {
        relayTitles = reading.titleCount;
        const QString cleaned = cleanMetadata(reading.title);
        changed = cleaned != title;
        title = cleaned;
    }
    const int kbps = roundedBitrate(reading.variantKbps);
    changed = changed || kbps != variantKbps;
    variantKbps = kbps;
    return changed;
}

PlayerState VlcMediaPlayer::Entry::playingState() const
{
    PlayerState playing;
    playing.kind = PlayerState::Kind::Playing;
    playing.title = title;
    // An HLS stream's variant says its bit rate; anything else is measured.
    playing.kbps = variantKbps > 0 ? variantKbps : health->kbps();
    playing.audioOutput = health->audioOutput();
    return playing;
}

QString takeVlcString(char *text)
{
    if (!text)
        return {};
    QString result = QString::fromUtf8(text);
    libvlc_free(text);
    return result;
}

QStringList subItemAddresses(libvlc_media_t *media, int limit)
{
    QStringList addresses;
    MediaListHandle list(libvlc_media_subitems(media));
    if (!list)
        return addresses;
    libvlc_media_list_lock(list.get());
    const int count = std::min(libvlc_media_list_count(list.get()), limit);
    for (int i = 0; i < count; ++i) {
        MediaHandle item(libvlc_media_list_item_at_index(list.get(), i));
        if (item) {
            const QString mrl = takeVlcString(libvlc_media_get_mrl(item.get()));
            if (!mrl.isEmpty())
                addresses << mrl;
        }
    }
    libvlc_media_list_unlock(list.get());
    return addresses;
}

void VlcMediaPlayer::onEngineEvent(const libvlc_event_t *event, void *opaque)
{
    // libVLC's thread: no libVLC calls and no Qt objects here, only the hand-over.
    const auto *context = static_cast<const CallbackContext *>(opaque);
    EngineEvent kind;
    double value = 0;
    switch (event->type) {
    case libvlc_MediaPlayerPlaying:
        kind = EngineEvent::Playing;
        break;
    case libvlc_MediaPlayerBuffering:
        kind = EngineEvent::Buffering;
        value = event->u.media_player_buffering.new_cache;
        break;
    case libvlc_MediaPlayerEndReached:
        kind = EngineEvent::EndReached;
        break;
    case libvlc_MediaPlayerEncounteredError:
        kind = EngineEvent::Error;
        break;
    case libvlc_MediaPlayerESAdded:
        if (event->u.media_player_es_changed.i_type != libvlc_track_audio)
            return;
        kind = EngineEvent::AudioTrackAdded;
        break;
    case libvlc_MediaMetaChanged:
        kind = EngineEvent::MetaChanged;
        break;
    default:
        return;
    }
    const quint64 entryId = context->entryId;
    context->relay->post(
        [entryId, kind, value](VlcMediaPlayer *player) { player->handleEngineEvent(entryId, kind, value); });
}

} // namespace tarvoni::vlc
