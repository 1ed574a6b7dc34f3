// The media controls on a private session bus, against a fake player: the name a second
// instance takes, and the logo offered only where its file is installed (the end-to-end test
// covers the rest on the real program).

#include "desktop/desktop_player.h"
#include "desktop/mpris_service.h"

#include <QDBusConnection>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvoni;

namespace {

class FakePlayer final : public DesktopPlayer {
public:
    bool isPlaying() const override { return false; }
    NowPlaying nowPlaying() const override { return now; }
    int volume() const override { return 25; }
    void play() override {}
    void stop() override {}
    void selectStation(int) override {}
    void setVolume(int) override {}
    void raise() override {}
    void quit() override {}
    void reconnect() override {}
    void reconnectNowIfWaiting() override {}

    NowPlaying now;
};

} // namespace

class TestMprisService : public QObject {
    Q_OBJECT

private slots:
    void secondInstanceAndInstalledLogo();
};

void TestMprisService::secondInstanceAndInstalledLogo()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY2(bus.isConnected(), "run under dbus-run-session");
    QDBusConnection first = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                          QStringLiteral("first"));
    QVERIFY(first.registerService(MprisService::kServiceName)); // the first instance, elsewhere
    QTemporaryDir logos;
    QFile logo(logos.filePath(QStringLiteral("sirasa.gif")));
    QVERIFY(logo.open(QIODevice::WriteOnly));
    logo.close();

    FakePlayer player;
    MprisService service(player, bus, logos.path());
    QCOMPARE(service.serviceName(),
             MprisService::kServiceName
                 + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid()));
    QVERIFY(service.metadata().isEmpty());

    player.now = {QStringLiteral("sirasa"), QStringLiteral("Sirasa FM"), QString(),
                  QStringLiteral("sirasa.gif")};
    QCOMPARE(service.metadata().value(QStringLiteral("mpris:artUrl")).toString(),
             QUrl::fromLocalFile(logos.filePath(QStringLiteral("sirasa.gif"))).toString());
    QCOMPARE(service.metadata().value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Sirasa FM"));
    player.now = {QStringLiteral("efm"), QStringLiteral("e FM"), QStringLiteral("Song"),
                  QStringLiteral("efm.jpg")};
    QVERIFY(!service.metadata().contains(QStringLiteral("mpris:artUrl"))); // not installed
    QCOMPARE(service.metadata().value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Song"));
    QDBusConnection::disconnectFromBus(QStringLiteral("first"));
}

QTEST_GUILESS_MAIN(TestMprisService)
#include "test_mpris_service.moc"
