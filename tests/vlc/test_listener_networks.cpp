// The player on networks that listeners have. Where the environment names a proxy, every kind
// of station still goes through the relay, and the relay through the proxy, unless no_proxy
// says otherwise. Where a host's IPv6 address drops every packet, its IPv4 address plays.
#include "loopback_servers.h"
#include "patience.h"
#include "player_test_support.h"
#include "private_network.h"

#include "vlc/create_media_player.h"

#include <QFile>
#include <QScopeGuard>
#include <QTest>
#include <QUrl>

using namespace tarvoni;
using namespace tarvoni::testing;

class TestListenerNetworks : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void playsThroughTheProxy_data();
    void playsThroughTheProxy();
    void playsFromIpv4WhenIpv6IsDropped_data();
    void playsFromIpv4WhenIpv6IsDropped();

private:
    LoopbackRadio m_radio;
};

void TestListenerNetworks::initTestCase()
{
    QString error;
    QVERIFY2(m_radio.start(&error), qPrintable(error));
    qputenv("SSL_CERT_FILE", QFile::encodeName(m_radio.certificateFile()));
}

void TestListenerNetworks::playsThroughTheProxy_data()
{
    QTest::addColumn<QString>("variables"); // "name=value" pairs, split by spaces
    QTest::addColumn<QString>("address");   // radio.invalid resolves nowhere but at the proxy
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("logged"); // what the proxy's log shows, or "-" for nothing

    const QString http = QStringLiteral("http://radio.invalid:%1").arg(m_radio.port());
    const QString https = QStringLiteral("https://radio.invalid:%1").arg(QUrl(m_radio.tlsUrl({})).port());
    const QString proxy = QStringLiteral("http://127.0.0.1:%1").arg(m_radio.proxyPort());
    // Only the relay decodes Windows-1252: the titles show that it carried the stream.
    QTest::newRow("http through http_proxy, windows-1252 title")
        << "http_proxy=" + proxy << http + "/stream?title=Caf%C3%A9%20Proxy&charset=cp1252"
        << "Playing: Café Proxy"
        << "GET " + http + "/stream?title=Caf%C3%A9%20Proxy";
    QTest::newRow("https through https_proxy, windows-1252 title")
        << "https_proxy=" + proxy << https + "/stream?title=Caf%C3%A9%20del%20Mar&charset=cp1252"
        << "Playing: Café del Mar"
        << "CONNECT " + https.mid(8);
    QTest::newRow("hls through http_proxy") << "http_proxy=" + proxy << http + "/hls/live.m3u8?id=proxied"
                                            << "Playing"
                                            << "GET " + http + "/hls/live.m3u8?id=proxied";
    QTest::newRow("no_proxy goes direct")
        << "http_proxy=" + proxy + " no_proxy=example.org,radio.invalid" << http + "/stream?title=Direct"
        << "Host not found: radio.invalid"
        << "-";
}

void TestListenerNetworks::playsThroughTheProxy()
{
    QFETCH(QString, variables);
    QFETCH(QString, address);
    QFETCH(QString, status);
    QFETCH(QString, logged);

    QList<QByteArray> names;
    for (const QString &variable : variables.split(QLatin1Char(' '))) {
        names << variable.section(QLatin1Char('='), 0, 0).toLatin1();
        qputenv(names.last().constData(), variable.section(QLatin1Char('='), 1).toLatin1());
    }
    const auto unset = qScopeGuard([&names] {
        for (const QByteArray &name : names)
            qunsetenv(name.constData());
    });
    const QByteArray before = m_radio.proxyLog();

    auto player = createMediaPlayer(nullptr, {QStringLiteral("--aout=adummy")}, testOptions());
    StatusLog log(player.get());
    player->setUrl(address);
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), status, kPatienceMs);
    const QByteArray seen = m_radio.proxyLog().mid(before.size());
    // The engine talks to the relay alone, never through the proxy.
    QVERIFY2(!seen.contains("127.0.0.1"), seen.constData());
    if (logged == QLatin1String("-"))
        QVERIFY2(!seen.contains("radio.invalid"), seen.constData());
    else
        QVERIFY2(seen.contains(logged.toUtf8()), seen.constData());
    player->stop();
}

void TestListenerNetworks::playsFromIpv4WhenIpv6IsDropped_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("status");

    // The relay and the probe both reach the host; HLS reaches it again for every segment.
    QTest::newRow("http stream") << "/stream?title=Both%20Ways"
                                 << "Playing: Both Ways";
    QTest::newRow("hls") << "/hls/live.m3u8?id=dual"
                         << "Playing";
}

void TestListenerNetworks::playsFromIpv4WhenIpv6IsDropped()
{
    QFETCH(QString, path);
    QFETCH(QString, status);

    BrokenIpv6 brokenIpv6;
    QString error;
    if (!brokenIpv6.start(&error))
        QSKIP(qPrintable(error));
    auto player = createMediaPlayer(nullptr, {QStringLiteral("--aout=adummy")}, testOptions());
    StatusLog log(player.get());
    player->setUrl(QStringLiteral("http://dual-stack.test:%1%2").arg(m_radio.port()).arg(path));
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), status, kPatienceMs);
    QVERIFY2(brokenIpv6.droppedPackets() > 0, "IPv6 was never tried");
    // Played at the first try: the dropped address cost a moment, never a failure.
    QCOMPARE(log.audioStarts, 1);
    QVERIFY2(!log.contains(QStringLiteral("No answer")), qPrintable(log.texts.join(QLatin1String(" | "))));
    player->stop();
}

QTEST_GUILESS_MAIN(TestListenerNetworks)
#include "test_listener_networks.moc"
