#include "playlist/stream_probe.h"

#include "net/fetcher.h"
#include "playlist/hls_playlist.h"

#include <QUrl>

#include <algorithm>

namespace tarvoni::playlist {

namespace {

using namespace std::chrono_literals;

// After the head, whatever of the body follows at once: enough to recognise a playlist.
constexpr auto kBodyPause = 500ms;
constexpr qsizetype kLongestBody = 16384;

// What a transfer that brought no head says about the server.
Failure failureOf(net::Outcome outcome)
{
    switch (outcome) {
    case net::Outcome::HostNotFound:
        return Failure::HostNotFound;
    case net::Outcome::ConnectionRefused:
        return Failure::ConnectionRefused;
    case net::Outcome::ConnectionClosed:
        return Failure::ConnectionClosed;
    case net::Outcome::UntrustedCertificate:
        return Failure::UntrustedCertificate;
    case net::Outcome::NoAnswer:
    case net::Outcome::Done:
    case net::Outcome::Stopped:
        return Failure::NoAnswer;
    case net::Outcome::Cancelled:
    case net::Outcome::SchemeRefused:
    case net::Outcome::Failed:
        break;
    }
    return Failure::CannotPlay;
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
    QUrl url(address.trimmed());
    if (url.host().isEmpty())
        return {{Failure::HostNotFound, 0}, {}};
    net::Request request;
    // MMS over HTTP is HTTP to a server that answers only Windows Media players in full.
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mmsh"))
        request.headers = {"User-Agent: NSPlayer/12.0"};
    if (scheme == QLatin1String("mmsh") || scheme == QLatin1String("icyx"))
        url.setScheme(QStringLiteral("http"));
    request.url = url.toString(QUrl::FullyEncoded).toStdString();
    request.connectTime = timeout;
    request.idleTime = timeout;
    request.totalTime = 3 * timeout;

    net::Fetcher fetcher;
    QByteArray answer;
    qsizetype bodyAt = -1;
    const auto onHead = [&](const std::string &head) {
        answer = QByteArray::fromStdString(head);
        bodyAt = answer.size();
        fetcher.setIdleTime(kBodyPause);
        return true;
    };
    const auto onBody = [&](std::string_view bytes) {
        answer.append(bytes.data(), qsizetype(bytes.size()));
        return answer.size() - bodyAt < kLongestBody;
    };
    const net::Outcome outcome = fetcher.fetch(request, onHead, onBody);
    if (!fetcher.headSeen()) {
        // A head cut short still tells what kind of server it was.
        if (fetcher.headSoFar().empty())
            return {{failureOf(outcome), 0}, {}};
        answer = QByteArray::fromStdString(fetcher.headSoFar());
        bodyAt = -1;
    }
    ProbeResult result{classifyResponse(answer), {}};
    // An HLS stream is audio, in segments: whatever kept it from playing, it is no web page.
    if (bodyAt >= 0 && result.failure.kind == Failure::NotAudio && isHlsPlaylist(answer.mid(bodyAt)))
        result.failure = {Failure::CannotPlay, 0};
    else if (bodyAt >= 0 && result.failure.kind == Failure::NotAudio) {
        // Entries are relative to where the answer came from, after redirects.
        const std::string from = fetcher.effectiveUrl();
        result.playlistEntries = playlistEntries(
            answer.mid(bodyAt), from == request.url ? address : QString::fromStdString(from));
    }
    return result;
}

} // namespace tarvoni::playlist
