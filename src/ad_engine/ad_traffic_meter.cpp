#include "ad_engine/ad_traffic_meter.h"

#include "ad_engine/proxy_connection.h"
#include "ad_engine/proxy_request.h"

#include <QFile>
#include <QTcpSocket>
#include <QUrl>

#include <algorithm>
#include <unistd.h>

namespace tarvoni {

namespace {

// A request answered from the engine's cache never reaches the proxy: its note is forgotten
// after this long, and the oldest beyond this many.
constexpr qint64 kNoteLifetimeMs = 60 * 1000;
constexpr size_t kMaxNoted = 16 * 1024;
// A page noting more tunnel hosts than this has the rest charged to every pane.
constexpr qsizetype kMaxTunnelHosts = 1024;

// Whether the other end of `socket`, a connection to the proxy, belongs to this program's own
// user: any local program may reach a port on the loopback interface, and the proxy is the
// program's alone. The kernel's table of TCP sockets names each one's owner.
bool fromThisUser(const QTcpSocket &socket)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray peer = ':' + QByteArray::number(socket.peerPort(), 16).toUpper().rightJustified(4, '0');
    const QByteArray proxy = ':'
        + QByteArray::number(socket.localPort(), 16).toUpper().rightJustified(4, '0');
    const QByteArray user = QByteArray::number(::getuid());
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (const QByteArray &line : lines) {
        // sl, local address, remote address, state, queues, timer, retransmits, uid...
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 7 && fields.at(1).endsWith(peer) && fields.at(2).endsWith(proxy))
            return fields.at(7) == user;
    }
    return false;
}

// An address as both the engine's note and the proxy's request line write it.
QString addressKey(const QUrl &url)
{
    QUrl key = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
    if (key.port() == 80)
        key.setPort(-1);
    return QString::fromLatin1(key.toEncoded());
}

QString tunnelKey(const QString &host, int port)
{
    return host.toLower() + QLatin1Char(':') + QString::number(port);
}

} // namespace

AdTrafficMeter::AdTrafficMeter(qint64 limitBytes, QObject *parent)
    : QObject(parent)
    , m_limit(limitBytes)
{
    m_clock.start();
    connect(&m_server, &QTcpServer::newConnection, this, &AdTrafficMeter::accept);
}

bool AdTrafficMeter::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void AdTrafficMeter::noteRequest(int pane, const QUrl &url)
{
    PaneLoad &load = m_panes[pane];
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http")) {
        forgetExpired();
        const Noted noted{m_nextSerial++, pane, m_clock.elapsed()};
        const QString key = addressKey(url);
        m_noted[key].push_back(noted);
        m_notedInOrder.emplace_back(key, noted);
    } else if (load.tunnelHosts.size() < kMaxTunnelHosts) {
        // WebSockets go through a tunnel even when they are not encrypted.
        const int defaultPort = scheme == QLatin1String("https") || scheme == QLatin1String("wss") ? 443 : 80;
        load.tunnelHosts.insert(tunnelKey(url.host(QUrl::FullyEncoded), url.port(defaultPort)));
    }
}

void AdTrafficMeter::startLoad(int pane)
{
    m_panes[pane] = PaneLoad();
}

void AdTrafficMeter::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (!fromThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *connection = new ProxyConnection(
            socket, [this](ProxyConnection *c, const ProxyRequest &r) { return admit(c, r); },
            [this](ProxyConnection *c, qint64 bytes) { count(c, bytes); }, this);
        connect(connection, &QObject::destroyed, this,
                [this, connection] { m_connections.remove(connection); });
    }
}

bool AdTrafficMeter::admit(ProxyConnection *connection, const ProxyRequest &request)
{
    const Charge charge = chargeFor(request);
    const QList<int> panes = panesOf(charge);
    const bool allCutOff = std::all_of(panes.cbegin(), panes.cend(),
                                       [this](int pane) { return m_panes.value(pane).cutOff; });
    if (!panes.isEmpty() && allCutOff)
        return false;
    m_connections.insert(connection, charge);
    return true;
}

AdTrafficMeter::Charge AdTrafficMeter::chargeFor(const ProxyRequest &request)
{
    if (request.kind == ProxyRequest::Kind::Tunnel)
        return {std::nullopt, tunnelKey(QString::fromLatin1(request.host), request.port)};
    forgetExpired();
    const auto noted = m_noted.find(addressKey(QUrl::fromEncoded(request.url)));
    if (noted == m_noted.end())
        return {};
    const int pane = noted->front().pane;
    noted->pop_front();
    if (noted->empty())
        m_noted.erase(noted);
    return {pane, {}};
}

QList<int> AdTrafficMeter::panesOf(const Charge &charge) const
{
    if (charge.pane)
        return {*charge.pane};
    QList<int> panes;
    if (!charge.tunnelHost.isEmpty()) {
        for (auto it = m_panes.cbegin(); it != m_panes.cend(); ++it) {
            if (it->tunnelHosts.contains(charge.tunnelHost))
                panes << it.key();
        }
    }
    return panes.isEmpty() ? m_panes.keys() : panes;
}

void AdTrafficMeter::count(ProxyConnection *connection, qint64 bytes)
{
    QList<int> over;
    for (const int pane : panesOf(m_connections.value(connection))) {
        PaneLoad &load = m_panes[pane];
        load.bytes += bytes;
        if (load.bytes > m_limit && !load.cutOff)
            over << pane;
    }
    for (const int pane : over)
        cutOff(pane);
}

void AdTrafficMeter::cutOff(int pane)
{
    m_panes[pane].cutOff = true;
    QList<ProxyConnection *> closing;
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it) {
        if (panesOf(it.value()).contains(pane))
            closing << it.key();
    }
    for (ProxyConnection *connection : closing) {
        m_connections.remove(connection);
        connection->abort();
    }
    emit loadOverLimit(pane);
}

void AdTrafficMeter::forgetExpired()
{
    const qint64 now = m_clock.elapsed();
    while (
        !m_notedInOrder.empty()
        && (now - m_notedInOrder.front().second.at > kNoteLifetimeMs || m_notedInOrder.size() > kMaxNoted)) {
        const auto &[key, noted] = m_notedInOrder.front();
        const auto entries = m_noted.find(key);
        if (entries != m_noted.end() && entries->front().serial == noted.serial) {
            entries->pop_front();
            if (entries->empty())
                m_noted.erase(entries);
        }
        m_notedInOrder.pop_front();
    }
}

} // namespace tarvoni
