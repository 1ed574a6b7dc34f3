// Playlists recognised by their content, whatever their name or type says.
#include "playlist/playlist_entries.h"

#include <QTest>

using namespace tarvoni::playlist;

class TestPlaylistEntries : public QObject {
    Q_OBJECT

private slots:
    void recognisesPlaylistsByContent_data();
    void recognisesPlaylistsByContent();
};

void TestPlaylistEntries::recognisesPlaylistsByContent_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("asx") << QByteArray(
        "\n<ASX version=\"3.0\"><Entry><Ref href = 'mms://a.lk/x?a=1&amp;b=2' /></Entry>"
        "<entry><REF HREF=\"http://b.lk:8000/\"/></entry></ASX>")
                         << QStringList{"mms://a.lk/x?a=1&b=2", "http://b.lk:8000/"};
    QTest::newRow("pls") << QByteArray(
        "[playlist]\r\nNumberOfEntries=2\r\nFile1=http://a.lk/1\r\nTitle1=x\r\nfile2=/2\r\n")
                         << QStringList{"http://a.lk/1", "http://base.lk/2"};
    QTest::newRow("windows media reference")
        << QByteArray("[Reference]\r\nRef1=http://a.lk/live?MSWMExt=.asf\r\n")
        << QStringList{"http://a.lk/live?MSWMExt=.asf"};
    QTest::newRow("m3u with header") << QByteArray("#EXTM3U\n#EXTINF:-1,Radio\nhttp://a.lk/live\n")
                                     << QStringList{"http://a.lk/live"};
    QTest::newRow("bare address list") << QByteArray("http://a.lk/live\r\nmms://b.lk/x\r\n")
                                       << QStringList{"http://a.lk/live", "mms://b.lk/x"};
    QTest::newRow("web page") << QByteArray("<!DOCTYPE html><a href=\"http://a.lk/\">x</a>") << QStringList{};
    QTest::newRow("text") << QByteArray("Service unavailable, see http://a.lk/") << QStringList{};
    QTest::newRow("byte order mark and white space")
        << QByteArray("\xef\xbb\xbf  \n[playlist]\nFile1=http://a.lk/\n") << QStringList{"http://a.lk/"};
    QTest::newRow("binary") << QByteArray("\xff\xfb\x90\x64\x00\n\x01\x02", 8) << QStringList{};
}

void TestPlaylistEntries::recognisesPlaylistsByContent()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, entries);
    QCOMPARE(playlistEntries(body, QStringLiteral("http://base.lk/list")), entries);
}

QTEST_APPLESS_MAIN(TestPlaylistEntries)
#include "test_playlist_entries.moc"
