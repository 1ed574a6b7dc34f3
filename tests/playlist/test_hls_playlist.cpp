// HLS playlists as live radio servers write them.
#include "playlist/hls_playlist.h"

#include <QTest>

using namespace tarvoni::playlist;
using std::chrono::milliseconds;

class TestHlsPlaylist : public QObject {
    Q_OBJECT

private slots:
    void readsMediaPlaylists();
    void readsMasterPlaylists();
    void tellsHlsFromPlainM3u_data();
    void tellsHlsFromPlainM3u();
};

void TestHlsPlaylist::readsMediaPlaylists()
{
    const QByteArray text =
        "\xef\xbb\xbf#EXTM3U\r\n#EXT-X-VERSION:6\r\n#EXT-X-TARGETDURATION:6\r\n"
        "#EXT-X-MEDIA-SEQUENCE:1041\r\n#EXT-X-MAP:URI=\"init.mp4\"\r\n"
        "#EXTINF:5.96,\r\nseg/1041.m4s\r\n#EXT-X-DISCONTINUITY\r\n"
        "#EXTINF:6.016,title\r\n/abs/1042.m4s\r\n#EXTINF:6,\r\nhttp://cdn.lk:8080/1043.m4s?t=1\r\n"
        "#EXTINF:6,\r\nfile:///etc/passwd\r\n";
    const HlsPlaylist playlist = parseHlsPlaylist(text,
                                                  QStringLiteral("http://radio.lk:5552/live/index.m3u8?k=1"));
    QVERIFY(!playlist.master);
    QCOMPARE(playlist.targetDuration, milliseconds(6000));
    QVERIFY(!playlist.ended);
    QVERIFY(!playlist.encrypted);
    QCOMPARE(playlist.segments.size(), size_t(4));
    const HlsPlaylist::Segment &first = playlist.segments.front();
    QCOMPARE(first.sequence, 1041);
    QCOMPARE(first.address, QStringLiteral("http://radio.lk:5552/live/seg/1041.m4s"));
    QCOMPARE(first.duration, milliseconds(5960));
    QCOMPARE(first.map, QStringLiteral("http://radio.lk:5552/live/init.mp4"));
    QCOMPARE(playlist.segments[1].address, QStringLiteral("http://radio.lk:5552/abs/1042.m4s"));
    // The timestamps start again at the segment after the tag, and only there.
    QVERIFY(!first.discontinuity && playlist.segments[1].discontinuity
            && !playlist.segments[2].discontinuity);
    QCOMPARE(playlist.segments[2].sequence, 1043);
    QCOMPARE(playlist.segments[2].address, QStringLiteral("http://cdn.lk:8080/1043.m4s?t=1"));
    // Not judged here: the relay refuses it when it comes to fetch it.
    QCOMPARE(playlist.segments[3].address, QStringLiteral("file:///etc/passwd"));

    // AES-128: each segment under the key last named, its IV given or left to its number.
    const HlsPlaylist ended = parseHlsPlaylist(
        "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\"\n"
        "#EXTINF:2,\na.ts\n#EXT-X-KEY:METHOD=AES-128,URI=\"/k2?t=1\",IV=0x000102030405060708090A0B0C0D0E0F\n"
        "#EXTINF:2,\nb.ts\n#EXT-X-KEY:METHOD=NONE\n#EXTINF:2,\nc.ts\n#EXT-X-ENDLIST\n",
        QStringLiteral("http://a.lk/x.m3u8"));
    QVERIFY(ended.ended);
    QVERIFY(!ended.encrypted);
    QCOMPARE(ended.segments.size(), size_t(3));
    QCOMPARE(ended.segments[0].sequence, 0);
    QCOMPARE(ended.segments[0].key, QStringLiteral("http://a.lk/k"));
    QVERIFY(ended.segments[0].iv.isEmpty());
    QCOMPARE(ended.segments[1].key, QStringLiteral("http://a.lk/k2?t=1"));
    QCOMPARE(ended.segments[1].iv, QByteArray::fromHex("000102030405060708090a0b0c0d0e0f"));
    QVERIFY(ended.segments[2].key.isEmpty());

    // What the relay cannot decrypt marks the playlist so.
    for (const QByteArray &key :
         {QByteArray("METHOD=SAMPLE-AES,URI=\"k\""), QByteArray("METHOD=AES-128"),
          QByteArray("METHOD=AES-128,URI=\"k\",IV=0x0102"),
          QByteArray("METHOD=AES-128,URI=\"k\",IV=0xZZ02030405060708090a0b0c0d0e0f10")})
        QVERIFY2(
            parseHlsPlaylist("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXT-X-KEY:" + key + "\n#EXTINF:2,\na.ts\n",
                             QStringLiteral("http://a.lk/x.m3u8"))
                .encrypted,
            key.constData());

    // No target duration: no media playlist.
    QVERIFY(parseHlsPlaylist("#EXTM3U\n#EXT-X-TARGETDURATION:nonsense\n#EXTINF:2,\na.ts\n",
                             QStringLiteral("http://a.lk/"))
                .segments.empty());
}

void TestHlsPlaylist::readsMasterPlaylists()
{
    const QByteArray text =
        "#EXTM3U\n#EXT-X-STREAM-INF:CODECS=\"mp4a.40.2,mp4a.40.5\",BANDWIDTH=70400\nlow/index.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=140800,AVERAGE-BANDWIDTH=131000\nhttp://other.lk/hi.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=99999999999\nfile:///x\n";
    const HlsPlaylist playlist = parseHlsPlaylist(text, QStringLiteral("http://radio.lk:5552/master.m3u8"));
    QVERIFY(playlist.master);
    QVERIFY(playlist.segments.empty());
    QCOMPARE(playlist.variants.size(), size_t(3));
    QCOMPARE(playlist.variants[0].address, QStringLiteral("http://radio.lk:5552/low/index.m3u8"));
    QCOMPARE(playlist.variants[0].bandwidth, 70400);
    QCOMPARE(playlist.variants[1].bandwidth, 131000);
    QCOMPARE(playlist.variants[2].bandwidth, 0);
}

void TestHlsPlaylist::tellsHlsFromPlainM3u_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("hls");

    QTest::newRow("media") << QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:2\n") << true;
    QTest::newRow("master") << QByteArray("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nx\n") << true;
    QTest::newRow("station list") << QByteArray("#EXTM3U\n#EXTINF:-1,Tone\nhttp://a.lk/stream\n") << false;
    QTest::newRow("no header") << QByteArray("#EXT-X-TARGETDURATION:2\na.ts\n") << false;
}

void TestHlsPlaylist::tellsHlsFromPlainM3u()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, hls);
    QCOMPARE(isHlsPlaylist(text), hls);
}

QTEST_APPLESS_MAIN(TestHlsPlaylist)
#include "test_hls_playlist.moc"
