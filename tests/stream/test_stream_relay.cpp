// The local relay against clients and servers that do not play fair.
#include "loopback_servers.h"

#include "patience.h"
#include "stream/relay_client.h"
#include "stream/stream_relay.h"

#include <QFile>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <netinet/in.h>
#include <poll.h>
#include <thread>
#include <vector>

using tarvoni::testing::kPatienceMs;
using namespace tarvoni::stream;
using namespace std::chrono_literals;

namespace {

// The relay's port and the request path that reaches `path` on 127.0.0.1:`port` through it.
struct RelayedPath {
    int relayPort = 0;
    QByteArray request;
};

RelayedPath relayed(const StreamRelay &relay, int port, const QString &path,
                    const QString &scheme = QStringLiteral("mmsh"))
{
    const QUrl url(
        relay.relayedAddress(QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(port).arg(path)));
    return {url.port(), url.path(QUrl::FullyEncoded).toUtf8()};
}

Socket connectTo(int port)
{
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!socket.valid()
        || ::connect(socket.fd(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return Socket();
    return socket;
}

bool send(const Socket &socket, const QByteArray &data)
{
    return forward(socket.fd(), std::string_view(data.constData(), size_t(data.size())));
}

// True when the relay has closed `socket`; what it sent before goes to `received`.
bool closedByRelay(const Socket &socket, QByteArray *received = nullptr)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(socket.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0 && received)
            received->append(buffer, n);
        if (n > 0)
            continue;
        return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    }
}

int threadCount()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    return -1;
}

// Whether a request through the relay still gets the stream's answer.
bool relayServes(const RelayedPath &path)
{
    const Socket client = connectTo(path.relayPort);
    if (!client.valid() || !send(client, "GET " + path.request + " HTTP/1.0\r\nHost: x\r\n\r\n"))
        return false;
    QByteArray answer;
    while (!answer.contains("\r\n\r\n") && waitFor(client.fd(), POLLIN, Clock::now() + 10s) > 0)
        if (closedByRelay(client, &answer))
            break;
    return answer.startsWith("HTTP/1.0 200");
}

// libVLC's requests for an MMS-over-HTTP stream: its header, then the stream it chose from it.
QByteArray mmsRequest(const RelayedPath &path, const QByteArray &guid, const QByteArray &streamEntry = {})
{
    QByteArray request = "GET " + path.request
        + " HTTP/1.0\r\nHost: x\r\nAccept: */*\r\n"
          "User-Agent: NSPlayer/7.10.0.3059\r\n";
    if (streamEntry.isEmpty())
        request += "Pragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,request-context=1,"
                   "max-duration=0\r\nPragma: xClientGUID="
            + guid + "\r\n";
    else
        request += "Pragma: no-cache,rate=1.000000,request-context=2\r\nPragma: xPlayStrm=1\r\n"
                   "Pragma: xClientGUID="
            + guid
            + "\r\nPragma: stream-switch-count=1\r\n"
              "Pragma: stream-switch-entry="
            + streamEntry + "\r\n";
    return request + "Connection: Close\r\n\r\n";
}

// What `socket` receives until `marker` has come or the relay closes it.
QByteArray readUntil(const Socket &socket, const QByteArray &marker)
{
    QByteArray received;
    while (!received.contains(marker) && waitFor(socket.fd(), POLLIN, Clock::now() + 20s) > 0)
        if (closedByRelay(socket, &received))
            break;
    return received;
}

} // namespace

class TestStreamRelay : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void dropsSlowClients();
    void holdsNoMoreThanItsShareOfConnections();
    void closesAnEndlessAnswerHead_data();
    void closesAnEndlessAnswerHead();
    void stopEndsEveryConnection();
    void sendsThePlayRequestAhead_data();
    void sendsThePlayRequestAhead();

private:
    tarvoni::testing::LoopbackRadio m_radio;
    StreamRelay m_relay;
    RelayedPath m_stream;
};

void TestStreamRelay::initTestCase()
{
    QString error;
    QVERIFY2(m_radio.start(&error), qPrintable(error));
    m_stream = relayed(m_relay, m_radio.port(), QStringLiteral("/stream"));
    QVERIFY(m_stream.relayPort != m_radio.port());
    QVERIFY(relayServes(m_stream));
}

void TestStreamRelay::dropsSlowClients()
{
    // A client that sends its request a byte at a time, each well within any single wait.
    std::vector<Socket> clients;
    for (int i = 0; i < 4; ++i) {
        clients.push_back(connectTo(m_stream.relayPort));
        QVERIFY(send(clients.back(), "GET " + m_stream.request + " HTTP/1.0\r\n"));
    }
    int open = int(clients.size());
    for (int round = 0; open > 0 && round < 60; ++round) {
        QTest::qWait(300);
        open = 0;
        for (const Socket &client : clients)
            open += !closedByRelay(client) && ::send(client.fd(), "X", 1, MSG_NOSIGNAL) == 1;
    }
    QCOMPARE(open, 0);
    QVERIFY(relayServes(m_stream));
}

void TestStreamRelay::holdsNoMoreThanItsShareOfConnections()
{
    const int before = threadCount();
    std::vector<Socket> clients;
    for (int i = 0; i < 64; ++i) {
        clients.push_back(connectTo(m_stream.relayPort));
        QVERIFY(clients.back().valid());
    }
    const auto closedCount = [&] {
        int closed = 0;
        for (const Socket &client : clients)
            closed += closedByRelay(client);
        return closed;
    };
    // Those beyond the relay's share are sent away, and it never holds a thread for more.
    int most = 0;
    for (int round = 0; closedCount() < 32 && round < 400; ++round) {
        most = std::max(most, threadCount() - before);
        QTest::qWait(50);
    }
    QVERIFY(closedCount() >= 32);
    QVERIFY2(most <= 33, qPrintable(QString::number(most)));
    // The rest go once their time to send a request is up, and the relay serves again.
    QTRY_COMPARE_WITH_TIMEOUT(closedCount(), 64, kPatienceMs);
    QVERIFY(relayServes(m_stream));
}

void TestStreamRelay::closesAnEndlessAnswerHead_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::newRow("mms") << "mmsh";
    QTest::newRow("http") << "http";
}

void TestStreamRelay::closesAnEndlessAnswerHead()
{
    QFETCH(QString, scheme);
    const RelayedPath endless = relayed(m_relay, m_radio.port(), QStringLiteral("/endless-head"), scheme);
    const Socket client = connectTo(endless.relayPort);
    QVERIFY(send(client, "GET " + endless.request + " HTTP/1.0\r\nHost: x\r\n\r\n"));
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(closedByRelay(client, &received), kPatienceMs);
    QCOMPARE(received, QByteArray());
    QVERIFY(relayServes(m_stream));
}

void TestStreamRelay::stopEndsEveryConnection()
{
    StreamRelay relay;
    const RelayedPath stream = relayed(relay, m_radio.port(), QStringLiteral("/stream"));
    // One client with a stream under way, one that has not sent its request yet.
    const Socket playing = connectTo(stream.relayPort);
    QVERIFY(send(playing, "GET " + stream.request + " HTTP/1.0\r\nHost: x\r\n\r\n"));
    QVERIFY(waitFor(playing.fd(), POLLIN, Clock::now() + 10s) > 0);
    const Socket waiting = connectTo(stream.relayPort);
    QVERIFY(waiting.valid());

    std::thread stopping([&relay] { relay.stop(); });
    QTRY_VERIFY_WITH_TIMEOUT(closedByRelay(playing) && closedByRelay(waiting), 10000);
    stopping.join();
    // Nothing goes through it any more.
    const QString address = m_radio.url(QStringLiteral("/stream"));
    QCOMPARE(relay.relayedAddress(address), address);
    QVERIFY(relayServes(m_stream));
}

void TestStreamRelay::sendsThePlayRequestAhead_data()
{
    QTest::addColumn<QByteArray>("guid");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<int>("plays");
    // The server answers the header request only once it has the play request.
    QTest::newRow("stream 1, as guessed") << QByteArray("{ahead-1}") << QByteArray("ffff:1:0 ") << 1;
    QTest::newRow("stream 2 chosen") << QByteArray("{ahead-2}") << QByteArray("ffff:2:0 ") << 2;
}

void TestStreamRelay::sendsThePlayRequestAhead()
{
    QFETCH(QByteArray, guid);
    QFETCH(QByteArray, entry);
    QFETCH(int, plays);
    const RelayedPath path = relayed(m_relay, m_radio.port(), QStringLiteral("/mms-ahead"));
    const auto log = [&] {
        const QByteArray answer = tarvoni::testing::loopbackGet(m_radio.port(),
                                                                "/mms-ahead-log?guid=" + guid);
        return answer.mid(answer.indexOf("\r\n\r\n") + 4);
    };
    const Socket header = connectTo(path.relayPort);
    QVERIFY(send(header, mmsRequest(path, guid)));
    QVERIFY(readUntil(header, "header alone").endsWith("play first"));

    // libVLC's own play request gets the answer under way, or one of its own when it chose
    // otherwise; either way the server streams to one listener.
    Socket play = connectTo(path.relayPort);
    QVERIFY(send(play, mmsRequest(path, guid, entry)));
    QVERIFY(readUntil(play, "stream 2\n").contains("stream 1\n"));
    QTRY_COMPARE_WITH_TIMEOUT(log(), QByteArray::number(plays) + " 1", kPatienceMs);
    play = Socket();
    QTRY_COMPARE_WITH_TIMEOUT(log(), QByteArray::number(plays) + " 0", kPatienceMs);
}

QTEST_GUILESS_MAIN(TestStreamRelay)
#include "test_stream_relay.moc"
