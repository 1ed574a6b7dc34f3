#include "stream_probe.h"

#include <QRegularExpression>
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

QStringList playlistEntries(const QByteArray &body, const QString &base)
{
    QString text = QString::fromUtf8(body);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    text = text.trimmed();
    QStringList found;
    const auto add = [&](QString entry) {
        entry = entry.trimmed();
        entry.replace(QLatin1String("&amp;"), QLatin1String("&"));
        if (entry.isEmpty())
            return;
        const QUrl resolved = QUrl(base).resolved(QUrl(entry));
        if (resolved.isValid() && !resolved.scheme().isEmpty())
            found << resolved.toString(QUrl::FullyEncoded);
    };
    const auto addMatches = [&](const QRegularExpression &pattern) {
        for (auto it = pattern.globalMatch(text); it.hasNext();)
            add(it.next().captured(1));
    };

    if (text.startsWith(QLatin1String("<asx"), Qt::CaseInsensitive)) {
        addMatches(QRegularExpression(QStringLiteral(R"(<ref\s+href\s*=\s*["']([^"']+)["'])"),
                                      QRegularExpression::CaseInsensitiveOption));
    } else if (text.startsWith(QLatin1String("[playlist]"), Qt::CaseInsensitive)) {
        addMatches(QRegularExpression(QStringLiteral(R"(^\s*File\d+\s*=(.+)$)"),
                                      QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption));
    } else if (text.startsWith(QLatin1String("[Reference]"), Qt::CaseInsensitive)) {
        addMatches(QRegularExpression(QStringLiteral(R"(^\s*Ref\d+\s*=(.+)$)"),
                                      QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption));
    } else {
        // M3U, with or without its header: every line is a comment or an address.
        const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &raw : lines) {
            const QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            if (!line.contains(QLatin1String("://")) || line.contains(QLatin1Char(' ')) || line.contains(QLatin1Char('<')))
                return {};
            add(line);
        }
    }
    return found;
}

ProbeResult probeStream(const QString &address, std::chrono::milliseconds timeout)
{
    const QUrl url(address.trimmed());
    const QByteArray host = url.host().toUtf8();
    if (host.isEmpty())
        return {{Failure::HostNotFound, 0}, {}};
    const QByteArray port = QByteArray::number(url.port(80));

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0 || !found)
        return {{Failure::HostNotFound, 0}, {}};
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
            return {{Failure::NoAnswer, 0}, {}};

        QByteArray answer;
        char buffer[4096];
        qsizetype bodyAt = -1;
        bool closed = false; // hung up (or reset) rather than kept silent
        while (answer.size() < 65536) {
            // Headers within the timeout; then whatever of the body follows at once.
            const auto wait = bodyAt < 0 ? timeout : std::chrono::milliseconds(500);
            if (waitFor(socket.fd(), POLLIN, wait) <= 0)
                break;
            const ssize_t n = ::recv(socket.fd(), buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = n == 0 || errno == ECONNRESET;
                break;
            }
            answer.append(buffer, n);
            if (bodyAt < 0 && answer.contains("\r\n\r\n"))
                bodyAt = answer.indexOf("\r\n\r\n") + 4;
            if (bodyAt >= 0 && answer.size() - bodyAt >= 16384)
                break;
        }
        if (answer.isEmpty())
            return {{closed ? Failure::ConnectionClosed : Failure::NoAnswer, 0}, {}};
        ProbeResult result{classifyResponse(answer), {}};
        if (bodyAt >= 0 && result.failure.kind == Failure::NotAudio)
            result.playlistEntries = playlistEntries(answer.mid(bodyAt), address);
        return result;
    }
    return {{refused ? Failure::ConnectionRefused : Failure::NoAnswer, 0}, {}};
}

} // namespace tarvoni::vlc
