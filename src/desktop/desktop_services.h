#pragma once

#include <QObject>
#include <QString>

namespace tarvoni {

class DesktopPlayer;
class IdleInhibitor;
class MprisService;
class NetworkWatcher;
class SleepWatcher;

// The player at home on the desktop: its media controls on the session bus, no idle suspend
// while a station plays, and a station that was playing reconnecting as soon as the machine
// wakes or the network comes back. Without a session bus the player runs as it would anyway,
// and says so once.
class DesktopServices final : public QObject {
    Q_OBJECT

public:
    DesktopServices(DesktopPlayer &player, const QString &logoDirectory, QObject *parent = nullptr);
    ~DesktopServices() override;

    // Where the program's station logos are installed, beside the program.
    static QString installedLogoDirectory();

    const MprisService *mediaControls() const { return m_mpris; }

private:
    void playbackMayHaveChanged();

    DesktopPlayer &m_player;
    MprisService *m_mpris = nullptr;
    IdleInhibitor *m_inhibitor = nullptr;
    SleepWatcher *m_sleep = nullptr;
    NetworkWatcher *m_network = nullptr;
};

} // namespace tarvoni
