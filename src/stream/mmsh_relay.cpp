#include "stream/mmsh_relay.h"

#include "stream/mmsh_retimer.h"
#include "stream/socket.h"

#include <QRandomGenerator>
#include <QUrl>

#include <atomic>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <strings.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;

// libVLC sends its whole request at once: a client still sending after this is not libVLC.
constexpr auto kRequestTime = 3s;
constexpr auto kConnectTime = 10s;
// A side that takes no bytes for this long is gone.
constexpr auto kSendTime = 10s;
constexpr size_t kLongestRequest = 16 * 1024;
// A few players, each with a connection or two: far more than that is someone else.
constexpr int kMostConnections = 32;
// While the program has no descriptors left, accepting again at once would only spin.
constexpr auto kOutOfDescriptorsPause = 200ms;

// Connects to the server without blocking past the point where libVLC gives up: a client that
// hangs up ends the attempt.
Socket connectUpstream(const std::string &host, const std::string &port, int client)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
        return Socket();
    const Deadline deadline = Clock::now() + kConnectTime;
    Socket connected;
    for (const addrinfo *a = found; a && !connected.valid(); a = a->ai_next) {
        Socket socket(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (!socket.valid())
            continue;
        const ConnectResult result = connectWithin(socket.fd(), a->ai_addr, a->ai_addrlen, deadline, client);
        if (result == ConnectResult::Connected)
            connected = std::move(socket);
        else if (result == ConnectResult::Cancelled || Clock::now() >= deadline)
            break;
    }
    ::freeaddrinfo(found);
    return connected;
}

struct Request {
    std::string head; // rewritten for the server
    std::string host;
    std::string port;
};

// The request line "GET /<key>/<host>:<port>/<path> HTTP/1.0" as the server is to see it, with
// the server's address taken out. False when it is not for this relay.
bool readRequestLine(const std::string &line, const std::string &key, Request *request,
                     std::string *authority)
{
    const size_t targetAt = line.find(' ');
    const size_t versionAt = line.rfind(' ');
    if (targetAt == std::string::npos || versionAt <= targetAt)
        return false;
    const std::string target = line.substr(targetAt + 1, versionAt - targetAt - 1);
    const std::string prefix = "/" + key + "/";
    if (target.compare(0, prefix.size(), prefix) != 0)
        return false;
    const size_t pathAt = target.find_first_of("/?", prefix.size());
    *authority = target.substr(prefix.size(), pathAt - prefix.size());
    std::string path = pathAt == std::string::npos ? "/" : target.substr(pathAt);
    if (path[0] == '?')
        path = "/" + path;
    const size_t colon = authority->find(':');
    request->host = authority->substr(0, colon);
    request->port = colon == std::string::npos ? "80" : authority->substr(colon + 1);
    if (request->host.empty() || request->port.empty())
        return false;
    request->head = line.substr(0, targetAt + 1) + path + line.substr(versionAt) + "\r\n";
    return true;
}

// Reads libVLC's request and turns it into the one the server expects. False for anything
// else, and for a request that is not complete within kRequestTime.
bool readRequest(int client, const std::string &key, Request *request, std::string *extra)
{
    const Deadline deadline = Clock::now() + kRequestTime;
    std::string in;
    std::string authority;
    bool lineRead = false;
    char buffer[4096];
    size_t end;
    while ((end = in.find("\r\n\r\n")) == std::string::npos) {
        if (in.size() > kLongestRequest || waitFor(client, POLLIN, deadline) <= 0)
            return false;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        in.append(buffer, size_t(n));
        // Whoever does not know the key is sent away as soon as the request line shows it.
        const size_t lineEnd = in.find("\r\n");
        if (!lineRead && lineEnd != std::string::npos) {
            if (!readRequestLine(in.substr(0, lineEnd), key, request, &authority))
                return false;
            lineRead = true;
        }
    }
    *extra = in.substr(end + 4);
    in.resize(end + 2);

    for (size_t at = in.find("\r\n") + 2; at < in.size();) {
        const size_t next = in.find("\r\n", at);
        const std::string header = in.substr(at, next - at);
        at = next + 2;
        if (header.size() >= 5 && ::strncasecmp(header.c_str(), "Host:", 5) == 0)
            request->head += "Host: " + authority + "\r\n";
        else
            request->head += header + "\r\n";
    }
    request->head += "\r\n";
    return true;
}

bool forward(int to, std::string_view data)
{
    return sendAll(to, data, Clock::now() + kSendTime);
}

void serve(Socket client, const std::string &key)
{
    Request request;
    std::string extra;
    if (!readRequest(client.fd(), key, &request, &extra))
        return;
    const Socket server = connectUpstream(request.host, request.port, client.fd());
    if (!server.valid() || !forward(server.fd(), request.head) || !forward(server.fd(), extra))
        return;
    const int noDelay = 1;
    ::setsockopt(client.fd(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

    MmshRetimer retimer;
    char buffer[16384];
    for (;;) {
        pollfd p[2]{{server.fd(), POLLIN, 0}, {client.fd(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[0].revents) {
            const ssize_t n = ::recv(server.fd(), buffer, sizeof buffer, 0);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                continue;
            if (n <= 0)
                return;
            const std::string out = retimer.feed(std::string_view(buffer, size_t(n)));
            if (retimer.headTooLong() || !forward(client.fd(), out))
                return;
        }
        if (p[1].revents) {
            const ssize_t n = ::recv(client.fd(), buffer, sizeof buffer, 0);
            if (n <= 0 || !forward(server.fd(), std::string_view(buffer, size_t(n))))
                return;
        }
    }
}

class Listener {
public:
    Listener()
    {
        m_key = QString::number(QRandomGenerator::system()->generate64(), 16).toStdString();
        Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
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
            std::thread(&Listener::acceptLoop, this, std::move(socket)).detach();
        } catch (const std::system_error &) {
            // No thread, no relay; the socket went away with the thread's arguments.
            m_alive = false;
        }
    }

    bool running() const { return m_alive; }
    int port() const { return m_port; }
    const std::string &key() const { return m_key; }

private:
    void acceptLoop(Socket listening)
    {
        for (;;) {
            Socket client(::accept4(listening.fd(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client.valid()) {
                admit(std::move(client));
                continue;
            }
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                std::this_thread::sleep_for(kOutOfDescriptorsPause);
            else if (errno != EINTR && errno != ECONNABORTED && errno != EPROTO && errno != EPERM)
                break;
        }
        // From now on mms addresses go to their servers directly.
        m_alive = false;
    }

    // Serves a connection on a thread of its own, or closes it when there are too many or no
    // thread can be had.
    void admit(Socket client)
    {
        if (m_connections.fetch_add(1) >= kMostConnections) {
            --m_connections;
            return;
        }
        try {
            std::thread([this, client = std::move(client)]() mutable {
                serve(std::move(client), m_key);
                --m_connections;
            }).detach();
        } catch (const std::system_error &) {
            --m_connections;
        }
    }

    std::atomic<bool> m_alive = false;
    std::atomic<int> m_connections = 0;
    int m_port = 0;
    std::string m_key;
};

} // namespace

QString MmshRelay::relayedAddress(const QString &mmshAddress)
{
    // libVLC sends MMS over HTTP through the user's proxy, loopback included: leave it that way.
    if (!qEnvironmentVariableIsEmpty("http_proxy"))
        return mmshAddress;
    const QUrl url(mmshAddress);
    if (url.scheme() != QLatin1String("mmsh") || url.host().isEmpty() || url.host().contains(QLatin1Char(':'))
        || !url.userInfo().isEmpty())
        return mmshAddress;

    // The listener and its threads stay for the program's life: connections may outlive players.
    static Listener *const listener = new Listener;
    if (!listener->running())
        return mmshAddress;
    const QString path = url.path(QUrl::FullyEncoded);
    QString relayed = QStringLiteral("mmsh://127.0.0.1:") + QString::number(listener->port())
        + QLatin1Char('/') + QString::fromStdString(listener->key()) + QLatin1Char('/')
        + url.host(QUrl::FullyEncoded) + QLatin1Char(':') + QString::number(url.port(80))
        + (path.isEmpty() ? QStringLiteral("/") : path);
    if (url.hasQuery())
        relayed += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    return relayed;
}

} // namespace tarvoni::stream
