#include "mmsh_relay.h"

#include "mmsh_retimer.h"

#include <QRandomGenerator>
#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvoni::vlc {

namespace {

constexpr int kRequestTimeoutMs = 10000;
constexpr int kConnectTimeoutMs = 10000;
constexpr size_t kLongestRequest = 32 * 1024;

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool sendAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return false;
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kRequestTimeoutMs) <= 0)
                return false;
            continue;
        }
        data.remove_prefix(size_t(n));
    }
    return true;
}

// Connects to the server without blocking past the point where libVLC gives up: a client that
// hangs up ends the attempt.
int connectUpstream(const std::string &host, const std::string &port, int client)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
        return -1;
    int connected = -1;
    for (const addrinfo *a = found; a && connected < 0; a = a->ai_next) {
        Fd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
        if (fd.get() < 0)
            continue;
        if (::connect(fd.get(), a->ai_addr, a->ai_addrlen) != 0) {
            if (errno != EINPROGRESS)
                continue;
            pollfd p[2]{{fd.get(), POLLOUT, 0}, {client, POLLIN, 0}};
            if (::poll(p, 2, kConnectTimeoutMs) <= 0 || (p[1].revents & (POLLIN | POLLHUP | POLLERR)))
                break;
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length);
            if (error != 0)
                continue;
        }
        connected = fd.release();
    }
    ::freeaddrinfo(found);
    return connected;
}

struct Request {
    std::string head; // rewritten for the server
    std::string host;
    std::string port;
};

// Reads libVLC's request "GET /<key>/<host>:<port>/<path> HTTP/1.0" and turns it into the one
// the server expects. False for anything else.
bool readRequest(int client, const std::string &key, Request *request, std::string *extra)
{
    std::string in;
    char buffer[4096];
    size_t end;
    while ((end = in.find("\r\n\r\n")) == std::string::npos) {
        if (in.size() > kLongestRequest)
            return false;
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, kRequestTimeoutMs) <= 0)
            return false;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        in.append(buffer, size_t(n));
    }
    *extra = in.substr(end + 4);
    in.resize(end + 2);

    const size_t lineEnd = in.find("\r\n");
    const std::string line = in.substr(0, lineEnd);
    const size_t targetAt = line.find(' ');
    const size_t versionAt = line.rfind(' ');
    if (targetAt == std::string::npos || versionAt <= targetAt)
        return false;
    const std::string target = line.substr(targetAt + 1, versionAt - targetAt - 1);
    const std::string prefix = "/" + key + "/";
    if (target.compare(0, prefix.size(), prefix) != 0)
        return false;
    const size_t pathAt = target.find_first_of("/?", prefix.size());
    const std::string authority = target.substr(prefix.size(), pathAt - prefix.size());
    std::string path = pathAt == std::string::npos ? "/" : target.substr(pathAt);
    if (path[0] == '?')
        path = "/" + path;
    const size_t colon = authority.find(':');
    request->host = authority.substr(0, colon);
    request->port = colon == std::string::npos ? "80" : authority.substr(colon + 1);
    if (request->host.empty() || request->port.empty())
        return false;

    request->head = line.substr(0, targetAt + 1) + path + line.substr(versionAt) + "\r\n";
    for (size_t at = lineEnd + 2; at < in.size();) {
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

void serve(int clientFd, std::string key)
{
    Fd client(clientFd);
    Request request;
    std::string extra;
    if (!readRequest(client.get(), key, &request, &extra))
        return;
    Fd server(connectUpstream(request.host, request.port, client.get()));
    if (server.get() < 0 || !sendAll(server.get(), request.head) || !sendAll(server.get(), extra))
        return;
    const int noDelay = 1;
    ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

    MmshRetimer retimer;
    char buffer[16384];
    for (;;) {
        pollfd p[2]{{server.get(), POLLIN, 0}, {client.get(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[0].revents) {
            const ssize_t n = ::recv(server.get(), buffer, sizeof buffer, 0);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                continue;
            // The client's socket blocks: a listener that reads slowly slows the server down.
            if (n <= 0 || !sendAll(client.get(), retimer.feed(std::string_view(buffer, size_t(n)))))
                return;
        }
        if (p[1].revents) {
            const ssize_t n = ::recv(client.get(), buffer, sizeof buffer, 0);
            if (n <= 0 || !sendAll(server.get(), std::string_view(buffer, size_t(n))))
                return;
        }
    }
}

class Listener {
public:
    Listener()
    {
        m_key = QString::number(QRandomGenerator::system()->generate64(), 16).toStdString();
        Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd.get() < 0 || ::bind(fd.get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::listen(fd.get(), 16) != 0
            || ::getsockname(fd.get(), reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_fd = fd.release();
        std::thread([fd = m_fd, key = m_key] {
            for (;;) {
                const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0)
                    std::thread(serve, client, key).detach();
                else if (errno != EINTR && errno != ECONNABORTED && errno != EMFILE && errno != ENFILE)
                    return;
            }
        }).detach();
    }

    bool running() const { return m_fd >= 0; }
    int port() const { return m_port; }
    const std::string &key() const { return m_key; }

private:
    int m_fd = -1;
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

    // The listener and its thread stay for the program's life: connections may outlive players.
    static Listener *const listener = new Listener;
    if (!listener->running())
        return mmshAddress;
    const QString path = url.path(QUrl::FullyEncoded);
    QString relayed = QStringLiteral("mmsh://127.0.0.1:") + QString::number(listener->port()) + QLatin1Char('/')
        + QString::fromStdString(listener->key()) + QLatin1Char('/') + url.host(QUrl::FullyEncoded) + QLatin1Char(':')
        + QString::number(url.port(80)) + (path.isEmpty() ? QStringLiteral("/") : path);
    if (url.hasQuery())
        relayed += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    return relayed;
}

} // namespace tarvoni::vlc
