// M3U playlists, with and without their header.
#include "playlist/m3u_playlist.h"

#include <QTest>

using namespace tarvoni::playlist;

class TestM3uPlaylist : public QObject {
    Q_OBJECT

private slots:
    void readsAddresses_data();
    void readsAddresses();
};

void TestM3uPlaylist::readsAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("with header") << "#EXTM3U\n#EXTINF:-1,Radio\nhttp://a.lk/live\n"
                                 << QStringList{"http://a.lk/live"};
    QTest::newRow("bare list, blank lines") << "http://a.lk/live\r\n\r\n  mms://b.lk/x  \r\n"
                                            << QStringList{"http://a.lk/live", "mms://b.lk/x"};
    QTest::newRow("a line that is no address") << "http://a.lk/live\nlive.mp3\n" << QStringList{};
    QTest::newRow("prose") << "Service unavailable, see http://a.lk/" << QStringList{};
    QTest::newRow("markup") << "<a href=\"http://a.lk/\">http://a.lk/</a>" << QStringList{};
    QTest::newRow("only comments") << "#EXTM3U\n#EXTINF:-1,Radio\n" << QStringList{};

    QString many;
    QStringList first;
    for (int i = 0; i < 30; ++i) {
        many += QStringLiteral("http://a.lk/%1\n").arg(i);
        if (i < 24)
            first << QStringLiteral("http://a.lk/%1").arg(i);
    }
    QTest::newRow("no more than 24") << many << first;
}

void TestM3uPlaylist::readsAddresses()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QCOMPARE(m3uEntries(text, QStringLiteral("http://base.lk/list")), entries);
}

QTEST_APPLESS_MAIN(TestM3uPlaylist)
#include "test_m3u_playlist.moc"
