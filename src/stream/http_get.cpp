#include "stream/http_get.h"

#include "player/stream_scheme.h"

#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <poll.h>

namespace tarvoni::stream {

namespace {

constexpr size_t kLongestHead = 16 * 1024;
constexpr int kMostRedirects = 5;

int defaultPort(const QUrl &url)
{
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string requestFor(const QUrl &url)
{
    QString target = url.path(QUrl::FullyEncoded);
    if (target.isEmpty())
        target = QStringLiteral("/");
    if (url.hasQuery())
        target += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    QString host = url.host(QUrl::FullyEncoded);
    if (url.port() > 0 && url.port() != defaultPort(url))
        host += QLatin1Char(':') + QString::number(url.port());
    return "GET " + target.toStdString() + " HTTP/1.1\r\nHost: " + host.toStdString()
        + "\r\nUser-Agent: Tarvoni Radio Player 3.01\r\nAccept: */*\r\nConnection: close\r\n\r\n";
}

} // namespace

bool relayCanFetch(const QString &address)
{
    const QUrl url(address);
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty() && url.userInfo().isEmpty() && isStreamAddress(address);
}

bool HttpGet::open(const QString &address, Deadline deadline)
{
    m_refused.clear();
    QString next = address;
    for (int hop = 0; hop <= kMostRedirects; ++hop) {
        if (!isStreamAddress(next)) {
            m_refused = next;
            return false;
        }
        if (!relayCanFetch(next) || !request(next, deadline))
            return false;
        if (m_head.status >= 200 && m_head.status < 300)
            return true;
        const std::string location = m_head.value("Location");
        if (!isRedirect(m_head.status) || location.empty())
            return false;
        next = QUrl(m_address).resolved(QUrl(QString::fromStdString(location))).toString(QUrl::FullyEncoded);
    }
    return false;
}

bool HttpGet::request(const QString &address, Deadline deadline)
{
    const QUrl url(address);
    m_address = address;
    m_buffer.clear();
    m_closed = false;
    m_lastChunk = false;
    m_connection = Connection::open(url.host(QUrl::FullyEncoded).toStdString(),
                                    std::to_string(url.port(defaultPort(url))),
                                    url.scheme() == QLatin1String("https"), deadline, m_cancelFd);
    if (!m_connection.valid() || !m_connection.sendAll(requestFor(url), deadline))
        return false;
    size_t headEnd;
    while ((headEnd = answerHeadEnd(m_buffer)) == std::string::npos) {
        if (m_buffer.size() > kLongestHead || m_closed || !fill(deadline))
            return false;
    }
    if (!parseAnswerHead(std::string_view(m_buffer).substr(0, headEnd), &m_head))
        return false;
    m_buffer.erase(0, headEnd);
    const std::string length = m_head.value("Content-Length");
    if (sameLetters(m_head.value("Transfer-Encoding"), "chunked")) {
        m_framing = Framing::Chunked;
        m_left = 0;
    } else if (!length.empty()) {
        m_framing = Framing::Length;
        char *end = nullptr;
        m_left = std::strtoull(length.c_str(), &end, 10);
        if (end == length.c_str() || *end != '\0')
            return false;
    } else {
        m_framing = Framing::Close;
    }
    return true;
}

bool HttpGet::fill(Deadline deadline)
{
    pollfd p[2]{{m_connection.fd(), POLLIN, 0}, {m_cancelFd, POLLIN, 0}};
    for (;;) {
        if (!m_connection.pending()) {
            const int r = ::poll(p, m_cancelFd >= 0 ? 2 : 1, millisecondsUntil(deadline));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0 || (m_cancelFd >= 0 && p[1].revents))
                return false;
        }
        char buffer[16384];
        const ssize_t n = m_connection.receive(buffer, sizeof buffer);
        if (n == Connection::kWouldBlock)
            continue;
        if (n <= 0) {
            m_closed = true;
            return n == 0;
        }
        m_buffer.append(buffer, size_t(n));
        return true;
    }
}

HttpGet::Read HttpGet::read(std::string *out, Deadline deadline)
{
    switch (m_framing) {
    case Framing::Chunked:
        return readChunked(out, deadline);
    case Framing::Length:
        return m_left == 0 ? Read::End : takeCounted(out, deadline);
    case Framing::Close:
        if (m_buffer.empty() && (m_closed || !fill(deadline)))
            return m_closed ? Read::End : Read::Failed;
        if (m_buffer.empty())
            return Read::End;
        out->append(m_buffer);
        m_buffer.clear();
        return Read::Data;
    }
    return Read::Failed;
}

HttpGet::Read HttpGet::readChunked(std::string *out, Deadline deadline)
{
    while (m_left == 0) {
        if (m_lastChunk)
            return Read::End;
        // The next chunk's size line, after the line end that closed the previous chunk.
        size_t start;
        size_t lineEnd;
        for (;;) {
            start = m_buffer.find_first_not_of("\r\n");
            lineEnd = start == std::string::npos ? start : m_buffer.find('\n', start);
            if (lineEnd != std::string::npos)
                break;
            if (m_buffer.size() > kLongestHead || m_closed || !fill(deadline))
                return Read::Failed;
        }
        const std::string line = m_buffer.substr(start, lineEnd - start);
        char *end = nullptr;
        m_left = std::strtoull(line.c_str(), &end, 16);
        if (end == line.c_str())
            return Read::Failed;
        m_buffer.erase(0, lineEnd + 1);
        m_lastChunk = m_left == 0;
    }
    return takeCounted(out, deadline);
}

// What is left of the body or chunk, as far as it has come.
HttpGet::Read HttpGet::takeCounted(std::string *out, Deadline deadline)
{
    if (m_buffer.empty() && (m_closed || !fill(deadline) || m_buffer.empty()))
        return Read::Failed;
    const size_t take = size_t(std::min<unsigned long long>(m_left, m_buffer.size()));
    out->append(m_buffer, 0, take);
    m_buffer.erase(0, take);
    m_left -= take;
    return Read::Data;
}

bool HttpGet::readAll(std::string *out, size_t limit, Deadline deadline)
{
    for (;;) {
        switch (read(out, deadline)) {
        case Read::Data:
            if (out->size() > limit)
                return false;
            continue;
        case Read::End:
            return true;
        case Read::Failed:
            return false;
        }
    }
}

} // namespace tarvoni::stream
