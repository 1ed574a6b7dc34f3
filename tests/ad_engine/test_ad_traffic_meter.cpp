// The panes' traffic meter as the web engine meets it: a forwarding proxy on the loopback
// interface, spoken to as a browser speaks to one, in front of the ads' loopback server.

#include "ad_engine/ad_traffic_meter.h"
#include "loopback_http_server.h"
#include "loopback_servers.h"
#include "patience.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace tarvoni;
using tarvoni::testing::kPatienceMs;

namespace {

constexpr qint64 kLimit = 4 * 1024 * 1024;
const QByteArray kPage = QByteArray(3000, 'a');

// Sends one request to the proxy and returns all it answers until it closes the connection.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    QByteArray answer;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    for (int i = 0; i < 600 && socket.state() != QAbstractSocket::UnconnectedState; ++i)
        QTest::qWait(50);
    return answer + socket.readAll();
}

QByteArray get(const QUrl &url)
{
    return "GET " + url.toEncoded() + " HTTP/1.1\r\nHost: " + url.authority().toLatin1()
        + "\r\nProxy-Connection: keep-alive\r\n\r\n";
}

QByteArray connectTo(const QUrl &url)
{
    return "CONNECT " + url.authority().toLatin1() + " HTTP/1.1\r\n\r\n";
}

// Sets "name=value" pairs, split by spaces, until the returned guard goes.
auto environmentFor(const QString &variables)
{
    QList<QByteArray> names;
    for (const QString &variable : variables.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        names << variable.section(QLatin1Char('='), 0, 0).toLatin1();
        qputenv(names.last().constData(), variable.section(QLatin1Char('='), 1).toLatin1());
    }
    return qScopeGuard([names] {
        for (const QByteArray &name : names)
            qunsetenv(name.constData());
    });
}

} // namespace

class TestAdTrafficMeter : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void forwardsLikeAnHttpProxy_data();
    void forwardsLikeAnHttpProxy();
    void reachesServersThroughTheEnvironmentsProxy_data();
    void reachesServersThroughTheEnvironmentsProxy();
    void aServerSlowToConnectHoldsUpNothing();
    void chargesTheBytesToThePanesThatAskedForThem_data();
    void chargesTheBytesToThePanesThatAskedForThem();
    void cutsOffALoadOverTheLimitUntilTheNextLoad();

private:
    std::unique_ptr<LoopbackHttpServer> m_server;
    std::unique_ptr<AdTrafficMeter> m_meter;
    std::unique_ptr<testing::LoopbackRadio> m_radio; // for its proxy, once a test needs it
};

void TestAdTrafficMeter::init()
{
    m_server = std::make_unique<LoopbackHttpServer>();
    QVERIFY(m_server->start());
    m_server->setPage("/ad", {200, kPage});
    m_meter = std::make_unique<AdTrafficMeter>(kLimit);
    QVERIFY(m_meter->listen());
}

void TestAdTrafficMeter::cleanupTestCase()
{
    m_radio.reset();
}

void TestAdTrafficMeter::forwardsLikeAnHttpProxy_data()
{
    // In a request, "SERVER" stands for the loopback server's address, "NOWHERE" for a closed port.
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answerStart"); // and, for a 200, the page after it
    QTest::addColumn<QByteArray>("serverSaw");   // the start of what reached the server

    const QByteArray get =
        "GET http://SERVER/ad#top HTTP/1.1\r\nHost: SERVER\r\nProxy-Connection: keep-alive\r\n\r\n";
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const QByteArray tunnelled = "GET /ad HTTP/1.1\r\n\r\n";
    const QByteArray refused = "HTTP/1.1 400 ";
    const QByteArray failed = "HTTP/1.1 502 ";

    QTest::newRow("page, in origin form, closing") << get << ok << QByteArray("GET /ad HTTP/1.1\r\n");
    QTest::newRow("body of a post") << QByteArray(
        "POST http://SERVER/ad HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello")
                                    << QByteArray("HTTP/1.1 404 Error\r\n")
                                    << QByteArray("POST /ad HTTP/1.1\r\n");
    QTest::newRow("tunnel, both ways") << "CONNECT SERVER HTTP/1.1\r\n\r\n" + tunnelled
                                       << "HTTP/1.1 200 Connection established\r\n\r\n" + ok << tunnelled;
    QTest::newRow("malformed head") << QByteArray("GET http://SERVER/ad\r\n\r\n") << refused << QByteArray();
    QTest::newRow("head too long") << "GET http://SERVER/ad HTTP/1.1\r\nX: " + QByteArray(70000, 'x')
            + "\r\n\r\n" << refused << QByteArray();
    QTest::newRow("no http address") << QByteArray("GET ftp://SERVER/ad HTTP/1.1\r\n\r\n") << refused
                                     << QByteArray();
    QTest::newRow("server unreachable")
        << QByteArray(get).replace("SERVER", "NOWHERE") << failed << QByteArray();
    QTest::newRow("tunnel unreachable")
        << QByteArray("CONNECT NOWHERE HTTP/1.1\r\n\r\n") << failed << QByteArray();
}

void TestAdTrafficMeter::forwardsLikeAnHttpProxy()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answerStart);
    QFETCH(QByteArray, serverSaw);

    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QByteArray nowhere = "127.0.0.1:" + QByteArray::number(closed.serverPort());
    closed.close();
    request.replace("SERVER", m_server->baseUrl().authority().toLatin1()).replace("NOWHERE", nowhere);

    const QByteArray answer = exchange(m_meter->port(), request);
    QVERIFY2(answer.startsWith(answerStart), answer.left(200).constData());
    if (answerStart.endsWith(" 200 OK\r\n")) {
        QVERIFY(answer.endsWith("\r\n\r\n" + kPage));
        QCOMPARE(answer.count("Connection: close\r\n"), 1);
    }
    const QByteArray seen = m_server->lastRequest("/ad");
    QVERIFY2(serverSaw.isEmpty() ? seen.isEmpty() : seen.startsWith(serverSaw), seen.constData());
    if (request.contains("\r\nContent-Length: 5")) // what a browser sends after the head
        QVERIFY(seen.endsWith("\r\n\r\nhello"));
    if (request.startsWith("GET http") && !seen.isEmpty()) {
        QVERIFY(seen.contains("\r\nConnection: close\r\n") && !seen.contains("Proxy-Connection"));
        QCOMPARE(seen.count("\r\nHost: "), 1);
    }
}

void TestAdTrafficMeter::reachesServersThroughTheEnvironmentsProxy_data()
{
    QTest::addColumn<QString>("variables"); // "name=value" pairs; "<proxy>" for the proxy's address
    QTest::addColumn<QString>("host"); // radio.invalid and plain.invalid resolve nowhere but at the proxy
    QTest::addColumn<bool>("tunnel");
    QTest::addColumn<bool>("served");
    QTest::addColumn<QString>("logged"); // the requests the proxy took: CONNECT to the host, GET of the page

    QTest::newRow("page through http_proxy") << "http_proxy=<proxy>"
                                             << "radio.invalid" << false << true << "CONNECT";
    QTest::newRow("page through a proxy that will not tunnel it")
        << "http_proxy=<proxy>"
        << "plain.invalid" << false << true << "CONNECT GET";
    QTest::newRow("tunnel through https_proxy") << "https_proxy=<proxy>"
                                                << "radio.invalid" << true << true << "CONNECT";
    QTest::newRow("tunnel through ALL_PROXY") << "ALL_PROXY=<proxy>"
                                              << "radio.invalid" << true << true << "CONNECT";
    QTest::newRow("tunnel refused") << "https_proxy=<proxy>"
                                    << "plain.invalid" << true << false << "CONNECT";
    QTest::newRow("page not through https_proxy") << "https_proxy=<proxy>"
                                                  << "radio.invalid" << false << false << "";
    QTest::newRow("tunnel not through http_proxy") << "http_proxy=<proxy>"
                                                   << "radio.invalid" << true << false << "";
    QTest::newRow("no_proxy goes direct")
        << "http_proxy=<proxy> https_proxy=<proxy> no_proxy=example.org,radio.invalid"
        << "radio.invalid" << false << false << "";
    QTest::newRow("loopback goes direct") << "http_proxy=<proxy> https_proxy=<proxy>"
                                          << "127.0.0.1" << true << true << "";
}

void TestAdTrafficMeter::reachesServersThroughTheEnvironmentsProxy()
{
    QFETCH(QString, variables);
    QFETCH(QString, host);
    QFETCH(bool, tunnel);
    QFETCH(bool, served);
    QFETCH(QString, logged);

    if (!m_radio) {
        m_radio = std::make_unique<testing::LoopbackRadio>();
        QString error;
        QVERIFY2(m_radio->start(&error), qPrintable(error));
    }
    const auto unset = environmentFor(variables.replace(
        QLatin1String("<proxy>"), QStringLiteral("http://127.0.0.1:%1").arg(m_radio->proxyPort())));
    const QByteArray before = m_radio->proxyLog();

    QUrl ad = m_server->baseUrl().resolved(QUrl(QStringLiteral("/ad")));
    ad.setHost(host);
    // The proxy passes a request it takes whole on as it is.
    m_server->setPage(ad.toEncoded(), {200, kPage});
    const QByteArray answer = exchange(m_meter->port(),
                                       tunnel ? connectTo(ad) + "GET /ad HTTP/1.1\r\n\r\n" : get(ad));
    QVERIFY2(served ? answer.endsWith(kPage) : answer.startsWith("HTTP/1.1 502 "),
             answer.left(200).constData());
    QByteArray expected;
    for (const QString &request : logged.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        expected += request.toLatin1() + ' '
            + (request == QLatin1String("GET") ? ad.toEncoded() : ad.authority().toLatin1()) + " HTTP/1.1\n";
    QCOMPARE(m_radio->proxyLog().mid(before.size()), expected);
}

void TestAdTrafficMeter::aServerSlowToConnectHoldsUpNothing()
{
    // A proxy that takes the connection and never answers its CONNECT.
    QTcpServer silentProxy;
    QVERIFY(silentProxy.listen(QHostAddress::LocalHost));
    const auto unset = environmentFor(
        QStringLiteral("https_proxy=http://127.0.0.1:%1").arg(silentProxy.serverPort()));
    QTcpSocket engine;
    engine.connectToHost(QHostAddress::LocalHost, m_meter->port());
    engine.write("CONNECT ads.invalid:443 HTTP/1.1\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(silentProxy.hasPendingConnections(), kPatienceMs);
    QTcpSocket *upstream = silentProxy.nextPendingConnection();
    QByteArray asked;
    QTRY_VERIFY_WITH_TIMEOUT((asked += upstream->readAll()).contains("\r\n\r\n"), kPatienceMs);
    QVERIFY2(asked.startsWith("CONNECT ads.invalid:443 HTTP/1.1\r\n"), asked.constData());

    // Meanwhile the proxy serves the other connections.
    QVERIFY(exchange(m_meter->port(), get(m_server->baseUrl().resolved(QUrl(QStringLiteral("/ad")))))
                .endsWith(kPage));

    // The engine giving up on the connection closes the one to the server at once.
    engine.abort();
    QTRY_VERIFY_WITH_TIMEOUT(upstream->state() == QAbstractSocket::UnconnectedState, kPatienceMs);
}

void TestAdTrafficMeter::chargesTheBytesToThePanesThatAskedForThem_data()
{
    QTest::addColumn<QStringList>("notes"); // "<pane> <address>", a path against the server
    QTest::addColumn<bool>("tunnel");
    QTest::addColumn<QList<int>>("charged");

    QTest::newRow("address, to its pane")
        << QStringList{"0 http:/ad", "1 http:/other"} << false << QList<int>{0};
    QTest::newRow("earliest note first") << QStringList{"1 http:/ad", "0 http:/ad"} << false << QList<int>{1};
    QTest::newRow("fragment ignored") << QStringList{"1 http:/ad#x"} << false << QList<int>{1};
    QTest::newRow("tunnel, to the panes of its host")
        << QStringList{"0 https:/a", "1 https:/b"} << true << QList<int>{0, 1};
    QTest::newRow("tunnel, only those") << QStringList{"1 wss:/a", "0 http:/ad"} << true << QList<int>{1};
    QTest::newRow("tunnel matching nothing, to every pane")
        << QStringList{"0 http:/ad"} << true << QList<int>{0, 1};
    QTest::newRow("address matching nothing, to every pane")
        << QStringList{"0 http:/other", "1 https:/ad"} << false << QList<int>{0, 1};
}

void TestAdTrafficMeter::chargesTheBytesToThePanesThatAskedForThem()
{
    QFETCH(QStringList, notes);
    QFETCH(bool, tunnel);
    QFETCH(QList<int>, charged);

    m_meter->startLoad(0);
    m_meter->startLoad(1);
    for (const QString &note : notes) {
        QUrl url = m_server->baseUrl().resolved(QUrl(note.section(' ', 1).section(':', 1)));
        url.setScheme(note.section(' ', 1).section(':', 0, 0));
        m_meter->noteRequest(note.section(' ', 0, 0).toInt(), url);
    }
    const QUrl ad = m_server->baseUrl().resolved(QUrl(QStringLiteral("/ad")));
    const QByteArray answer = exchange(m_meter->port(),
                                       tunnel ? connectTo(ad) + "GET /ad HTTP/1.1\r\n\r\n" : get(ad));
    QVERIFY(answer.endsWith(kPage));
    for (const int pane : {0, 1}) {
        const qint64 bytes = m_meter->loadBytes(pane);
        if (charged.contains(pane))
            QVERIFY2(bytes > kPage.size() && bytes < answer.size() + 100, qPrintable(QString::number(bytes)));
        else
            QCOMPARE(bytes, 0);
    }
}

void TestAdTrafficMeter::cutsOffALoadOverTheLimitUntilTheNextLoad()
{
    const QByteArray big(30 * 1024 * 1024, 'b');
    m_server->setPage("/big", {200, big});
    const QUrl bigUrl = m_server->baseUrl().resolved(QUrl(QStringLiteral("/big")));
    const QUrl ad = m_server->baseUrl().resolved(QUrl(QStringLiteral("/ad")));
    QSignalSpy over(m_meter.get(), &AdTrafficMeter::loadOverLimit);
    m_meter->startLoad(0);
    m_meter->startLoad(1);

    m_meter->noteRequest(0, bigUrl);
    const QByteArray cut = exchange(m_meter->port(), get(bigUrl));
    QCOMPARE(over.count(), 1);
    QCOMPARE(over.at(0).at(0).toInt(), 0);
    QVERIFY2(cut.size() > 0 && cut.size() < kLimit + 512 * 1024, qPrintable(QString::number(cut.size())));

    // Refused at once until the pane starts again; the other pane fetches on.
    m_meter->noteRequest(0, ad);
    QVERIFY(exchange(m_meter->port(), get(ad)).startsWith("HTTP/1.1 403 "));
    m_meter->noteRequest(1, ad);
    QVERIFY(exchange(m_meter->port(), get(ad)).endsWith(kPage));
    m_meter->startLoad(0);
    m_meter->noteRequest(0, ad);
    QVERIFY(exchange(m_meter->port(), get(ad)).endsWith(kPage));
    QVERIFY(m_meter->loadBytes(0) < 2 * kPage.size());
    QCOMPARE(over.count(), 1);
}

QTEST_GUILESS_MAIN(TestAdTrafficMeter)
#include "test_ad_traffic_meter.moc"
