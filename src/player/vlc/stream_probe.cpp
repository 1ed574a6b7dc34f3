#include "stream_probe.h"

#include <QUrl>

#include <cerrno>
#include <memory>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvoni::vlc {

namespace {

class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

int waitFor(int fd, short events, std::chrono::milliseconds timeout)
{
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, int(timeout.count()));
    } while (r < 0 && errno == EINTR);
    return r;
}

enum class ConnectResult { Connected, Refused, NoAnswer };

ConnectResult connectWithin(int fd, const sockaddr *addr, socklen_t len, std::chrono::milliseconds timeout)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (::connect(fd, addr, len) == 0)
        return ConnectResult::Connected;
    if (errno == ECONNREFUSED)
        return ConnectResult::Refused;
    if (errno != EINPROGRESS)
        return ConnectResult::NoAnswer;
    if (waitFor(fd, POLLOUT, timeout) <= 0)
        return ConnectResult::NoAnswer;
    int error = 0;
    socklen_t errorLen = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLen);
    if (error == 0)
        return ConnectResult::Connected;
    return error == ECONNREFUSED ? ConnectResult::Refused : ConnectResult::NoAnswer;
}

bool sendAll(int fd, const QByteArray &data, std::chrono::milliseconds timeout)
{
    qsizetype sent = 0;
    while (sent < data.size()) {
        if (waitFor(fd, POLLOUT, timeout) <= 0)
            return false;
        const ssize_t n = ::send(fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (n > 0)
            sent += n;
    }
    return true;
}

} // namespace

FailureReport classifyResponse(const QByteArray &head)
{
    const qsizetype lineEnd = head.indexOf('\n');
    const QByteArray statusLine = (lineEnd < 0 ? head : head.left(lineEnd)).trimmed();
    const QList<QByteArray> parts = statusLine.simplified().split(' ');
    const bool http = parts.size() >= 2 && (parts[0].startsWith("HTTP/") || parts[0] == "ICY");
    bool ok = false;
    const int code = http ? parts[1].toInt(&ok) : 0;
    if (!ok)
        return {Failure::NotAudio, 0};
    if (code < 200 || code >= 300)
        return {Failure::ServerStatus, code};

    // A successful answer that still did not play: a web page, or bytes that decode to no
    // audio. Either way the listener is not looking at an audio stream.
    return {Failure::NotAudio, 0};
}

FailureReport probeStream(const QString &address, std::chrono::milliseconds timeout)
{
    const QUrl url(address.trimmed());
    const QByteArray host = url.host().toUtf8();
    if (host.isEmpty())
        return {Failure::HostNotFound, 0};
    const QByteArray port = QByteArray::number(url.port(80));

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0 || !found)
        return {Failure::HostNotFound, 0};
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);

    bool refused = false;
    for (const addrinfo *a = addresses.get(); a; a = a->ai_next) {
        Socket socket(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (socket.fd() < 0)
            continue;
        const ConnectResult connected = connectWithin(socket.fd(), a->ai_addr, a->ai_addrlen, timeout);
        if (connected == ConnectResult::Refused) {
            refused = true;
            continue;
        }
        if (connected == ConnectResult::NoAnswer)
            continue;

        QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
        if (path.isEmpty())
            path = "/";
        if (url.hasQuery())
            path += '?' + url.query(QUrl::FullyEncoded).toUtf8();
        const QByteArray request = "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\nUser-Agent: NSPlayer/12.0\r\n"
                                   "Accept: */*\r\nConnection: close\r\n\r\n";
        if (!sendAll(socket.fd(), request, timeout))
            return {Failure::NoAnswer, 0};

        QByteArray head;
        char buffer[2048];
        while (head.size() < 8192 && !head.contains("\r\n\r\n")) {
            if (waitFor(socket.fd(), POLLIN, timeout) <= 0)
                break;
            const ssize_t n = ::recv(socket.fd(), buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            head.append(buffer, n);
        }
        if (head.isEmpty())
            return {Failure::NoAnswer, 0};
        return classifyResponse(head);
    }
    return {refused ? Failure::ConnectionRefused : Failure::NoAnswer, 0};
}

} // namespace tarvoni::vlc
