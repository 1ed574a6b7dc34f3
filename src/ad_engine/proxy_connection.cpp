#include "ad_engine/proxy_connection.h"

#include "net/connection.h"

#include <QSocketNotifier>
#include <QTcpSocket>

#include <fcntl.h>
#include <unistd.h>

namespace tarvoni {

namespace {

// How much is read from either side at a time, and the most either side is given to write.
constexpr qint64 kReadChunk = 64 * 1024;
constexpr qint64 kMaxUnwritten = 256 * 1024;

// A request head (and what follows it) with its target replaced by the whole address, as a
// proxy takes it.
QByteArray inAbsoluteForm(const QByteArray &request, const QByteArray &url)
{
    const qsizetype target = request.indexOf(' ') + 1;
    return request.first(target) + url + request.sliced(request.indexOf(' ', target));
}

} // namespace

ProxyConnection::ProxyConnection(QTcpSocket *engine, Admit admit, Count count, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_admit(std::move(admit))
    , m_count(std::move(count))
{
    m_engine->setParent(this);
    m_engine->setReadBufferSize(kReadChunk);
    connect(m_engine, &QTcpSocket::readyRead, this, &ProxyConnection::readEngine);
    connect(m_engine, &QTcpSocket::bytesWritten, this, &ProxyConnection::pumpDown);
    connect(m_engine, &QTcpSocket::disconnected, this, &ProxyConnection::close);
}

ProxyConnection::~ProxyConnection()
{
    // Sockets that close as they are deleted call nothing here any more.
    m_engine->disconnect(this);
    if (m_server)
        m_server->disconnect(this);
    dropServer();
}

void ProxyConnection::abort()
{
    m_engine->abort();
    close();
}

void ProxyConnection::readEngine()
{
    if (m_stage == Stage::Done) {
        m_engine->readAll();
        return;
    }
    if (m_stage != Stage::RequestHead) {
        pumpUp();
        return;
    }
    m_head += m_engine->readAll();
    const qsizetype end = m_head.indexOf("\r\n\r\n");
    if (end < 0 ? m_head.size() > kMaxProxyHeadSize : end + 4 > kMaxProxyHeadSize) {
        fail(400);
        return;
    }
    if (end < 0)
        return;
    ProxyRequest request;
    if (!parseProxyRequest(m_head.first(end + 4), &request)) {
        fail(400);
        return;
    }
    m_up = m_head.sliced(end + 4);
    m_head.clear();
    if (!m_admit(this, request)) {
        fail(403);
        return;
    }
    startFetch(request);
}

void ProxyConnection::startFetch(const ProxyRequest &request)
{
    m_tunnel = request.kind == ProxyRequest::Kind::Tunnel;
    m_url = request.url;
    m_up.prepend(request.upstream);
    m_stage = Stage::Connecting;
    m_upstream = std::make_unique<net::Connection>();
    if (!m_upstream->open(request.host.toStdString(), request.port,
                          m_tunnel ? net::Connection::Kind::Tunnel : net::Connection::Kind::Http)) {
        fail(502);
        return;
    }
    m_opening = new QSocketNotifier(m_upstream->endedFd(), QSocketNotifier::Read, this);
    connect(m_opening, &QSocketNotifier::activated, this, &ProxyConnection::serverOpened);
}

void ProxyConnection::serverOpened()
{
    m_opening->setEnabled(false);
    if (m_stage != Stage::Connecting)
        return;
    // The socket stays the network layer's to close: Qt is given a copy of its own.
    const int socket = m_upstream->outcome() == net::Outcome::Done
        ? ::fcntl(m_upstream->socket(), F_DUPFD_CLOEXEC, 0)
        : -1;
    if (socket < 0) {
        fail(502);
        return;
    }
    m_server = new QTcpSocket(this);
    m_server->setReadBufferSize(kReadChunk);
    if (!m_server->setSocketDescriptor(socket)) {
        ::close(socket);
        fail(502);
        return;
    }
    if (!m_tunnel && m_upstream->toProxy())
        m_up = inAbsoluteForm(m_up, m_url);
    connect(m_server, &QTcpSocket::readyRead, this, &ProxyConnection::pumpDown);
    connect(m_server, &QTcpSocket::bytesWritten, this, &ProxyConnection::pumpUp);
    connect(m_server, &QTcpSocket::errorOccurred, this, &ProxyConnection::serverFailed);
    connect(m_server, &QTcpSocket::disconnected, this, &ProxyConnection::serverClosed);
    if (m_tunnel) {
        m_engine->write("HTTP/1.1 200 Connection established\r\n\r\n");
        m_stage = Stage::Piping;
    } else {
        m_stage = Stage::AnswerHead;
    }
    pumpUp();
    pumpDown();
}

void ProxyConnection::serverFailed()
{
    if (m_stage == Stage::Connecting)
        fail(502);
    else
        serverClosed();
}

void ProxyConnection::serverClosed()
{
    if (m_serverClosed)
        return;
    m_serverClosed = true;
    pumpDown();
    finishIfServerDone();
}

void ProxyConnection::pumpUp()
{
    if (m_stage != Stage::AnswerHead && m_stage != Stage::Piping)
        return;
    if (!m_up.isEmpty()) {
        m_server->write(m_up);
        m_up.clear();
    }
    while (m_engine->bytesAvailable() > 0 && m_server->bytesToWrite() < kMaxUnwritten)
        m_server->write(m_engine->read(kMaxUnwritten - m_server->bytesToWrite()));
}

void ProxyConnection::pumpDown()
{
    if (m_stage != Stage::AnswerHead && m_stage != Stage::Piping)
        return;
    while (m_server->bytesAvailable() > 0 && m_engine->bytesToWrite() < kMaxUnwritten) {
        const QByteArray bytes = m_server->read(kMaxUnwritten - m_engine->bytesToWrite());
        m_count(this, bytes.size());
        if (m_stage == Stage::Done) // cut off by the count
            return;
        if (m_stage == Stage::Piping)
            m_engine->write(bytes);
        else if (!takeAnswerHead(bytes))
            return;
    }
    finishIfServerDone();
}

// Collects the server's answer head and passes it on rewritten, with what followed it.
bool ProxyConnection::takeAnswerHead(const QByteArray &bytes)
{
    m_head += bytes;
    const qsizetype end = m_head.indexOf("\r\n\r\n");
    if (end < 0 ? m_head.size() > kMaxProxyHeadSize : end + 4 > kMaxProxyHeadSize) {
        fail(502);
        return false;
    }
    if (end < 0)
        return true;
    const QByteArray head = rewriteResponseHead(m_head.first(end + 4));
    if (head.isEmpty()) {
        fail(502);
        return false;
    }
    m_engine->write(head + m_head.sliced(end + 4));
    m_head.clear();
    m_stage = Stage::Piping;
    return true;
}

void ProxyConnection::finishIfServerDone()
{
    if (!m_serverClosed || m_stage == Stage::Done || m_server->bytesAvailable() > 0)
        return;
    if (m_stage != Stage::Piping) {
        fail(502);
        return;
    }
    // The engine's side closes once everything has been written to it.
    m_stage = Stage::Done;
    m_engine->disconnectFromHost();
}

void ProxyConnection::fail(int status)
{
    const bool answered = m_stage == Stage::Piping || m_stage == Stage::Done;
    m_stage = Stage::Done;
    dropServer();
    if (!answered)
        m_engine->write(proxyErrorAnswer(status));
    m_engine->disconnectFromHost();
}

void ProxyConnection::close()
{
    m_stage = Stage::Done;
    dropServer();
    deleteLater();
}

void ProxyConnection::dropServer()
{
    if (m_opening)
        m_opening->setEnabled(false);
    if (m_server)
        m_server->abort();
    // Cancels an opening under way, and closes the network layer's side of the connection.
    m_upstream.reset();
}

} // namespace tarvoni
