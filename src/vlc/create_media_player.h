#pragma once

#include "player/media_player.h"
#include "vlc/vlc_media_player.h"

#include <QStringList>
#include <memory>

namespace tarvoni {

// The window's media player. Never null: when the sound engine cannot start, the player
// returned plays nothing and its status reads "Playback unavailable: <reason>" (also written
// to stderr). `extraEngineArgs` go to libVLC as they are (tests pass "--aout=adummy").
// The caller owns the result; give it a parent only if the parent is to delete it instead.
// `relay` carries its streams; without one the player makes its own.
std::unique_ptr<MediaPlayer> createMediaPlayer(QObject *parent = nullptr,
                                               const QStringList &extraEngineArgs = {},
                                               const vlc::VlcPlayerOptions &options = {},
                                               std::shared_ptr<stream::StreamRelay> relay = {});

} // namespace tarvoni
