#pragma once

#include "player/media_player.h"

namespace tarvoni::vlc {

// The player used when the sound engine cannot start: it remembers what it is told, plays
// nothing and says why in its status.
class UnavailableMediaPlayer final : public MediaPlayer {
    Q_OBJECT

public:
    explicit UnavailableMediaPlayer(const QString &reason, QObject *parent = nullptr);

    void setUrl(const QString &url) override;
    QString url() const override;
    void play() override;
    void stop() override;
    void setVolume(int volume) override;
    int volume() const override;
    QString status() const override;

private:
    QString m_status;
    QString m_url;
    int m_volume = 50;
};

} // namespace tarvoni::vlc
