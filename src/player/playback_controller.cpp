#include "playback_controller.h"

#include "media_player.h"

namespace tarvoni {

namespace {

// Runs one step against the player; without a player the step is skipped. A player reports
// its own trouble through its status text.
template <typename Step>
void attempt(MediaPlayer *player, Step step)
{
    if (player)
        step(*player);
}

} // namespace

PlaybackController::PlaybackController(PlaybackView &view, MediaPlayer *player)
    : m_view(view)
    , m_player(player)
{
}

void PlaybackController::selectStation(const Station &station)
{
    attempt(m_player, [&](MediaPlayer &player) { player.setUrl(station.streamAddress); });
    attempt(m_player, [](MediaPlayer &player) { player.play(); });
    m_view.setStationText(station.nowPlaying);
}

void PlaybackController::playPressed()
{
    attempt(m_player, [](MediaPlayer &player) { player.play(); });
    m_view.setPlayVisible(false);
    if (m_view.stationText().isEmpty())
        m_view.setHintVisible(true);
}

void PlaybackController::stopPressed()
{
    attempt(m_player, [](MediaPlayer &player) { player.stop(); });
    m_view.setPlayVisible(true);
}

void PlaybackController::volumeChanged()
{
    const auto volume = qint16(m_view.volumeValue());
    attempt(m_player, [volume](MediaPlayer &player) { player.setVolume(volume); });
    m_view.setVolumeText(QString::number(volume) + QLatin1Char('%'));
    if (volume > kLoudAbove)
        m_view.setVolumeColour(kLoudColour);
    if (volume < kLoudAbove)
        m_view.setVolumeColour(kNormalColour);
}

void PlaybackController::statusRefresh()
{
    QString status;
    attempt(m_player, [&status](MediaPlayer &player) { status = player.status(); });
    m_view.setStatusText(status);
}

} // namespace tarvoni
