#include "create_media_player.h"

#include "player/status_text.h"
#include "unavailable_media_player.h"
#include "vlc/engine_log.h"

namespace tarvoni {

std::unique_ptr<MediaPlayer> createMediaPlayer(QObject *parent, const QStringList &extraEngineArgs,
                                               const vlc::VlcPlayerOptions &options)
{
    try {
        return std::make_unique<vlc::VlcMediaPlayer>(extraEngineArgs, options, parent);
    } catch (const MediaPlayerError &error) {
        auto player = std::make_unique<vlc::UnavailableMediaPlayer>(QString::fromUtf8(error.what()), parent);
        qCWarning(vlc::lcEngine).noquote() << player->status();
        return player;
    }
}

} // namespace tarvoni
