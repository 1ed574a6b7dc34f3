#include "stream/stream_probe.h"

#include "stream/connection.h"
#include "stream/hls_playlist.h"

#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <netdb.h>
#include <poll.h>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;

// After the head, whatever of the body follows at once: enough to recognise a playlist.
constexpr auto kBodyPause = 500ms;
constexpr qsizetype kLongestAnswer = 65536;
constexpr qsizetype kLongestBody = 16384;

QByteArray requestFor(const QUrl &url, const QByteArray &host)
{
    QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
    if (path.isEmpty())
        path = "/";
    if (url.hasQuery())
        path += '?' + url.query(QUrl::FullyEncoded).toUtf8();
    return "GET " + path + " HTTP/1.0\r\nHost: " + host
        + "\r\nUser-Agent: NSPlayer/12.0\r\n"
          "Accept: */*\r\nConnection: close\r\n\r\n";
}

// The start of the answer: the head within `timeout` of each other byte and by `deadline`,
// then what of the body follows at once.
// `*closed` tells a server that hung up (or reset) from one that stayed silent.
QByteArray readAnswerStart(Connection &server, std::chrono::milliseconds timeout, Deadline deadline,
                           qsizetype *bodyAt, bool *closed)
{
    QByteArray answer;
    char buffer[4096];
    *bodyAt = -1;
    *closed = false;
    while (answer.size() < kLongestAnswer) {
        const Deadline next = Clock::now() + (*bodyAt < 0 ? timeout : kBodyPause);
        if (!server.pending() && waitFor(server.fd(), POLLIN, std::min(next, deadline)) <= 0)
            break;
        const ssize_t n = server.receive(buffer, sizeof buffer);
        if (n == Connection::kWouldBlock)
            continue;
        if (n <= 0) {
            *closed = n == 0 || errno == ECONNRESET;
            break;
        }
        answer.append(buffer, n);
        if (*bodyAt < 0 && answer.contains("\r\n\r\n"))
            *bodyAt = answer.indexOf("\r\n\r\n") + 4;
        if (*bodyAt >= 0 && answer.size() - *bodyAt >= kLongestBody)
            break;
    }
    return answer;
}

} // namespace

FailureReport classifyResponse(const QByteArray &head)
{
    const qsizetype lineEnd = head.indexOf('\n');
    const QByteArray statusLine = (lineEnd < 0 ? head : head.left(lineEnd)).trimmed();
    const QList<QByteArray> parts = statusLine.simplified().split(' ');
    const bool http = parts.size() >= 2 && (parts[0].startsWith("HTTP/") || parts[0] == "ICY");
    // A status is three digits, 100 to 999; "0", "+404" or "4040" is no server's answer.
    const QByteArray status = http ? parts[1] : QByteArray();
    const bool threeDigits = status.size() == 3 && status[0] != '0'
        && std::all_of(status.begin(), status.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!threeDigits)
        return {Failure::NotAudio, 0};
    const int code = status.toInt();
    if (code < 200 || code >= 300)
        return {Failure::ServerStatus, code};

    // A successful answer that still did not play: a web page, or bytes that decode to no
    // audio. Either way the listener is not looking at an audio stream.
    return {Failure::NotAudio, 0};
}

ProbeResult probeStream(const QString &address, std::chrono::milliseconds timeout)
{
    const QUrl url(address.trimmed());
    const QByteArray host = url.host().toUtf8();
    if (host.isEmpty())
        return {{Failure::HostNotFound, 0}, {}};
    const bool secure = url.scheme() == QLatin1String("https");
    const QByteArray port = QByteArray::number(url.port(secure ? 443 : 80));

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0 || !found)
        return {{Failure::HostNotFound, 0}, {}};
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);

    const Deadline deadline = Clock::now() + 3 * timeout;
    bool refused = false;
    for (const addrinfo *a = addresses.get(); a; a = a->ai_next) {
        Socket socket(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (!socket.valid())
            continue;
        const ConnectResult connected = connectWithin(socket.fd(), a->ai_addr, a->ai_addrlen,
                                                      std::min(Clock::now() + timeout, deadline));
        if (connected == ConnectResult::Refused)
            refused = true;
        if (connected != ConnectResult::Connected)
            continue;

        Connection server(std::move(socket));
        bool untrusted = false;
        if (secure
            && !server.startTls(host.toStdString(), std::min(Clock::now() + timeout, deadline), -1,
                                &untrusted))
            return {{untrusted ? Failure::UntrustedCertificate : Failure::CannotPlay, 0}, {}};
        const QByteArray request = requestFor(url, host);
        if (!server.sendAll(std::string_view(request.constData(), size_t(request.size())),
                            std::min(Clock::now() + timeout, deadline)))
            return {{Failure::NoAnswer, 0}, {}};
        qsizetype bodyAt = -1;
        bool closed = false;
        const QByteArray answer = readAnswerStart(server, timeout, deadline, &bodyAt, &closed);
        if (answer.isEmpty())
            return {{closed ? Failure::ConnectionClosed : Failure::NoAnswer, 0}, {}};
        ProbeResult result{classifyResponse(answer), {}};
        // An HLS stream is audio, in segments: whatever kept it from playing, it is no web page.
        if (bodyAt >= 0 && result.failure.kind == Failure::NotAudio && isHlsPlaylist(answer.mid(bodyAt)))
            result.failure = {Failure::CannotPlay, 0};
        else if (bodyAt >= 0 && result.failure.kind == Failure::NotAudio)
            result.playlistEntries = playlistEntries(answer.mid(bodyAt), address);
        return result;
    }
    return {{refused ? Failure::ConnectionRefused : Failure::NoAnswer, 0}, {}};
}

} // namespace tarvoni::stream
