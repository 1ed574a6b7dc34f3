#include "unavailable_media_player.h"

#include "player/status_text.h"

#include <algorithm>

namespace tarvoni::vlc {

UnavailableMediaPlayer::UnavailableMediaPlayer(const QString &reason, QObject *parent)
    : MediaPlayer(parent)
    , m_status(status::unavailable(reason))
{
    // Say it once, as soon as anyone can listen, so the status line explains the silence.
    QMetaObject::invokeMethod(
        this, [this] { emit statusChanged(0); }, Qt::QueuedConnection);
}

void UnavailableMediaPlayer::setUrl(const QString &url)
{
    m_url = url;
}

QString UnavailableMediaPlayer::url() const
{
    return m_url;
}

void UnavailableMediaPlayer::play()
{
}

void UnavailableMediaPlayer::stop()
{
}

void UnavailableMediaPlayer::setVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
}

int UnavailableMediaPlayer::volume() const
{
    return m_volume;
}

QString UnavailableMediaPlayer::status() const
{
    return m_status;
}

} // namespace tarvoni::vlc
