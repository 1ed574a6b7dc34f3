#include "desktop_services.h"

#include "desktop/desktop_player.h"
#include "desktop/idle_inhibitor.h"
#include "desktop/mpris_service.h"
#include "desktop/network_watcher.h"
#include "desktop/sleep_watcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QLoggingCategory>

namespace tarvoni {

namespace {
// What the desktop's services have to say: "tarvoni.desktop".
Q_LOGGING_CATEGORY(lcDesktop, "tarvoni.desktop")
} // namespace

DesktopServices::DesktopServices(DesktopPlayer &player, const QString &logoDirectory, QObject *parent)
    : QObject(parent)
    , m_player(player)
{
    const QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        m_mpris = new MprisService(player, session, logoDirectory, this);
        if (m_mpris->serviceName().isEmpty())
            qCWarning(lcDesktop,
                      "Tarvoni Radio Player: the media controls could not be offered on the session bus.");
        m_inhibitor = new IdleInhibitor(session, this);
        connect(&player, &DesktopPlayer::changed, this, &DesktopServices::playbackMayHaveChanged);
    } else {
        qCWarning(lcDesktop,
                  "Tarvoni Radio Player: no D-Bus session bus; no media controls, and idle suspend "
                  "is not held off while playing.");
    }
    m_sleep = new SleepWatcher(QDBusConnection::systemBus(), this);
    connect(m_sleep, &SleepWatcher::resumed, this, [this] {
        if (m_player.isPlaying())
            m_player.reconnect(); // the old connection rarely survives a sleep: no waiting it out
    });
    // A station that lost its stream with the network need not wait out its back-off.
    m_network = new NetworkWatcher(this);
    connect(m_network, &NetworkWatcher::networkMayBeBack, &player, &DesktopPlayer::reconnectNowIfWaiting);
}

DesktopServices::~DesktopServices() = default;

QString DesktopServices::installedLogoDirectory()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QStringLiteral("/../share/tarvoni-radio-player/logos"));
}

void DesktopServices::playbackMayHaveChanged()
{
    m_inhibitor->setWanted(m_player.isPlaying());
}

} // namespace tarvoni
