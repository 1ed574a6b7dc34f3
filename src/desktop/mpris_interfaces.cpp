#include "mpris_interfaces.h"

#include "desktop/desktop_player.h"
#include "desktop/mpris_service.h"

namespace tarvoni {

MprisRootInterface::MprisRootInterface(MprisService &service)
    : QDBusAbstractAdaptor(&service)
    , m_service(service)
{
}

QString MprisRootInterface::identity() const
{
    return MprisService::kIdentity;
}

QString MprisRootInterface::desktopEntry() const
{
    return MprisService::kDesktopEntry;
}

void MprisRootInterface::Raise()
{
    m_service.player().raise();
}

void MprisRootInterface::Quit()
{
    m_service.player().quit();
}

MprisPlayerInterface::MprisPlayerInterface(MprisService &service)
    : QDBusAbstractAdaptor(&service)
    , m_service(service)
{
}

QString MprisPlayerInterface::playbackStatus() const
{
    return m_service.player().isPlaying() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisPlayerInterface::metadata() const
{
    return m_service.metadata();
}

double MprisPlayerInterface::volume() const
{
    return m_service.player().volume() / 100.0;
}

void MprisPlayerInterface::setVolume(double volume)
{
    // Outside 0 to 1 (or not a number) the bar goes to its nearest end.
    const int value = volume > 0 ? (volume < 1 ? qRound(volume * 100) : 100) : 0;
    m_service.player().setVolume(value);
}

void MprisPlayerInterface::Next()
{
    m_service.player().selectStation(1);
}

void MprisPlayerInterface::Previous()
{
    m_service.player().selectStation(-1);
}

void MprisPlayerInterface::Pause()
{
    m_service.player().stop();
}

void MprisPlayerInterface::PlayPause()
{
    DesktopPlayer &player = m_service.player();
    if (player.isPlaying())
        player.stop();
    else
        player.play();
}

void MprisPlayerInterface::Stop()
{
    m_service.player().stop();
}

void MprisPlayerInterface::Play()
{
    m_service.player().play();
}

} // namespace tarvoni
