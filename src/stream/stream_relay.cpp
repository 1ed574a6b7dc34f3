#include "stream/stream_relay.h"

#include "net/fetcher.h"
#include "stream/http_relay.h"
#include "stream/mmsh_head_start.h"
#include "stream/mmsh_relay.h"
#include "stream/relay_client.h"
#include "stream/relay_report.h"
#include "stream/relay_request.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QUrl>

#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;

// A few players, each with a connection or two: far more than that is someone else.
constexpr int kMostConnections = 32;
// While the program has no descriptors left, accepting again at once would only spin.
constexpr auto kOutOfDescriptorsPause = 200ms;

// The route for an http or https address to take through the relay, reporting to `channel`,
// or an empty string when the relay cannot carry it.
QString httpRoute(const QUrl &url, const std::string &channel)
{
    if (url.host().isEmpty() || url.host().contains(QLatin1Char(':')) || !url.userInfo().isEmpty())
        return {};
    const QString scheme = url.scheme();
    const QString number = QString::fromStdString(channel);
    if (scheme == QLatin1String("icyx") || scheme == QLatin1String("http"))
        return QLatin1Char('h') + number;
    if (scheme == QLatin1String("https"))
        return QLatin1Char('s') + number;
    return {};
}

} // namespace

class RelayListener {
public:
    RelayListener()
    {
        m_key = QString::number(QRandomGenerator::system()->generate64(), 16).toStdString();
        Socket &socket = m_listening;
        socket = Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (!socket.valid()
            || ::bind(socket.fd(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::listen(socket.fd(), 64) != 0
            || ::getsockname(socket.fd(), reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_alive = true;
        try {
            m_acceptThread = std::thread(&RelayListener::acceptLoop, this);
        } catch (const std::system_error &) {
            m_alive = false; // no thread, no relay
        }
    }

    ~RelayListener() { stop(); }

    // Takes no more connections, ends those it serves, and waits for their threads.
    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_alive = false;
            ::shutdown(m_listening.fd(), SHUT_RDWR);
            for (const auto &[id, active] : m_active) {
                if (active.fetcher)
                    active.fetcher->cancel();
                ::shutdown(active.client, SHUT_RDWR);
            }
        }
        if (m_acceptThread.joinable())
            m_acceptThread.join();
        std::map<int, std::thread> threads;
        {
            std::lock_guard lock(m_mutex);
            threads.swap(m_threads);
        }
        for (auto &[id, thread] : threads)
            thread.join();
    }

    bool running() const { return m_alive; }
    int port() const { return m_port; }
    ReportChannels &channels() { return m_channels; }

    // "<scheme>://127.0.0.1:<port>/<key>/<route>/<host>:<port><path>" for `url`.
    QString address(const QString &scheme, const QString &route, const QUrl &url) const
    {
        const QString path = url.path(QUrl::FullyEncoded);
        QString relayed = scheme + QStringLiteral("://127.0.0.1:") + QString::number(m_port)
            + QLatin1Char('/') + QString::fromStdString(m_key) + QLatin1Char('/') + route + QLatin1Char('/')
            + url.host(QUrl::FullyEncoded) + QLatin1Char(':')
            + QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80))
            + (path.isEmpty() ? QStringLiteral("/") : path);
        if (url.hasQuery())
            relayed += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
        return relayed;
    }

    // The server's address for `found`, an address under the relay's, or an empty string when
    // it is not one.
    QString original(const QUrl &found, const QUrl &relayedFrom) const
    {
        if (found.host() != QLatin1String("127.0.0.1") || found.port() != m_port)
            return {};
        const QString path = found.path(QUrl::FullyEncoded);
        const QString prefix = QLatin1Char('/') + QString::fromStdString(m_key) + QLatin1Char('/');
        QUrl server;
        if (path.startsWith(prefix)) {
            // "/<key>/<route>/<host>:<port><path>"
            const QStringList parts = path.mid(prefix.size()).split(QLatin1Char('/'));
            if (parts.size() < 2)
                return {};
            const QString scheme = parts[0].startsWith(QLatin1Char('s')) ? QStringLiteral("https://")
                                                                         : QStringLiteral("http://");
            server = QUrl(scheme + parts[1] + QLatin1Char('/') + parts.mid(2).join(QLatin1Char('/')));
        } else {
            // A root-relative entry, resolved against the relay: it is on the stream's server.
            server = relayedFrom.resolved(QUrl(path));
        }
        if (found.hasQuery())
            server.setQuery(found.query(QUrl::FullyEncoded), QUrl::StrictMode);
        return server.toString(QUrl::FullyEncoded);
    }

private:
    // What stop() must end: a connection's client, and its fetcher once it has one.
    struct Active {
        int client = -1;
        net::Fetcher *fetcher = nullptr;
    };

    void acceptLoop()
    {
        for (;;) {
            Socket client(::accept4(m_listening.fd(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client.valid()) {
                admit(std::move(client));
                continue;
            }
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                std::this_thread::sleep_for(kOutOfDescriptorsPause);
            else if (errno != EINTR && errno != ECONNABORTED && errno != EPROTO && errno != EPERM)
                break;
        }
        // From now on addresses go to their servers directly.
        m_alive = false;
    }

    // Serves a connection on a thread of its own, or closes it when there are too many or no
    // thread can be had.
    void admit(Socket client)
    {
        const int fd = client.fd();
        startThread(fd, [this, client = std::move(client)](int id) mutable { serve(id, std::move(client)); });
    }

    // Runs `work` (given its id) on a thread of its own, counted as a connection with `client`
    // (or none) for stop() to end; false, and nothing run, when there are too many or no thread
    // can be had.
    template <typename Work>
    bool startThread(int client, Work work)
    {
        if (m_connections.fetch_add(1) >= kMostConnections) {
            --m_connections;
            return false;
        }
        std::lock_guard lock(m_mutex);
        // The threads of connections that have ended, joined before another starts.
        for (const int id : m_finished) {
            m_threads[id].join();
            m_threads.erase(id);
        }
        m_finished.clear();
        if (m_stopping) {
            --m_connections;
            return false;
        }
        const int id = ++m_lastId;
        m_active[id].client = client;
        try {
            m_threads.emplace(id, std::thread([this, id, work = std::move(work)]() mutable {
                                  work(id);
                                  std::lock_guard ended(m_mutex);
                                  m_active.erase(id);
                                  m_finished.push_back(id);
                                  --m_connections;
                              }));
        } catch (const std::system_error &) {
            m_active.erase(id);
            --m_connections;
            return false;
        }
        return true;
    }

    // Makes `fetcher` (or none) the one stop() cancels for connection `id`.
    void setFetcher(int id, net::Fetcher *fetcher)
    {
        std::lock_guard lock(m_mutex);
        m_active[id].fetcher = fetcher;
        if (fetcher && m_stopping)
            fetcher->cancel();
    }

    void serve(int id, Socket client)
    {
        RelayRequest request;
        std::string extra;
        if (!readRequest(client.fd(), m_key, &request, &extra))
            return;
        const int noDelay = 1;
        ::setsockopt(client.fd(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        net::Fetcher fetcher(client.fd());
        setFetcher(id, &fetcher);
        const auto forget = qScopeGuard([this, id] { setFetcher(id, nullptr); });
        net::Request upstream;
        upstream.url = (request.route[0] == 's' ? "https://" : "http://") + request.host + ':' + request.port
            + request.target;
        upstream.method = request.method;
        upstream.http10 = request.http10;
        upstream.headers = request.headers;
        // libVLC is handed each redirect, to come back through the relay for its target.
        upstream.followRedirects = false;
        if (request.route == "m")
            serveMmsh(fetcher, upstream, client.fd());
        else
            serveHttp(fetcher, upstream, client.fd(), request);
    }

    void serveMmsh(net::Fetcher &fetcher, const net::Request &upstream, int client)
    {
        if (auto play = MmshHeadStart::guessPlay(upstream))
            startHeadStart(std::move(*play));
        else if (const auto started = m_headStarts.take(upstream)) {
            if (started->claim(client)) {
                started->waitEnded();
                return;
            }
            started->fetcher().cancel();
        }
        relayMmsh(fetcher, upstream, [client](const std::string &bytes) { return forward(client, bytes); });
    }

    // Sends `play` ahead of libVLC's own play request, on a thread of its own.
    void startHeadStart(net::Request play)
    {
        auto started = std::make_shared<MmshHeadStart>(std::move(play));
        m_headStarts.add(started);
        const bool running = startThread(-1, [this, started](int id) {
            setFetcher(id, &started->fetcher());
            started->run();
            setFetcher(id, nullptr);
            m_headStarts.remove(started);
        });
        if (!running)
            m_headStarts.remove(started);
    }

    void serveHttp(net::Fetcher &fetcher, const net::Request &upstream, int client,
                   const RelayRequest &request)
    {
        std::shared_ptr<RelayReport> report = m_channels.find(request.route);
        if (!report)
            report = std::make_shared<RelayReport>(); // nobody listens, but HLS needs one
        const bool secure = request.route[0] == 's';
        const QUrl url((secure ? QStringLiteral("https://") : QStringLiteral("http://"))
                       + QString::fromStdString(request.host) + QLatin1Char(':')
                       + QString::fromStdString(request.port) + QString::fromStdString(request.target));
        const std::string channel = request.route.substr(1);
        relayHttp(fetcher, upstream, client, url, *report, [this, &channel](const QUrl &target) {
            const QString route = httpRoute(target, channel);
            return route.isEmpty() ? QString() : address(QStringLiteral("icyx"), route, target);
        });
    }

    Socket m_listening;
    std::thread m_acceptThread;
    std::mutex m_mutex; // guards what follows, up to m_alive
    bool m_stopping = false;
    int m_lastId = 0;
    std::map<int, Active> m_active;
    std::map<int, std::thread> m_threads;
    std::vector<int> m_finished;
    std::atomic<bool> m_alive = false;
    std::atomic<int> m_connections = 0;
    int m_port = 0;
    std::string m_key;
    ReportChannels m_channels;
    MmshHeadStarts m_headStarts;
};

StreamRelay::StreamRelay() = default;

StreamRelay::~StreamRelay()
{
    stop();
}

void StreamRelay::stop()
{
    std::lock_guard lock(m_mutex);
    m_stopped = true;
    if (m_listener)
        m_listener->stop();
}

RelayListener *StreamRelay::listener() const
{
    std::lock_guard lock(m_mutex);
    // Started at the first address it is asked for, so that the program starts without it.
    if (!m_listener && !m_stopped)
        m_listener = std::make_unique<RelayListener>();
    return m_listener && m_listener->running() ? m_listener.get() : nullptr;
}

QString StreamRelay::relayedAddress(const QString &engineAddress,
                                    const std::shared_ptr<RelayReport> &report) const
{
    const QUrl url(engineAddress);
    const bool mms = url.scheme() == QLatin1String("mmsh");
    if (!mms && httpRoute(url, {}).isEmpty())
        return engineAddress;
    if (url.host().isEmpty() || url.host().contains(QLatin1Char(':')) || !url.userInfo().isEmpty())
        return engineAddress;
    RelayListener *relay = listener();
    if (!relay)
        return engineAddress;
    if (mms)
        return relay->address(QStringLiteral("mmsh"), QStringLiteral("m"), url);
    const int channel = report ? relay->channels().add(report) : 0;
    return relay->address(QStringLiteral("icyx"), httpRoute(url, std::to_string(channel)), url);
}

QString StreamRelay::originalAddress(const QString &found, const QString &original) const
{
    RelayListener *relay = listener();
    if (!relay)
        return found;
    const QString server = relay->original(QUrl(found), QUrl(original));
    return server.isEmpty() ? found : server;
}

QString StreamRelay::proxyAddress() const
{
    RelayListener *relay = listener();
    return relay ? QStringLiteral("http://127.0.0.1:") + QString::number(relay->port()) : QString();
}

} // namespace tarvoni::stream
