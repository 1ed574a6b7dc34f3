#include "create_media_player.h"

namespace tarvoni {

std::unique_ptr<MediaPlayer> createMediaPlayer(QObject *parent, const QStringList &extraEngineArgs,
                                               const vlc::VlcPlayerOptions &options,
                                               std::shared_ptr<stream::StreamRelay> relay)
{
    return std::make_unique<vlc::VlcMediaPlayer>(extraEngineArgs, options, parent, std::move(relay));
}

} // namespace tarvoni
