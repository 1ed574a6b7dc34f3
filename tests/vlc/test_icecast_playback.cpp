// The player against Debian's Icecast 2, fed a tone by ffmpeg.
#include "loopback_servers.h"
#include "player_test_support.h"

#include "patience.h"
#include "vlc/create_media_player.h"

#include <QTest>

using namespace tarvoni;
using namespace tarvoni::testing;

class TestIcecastPlayback : public QObject {
    Q_OBJECT

private slots:
    void playsAndFollowsTheTitle();
};

void TestIcecastPlayback::playsAndFollowsTheTitle()
{
    IcecastRadio icecast;
    QString error;
    QVERIFY2(icecast.start(&error), qPrintable(error));
    QVERIFY2(icecast.setTitle(QStringLiteral("First Song"), &error), qPrintable(error));

    auto player = createMediaPlayer(nullptr, {QStringLiteral("--aout=adummy")}, testOptions());
    StatusLog log(player.get());
    player->setUrl(icecast.streamUrl());
    player->play();
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing: First Song"), kPatienceMs);
    QCOMPARE(log.audioStarts, 1);

    QVERIFY2(icecast.setTitle(QStringLiteral("Second <Song> & more"), &error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(player->status().endsWith(QLatin1String(": Second <Song> & more")), kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing (128 kbps): Second <Song> & more"),
                              kPatienceMs);

    player->stop();
    QCOMPARE(player->status(), QStringLiteral("Stopped"));
}

QTEST_GUILESS_MAIN(TestIcecastPlayback)
#include "test_icecast_playback.moc"
