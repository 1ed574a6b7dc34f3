// The media controls on a private session bus, against a fake player: the name a second
// instance takes, the logo offered only where its file is installed, and PropertiesChanged
// carrying exactly what changed.

#include "desktop/desktop_player.h"
#include "desktop/mpris_service.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvoni;

namespace {

class FakePlayer final : public DesktopPlayer {
public:
    bool isPlaying() const override { return playing; }
    NowPlaying nowPlaying() const override { return now; }
    int volume() const override { return bar; }
    void play() override {}
    void stop() override {}
    void selectStation(int) override {}
    void setVolume(int value) override
    {
        bar = value;
        emit changed();
    }
    void raise() override {}
    void quit() override {}
    void reconnect() override {}

    bool playing = false;
    NowPlaying now;
    int bar = 25;
};

} // namespace

class TestMprisService : public QObject {
    Q_OBJECT

private slots:
    void secondInstanceAndInstalledLogo();
    void announcesWhatChanged();

    void onPropertiesChanged(const QString &, const QVariantMap &changed, const QStringList &) { m_changes << changed; }

private:
    QList<QVariantMap> m_changes;
};

void TestMprisService::secondInstanceAndInstalledLogo()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY2(bus.isConnected(), "run under dbus-run-session");
    QDBusConnection first = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("first"));
    QVERIFY(first.registerService(MprisService::kServiceName)); // the first instance, elsewhere
    QTemporaryDir logos;
    QFile logo(logos.filePath(QStringLiteral("sirasa.gif")));
    QVERIFY(logo.open(QIODevice::WriteOnly));
    logo.close();

    FakePlayer player;
    MprisService service(player, bus, logos.path());
    QCOMPARE(service.serviceName(),
             MprisService::kServiceName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid()));
    QVERIFY(service.metadata().isEmpty());

    player.now = {QStringLiteral("sirasa"), QStringLiteral("Sirasa FM"), QString(), QStringLiteral("sirasa.gif")};
    QCOMPARE(service.metadata().value(QStringLiteral("mpris:artUrl")).toString(),
             QUrl::fromLocalFile(logos.filePath(QStringLiteral("sirasa.gif"))).toString());
    QCOMPARE(service.metadata().value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Sirasa FM"));
    player.now = {QStringLiteral("efm"), QStringLiteral("e FM"), QStringLiteral("Song"), QStringLiteral("efm.jpg")};
    QVERIFY(!service.metadata().contains(QStringLiteral("mpris:artUrl"))); // not installed
    QCOMPARE(service.metadata().value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Song"));
    QDBusConnection::disconnectFromBus(QStringLiteral("first"));
}

void TestMprisService::announcesWhatChanged()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    FakePlayer player;
    MprisService service(player, bus, QString());
    QVERIFY(!service.serviceName().isEmpty());
    QVERIFY(bus.connect(QString(), MprisService::kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                        QStringLiteral("PropertiesChanged"), this,
                        SLOT(onPropertiesChanged(QString, QVariantMap, QStringList))));

    // Written as a client would; out of range goes to the bar's end.
    QDBusMessage set = QDBusMessage::createMethodCall(service.serviceName(), MprisService::kObjectPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Set"));
    set << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("Volume")
        << QVariant::fromValue(QDBusVariant(-0.5));
    QDBusPendingCall pending = bus.asyncCall(set);
    QTRY_VERIFY(pending.isFinished());
    QCOMPARE(player.bar, 0);
    QTRY_COMPARE(m_changes.size(), 1);
    QCOMPARE(m_changes.first(), (QVariantMap{{QStringLiteral("Volume"), 0.0}}));

    emit player.changed(); // nothing did
    player.playing = true;
    emit player.changed();
    QTRY_COMPARE(m_changes.size(), 2);
    QCOMPARE(m_changes.last(), (QVariantMap{{QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")}}));
}

QTEST_GUILESS_MAIN(TestMprisService)
#include "test_mpris_service.moc"
