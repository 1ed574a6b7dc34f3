// What the player says and how it reads servers' answers, without any server.
#include "player/status_text.h"
#include "player/stream_address.h"
#include "player/vlc/stream_probe.h"

#include <QTest>

using namespace tarvoni;
using namespace tarvoni::vlc;

Q_DECLARE_METATYPE(tarvoni::FailureReport)

class TestPlayerStatusText : public QObject {
    Q_OBJECT

private slots:
    void cleansServerMetadata_data();
    void cleansServerMetadata();
    void classifiesServerAnswers_data();
    void classifiesServerAnswers();
    void recognisesPlaylistsByContent_data();
    void recognisesPlaylistsByContent();
    void addressesForTheEngine_data();
    void addressesForTheEngine();
    void roundsBitrates_data();
    void roundsBitrates();
    void everyStatusFitsTheStatusLine();
};

void TestPlayerStatusText::cleansServerMetadata_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plain") << "Artist - Song" << "Artist - Song";
    QTest::newRow("markup stays text") << "<b>Hi</b> & <a href=x>y</a>" << "<b>Hi</b> & <a href=x>y</a>";
    QTest::newRow("control characters") << QStringLiteral("A\x01\x07\x1b[0mB\x7f") << "A[0mB";
    QTest::newRow("new lines and tabs") << "  One\r\n\tTwo   Three  " << "One Two Three";
    QTest::newRow("direction override") << QStringLiteral("abc\u202Edef\u2066") << "abcdef";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("only spaces") << "   \n" << "";
    QTest::newRow("sinhala kept") << QStringLiteral("සිරස FM") << QStringLiteral("සිරස FM");
    QTest::newRow("long is cut") << QString(80, QLatin1Char('x')) << QString(59, QLatin1Char('x')) + QChar(0x2026);
}

void TestPlayerStatusText::cleansServerMetadata()
{
    QFETCH(QString, raw);
    QFETCH(QString, shown);
    QCOMPARE(cleanMetadata(raw), shown);
}

void TestPlayerStatusText::classifiesServerAnswers_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<FailureReport>("report");

    QTest::newRow("404") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>")
                         << FailureReport{Failure::ServerStatus, 404};
    QTest::newRow("500") << QByteArray("HTTP/1.0 500 Internal Server Error\r\n\r\n") << FailureReport{Failure::ServerStatus, 500};
    QTest::newRow("shoutcast refusal") << QByteArray("ICY 401 Service Unavailable\r\n\r\n")
                                       << FailureReport{Failure::ServerStatus, 401};
    QTest::newRow("web page") << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<!DOCTYPE html>")
                              << FailureReport{Failure::NotAudio, 0};
    QTest::newRow("undecodable audio") << QByteArray("ICY 200 OK\r\ncontent-type: audio/mpeg\r\n\r\n\x01\x02")
                                       << FailureReport{Failure::NotAudio, 0};
    QTest::newRow("not http at all") << QByteArray("\x89PNG\r\n\x1a\n") << FailureReport{Failure::NotAudio, 0};
}

void TestPlayerStatusText::classifiesServerAnswers()
{
    QFETCH(QByteArray, head);
    QFETCH(FailureReport, report);
    QCOMPARE(classifyResponse(head), report);
}

void TestPlayerStatusText::recognisesPlaylistsByContent_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("asx") << QByteArray("\n<ASX version=\"3.0\"><Entry><Ref href = 'mms://a.lk/x?a=1&amp;b=2' /></Entry>"
                                       "<entry><REF HREF=\"http://b.lk:8000/\"/></entry></ASX>")
                         << QStringList{"mms://a.lk/x?a=1&b=2", "http://b.lk:8000/"};
    QTest::newRow("pls") << QByteArray("[playlist]\r\nNumberOfEntries=2\r\nFile1=http://a.lk/1\r\nTitle1=x\r\nfile2=/2\r\n")
                         << QStringList{"http://a.lk/1", "http://base.lk/2"};
    QTest::newRow("windows media reference") << QByteArray("[Reference]\r\nRef1=http://a.lk/live?MSWMExt=.asf\r\n")
                                             << QStringList{"http://a.lk/live?MSWMExt=.asf"};
    QTest::newRow("m3u with header") << QByteArray("#EXTM3U\n#EXTINF:-1,Radio\nhttp://a.lk/live\n")
                                     << QStringList{"http://a.lk/live"};
    QTest::newRow("bare address list") << QByteArray("http://a.lk/live\r\nmms://b.lk/x\r\n")
                                       << QStringList{"http://a.lk/live", "mms://b.lk/x"};
    QTest::newRow("web page") << QByteArray("<!DOCTYPE html><a href=\"http://a.lk/\">x</a>") << QStringList{};
    QTest::newRow("text") << QByteArray("Service unavailable, see http://a.lk/") << QStringList{};
    QTest::newRow("binary") << QByteArray("\xff\xfb\x90\x64\x00\n\x01\x02", 8) << QStringList{};
}

void TestPlayerStatusText::recognisesPlaylistsByContent()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, entries);
    QCOMPARE(playlistEntries(body, QStringLiteral("http://base.lk/list")), entries);
}

void TestPlayerStatusText::addressesForTheEngine_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("host");

    QTest::newRow("mms goes over http") << "mms://mms.example.lk/SirasaFM" << "mmsh://mms.example.lk/SirasaFM" << "mms.example.lk";
    QTest::newRow("upper-case scheme") << "MMS://h.lk/Rav's_FM" << "mmsh://h.lk/Rav's_FM" << "h.lk";
    QTest::newRow("http asks for titles") << "http://stream.example.lk:8000/live" << "icyx://stream.example.lk:8000/live"
                                    << "stream.example.lk";
    QTest::newRow("playlist") << "http://e.lk/radio.asx" << "icyx://e.lk/radio.asx" << "e.lk";
    QTest::newRow("other schemes untouched") << "rtsp://e.lk/live" << "rtsp://e.lk/live" << "e.lk";
}

void TestPlayerStatusText::addressesForTheEngine()
{
    QFETCH(QString, address);
    QFETCH(QString, engine);
    QFETCH(QString, host);
    QCOMPARE(engineAddress(address), engine);
    QCOMPARE(displayHost(address), host);
}

void TestPlayerStatusText::roundsBitrates_data()
{
    QTest::addColumn<double>("measured");
    QTest::addColumn<int>("shown");

    QTest::newRow("128 measured high") << 131.9 << 128;
    QTest::newRow("128 measured low") << 124.2 << 128;
    QTest::newRow("64") << 62.0 << 64;
    QTest::newRow("odd rate") << 104.6 << 105;
    QTest::newRow("nothing") << 0.0 << 0;
}

void TestPlayerStatusText::roundsBitrates()
{
    QFETCH(double, measured);
    QFETCH(int, shown);
    QCOMPARE(roundedBitrate(measured), shown);
}

void TestPlayerStatusText::everyStatusFitsTheStatusLine()
{
    // Three lines of about 35 characters.
    const QString longHost = QStringLiteral("a-very-long-streaming-host-name.some-provider.example.lk");
    const QString longTitle = cleanMetadata(QString(200, QLatin1Char('t')));
    const QStringList texts{
        status::connecting(longHost, 0),
        status::connecting(longHost, 12),
        status::playing(longTitle, 320, false),
        status::waitingToReconnect(true, 99, 30),
        status::failed({Failure::HostNotFound, 0}, longHost),
        status::failed({Failure::ConnectionRefused, 0}, longHost),
        status::failed({Failure::CannotPlay, 0}, longHost),
        status::failed({Failure::ConnectionClosed, 0}, longHost),
        status::failed({Failure::EntryRefused, 0, QString(300, QLatin1Char('s')) + u':'}, longHost),
        status::waitingForAudioOutput(),
        status::unavailable(QString(300, QLatin1Char('r'))),
    };
    for (const QString &text : texts)
        QVERIFY2(text.size() <= 105, qPrintable(text));
}

QTEST_APPLESS_MAIN(TestPlayerStatusText)
#include "test_player_status_text.moc"
