#include "player_test_support.h"

namespace tarvoni::testing {

StatusLog::StatusLog(MediaPlayer *player)
    : m_player(player)
{
    connect(player, &MediaPlayer::statusChanged, this, [this] {
        texts << m_player->status();
        audioDecoded << (audioStarts > 0);
    });
    if (auto *vlcPlayer = qobject_cast<vlc::VlcMediaPlayer *>(player)) {
        connect(vlcPlayer, &vlc::VlcMediaPlayer::audioStarted, this, [this] { ++audioStarts; });
    }
}

bool StatusLog::contains(const QString &part) const
{
    for (const QString &text : texts) {
        if (text.contains(part))
            return true;
    }
    return false;
}

void StatusLog::clear()
{
    texts.clear();
    audioDecoded.clear();
    audioStarts = 0;
}

vlc::VlcPlayerOptions testOptions()
{
    vlc::VlcPlayerOptions options;
    options.connectTimeout = std::chrono::seconds(4);
    options.stallTimeout = std::chrono::seconds(3);
    return options;
}

} // namespace tarvoni::testing
