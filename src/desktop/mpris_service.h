#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace tarvoni {

class DesktopPlayer;
class MprisPlayerInterface;

// The player on the session bus as an MPRIS 2 media player, for media keys, the desktop's
// media widgets and playerctl. Every change of a player property a client may show is
// announced with PropertiesChanged, which Qt's adaptors do not do by themselves.
class MprisService final : public QObject {
    Q_OBJECT

public:
    static inline const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.TarvoniRadioPlayer");
    static inline const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString kIdentity = QStringLiteral("Tarvoni Radio Player");
    static inline const QString kDesktopEntry = QStringLiteral("com.tarvoniradio.TarvoniRadioPlayer");
    static inline const QString kTrackPathPrefix = QStringLiteral(
        "/com/tarvoniradio/TarvoniRadioPlayer/station/");

    // Logos are offered as pictures (mpris:artUrl) only where their files are found in
    // logoDirectory, that is where the program is installed.
    MprisService(DesktopPlayer &player, const QDBusConnection &bus, const QString &logoDirectory,
                 QObject *parent = nullptr);
    ~MprisService() override;

    // The name owned on the bus: kServiceName, or kServiceName + ".instance<pid>" when another
    // instance has it. Empty when the service could not be registered.
    QString serviceName() const { return m_serviceName; }

    DesktopPlayer &player() const { return m_player; }
    QVariantMap metadata() const;

private:
    QVariantMap announcedProperties() const;
    void announceChanges();

    DesktopPlayer &m_player;
    QDBusConnection m_bus;
    QString m_logoDirectory;
    MprisPlayerInterface *m_playerInterface = nullptr;
    QString m_serviceName;
    QVariantMap m_announced;
};

} // namespace tarvoni
