// What the player says and the addresses it hands the engine, without any server.
#include "player/status_text.h"
#include "player/stream_address.h"

#include <QTest>

using namespace tarvoni;

class TestPlayerStatusText : public QObject {
    Q_OBJECT

private slots:
    void cleansServerMetadata_data();
    void cleansServerMetadata();
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

    QTest::newRow("plain") << "Artist - Song"
                           << "Artist - Song";
    QTest::newRow("markup stays text") << "<b>Hi</b> & <a href=x>y</a>"
                                       << "<b>Hi</b> & <a href=x>y</a>";
    QTest::newRow("control characters") << QStringLiteral("A\x01\x07\x1b[0mB\x7f") << "A[0mB";
    QTest::newRow("new lines and tabs") << "  One\r\n\tTwo   Three  "
                                        << "One Two Three";
    QTest::newRow("direction override") << QStringLiteral("abc\u202Edef\u2066") << "abcdef";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only spaces") << "   \n"
                                 << "";
    QTest::newRow("sinhala kept") << QStringLiteral("සිරස FM") << QStringLiteral("සිරස FM");
    QTest::newRow("long is cut") << QString(80, QLatin1Char('x'))
                                 << QString(59, QLatin1Char('x')) + QChar(0x2026);
}

void TestPlayerStatusText::cleansServerMetadata()
{
    QFETCH(QString, raw);
    QFETCH(QString, shown);
    QCOMPARE(cleanMetadata(raw), shown);
}

void TestPlayerStatusText::addressesForTheEngine_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("host");

    QTest::newRow("mms goes over http") << "mms://mms.example.lk/SirasaFM"
                                        << "mmsh://mms.example.lk/SirasaFM"
                                        << "mms.example.lk";
    QTest::newRow("upper-case scheme") << "MMS://h.lk/Rav's_FM"
                                       << "mmsh://h.lk/Rav's_FM"
                                       << "h.lk";
    QTest::newRow("http asks for titles") << "http://stream.example.lk:8000/live"
                                          << "icyx://stream.example.lk:8000/live"
                                          << "stream.example.lk";
    QTest::newRow("playlist") << "http://e.lk/radio.asx"
                              << "icyx://e.lk/radio.asx"
                              << "e.lk";
    QTest::newRow("other schemes untouched") << "rtsp://e.lk/live"
                                             << "rtsp://e.lk/live"
                                             << "e.lk";
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
        status::failed({Failure::UntrustedCertificate, 0}, longHost),
        status::failed({Failure::EntryRefused, 0, QString(300, QLatin1Char('s')) + u':'}, longHost),
        status::waitingForAudioOutput(),
        status::unavailable(QString(300, QLatin1Char('r'))),
    };
    for (const QString &text : texts)
        QVERIFY2(text.size() <= 105, qPrintable(text));
}

QTEST_APPLESS_MAIN(TestPlayerStatusText)
#include "test_player_status_text.moc"
