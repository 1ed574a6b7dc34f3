#include "status_text.h"

#include <QList>

#include <algorithm>
#include <array>
#include <cmath>

namespace tarvoni {

namespace {

const QChar kEllipsis(0x2026);

QString elided(const QString &text, int maxLength)
{
    if (text.size() <= maxLength)
        return text;
    QString cut = text.left(maxLength - 1);
    // Do not leave half of a surrogate pair behind.
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    return cut.trimmed() + kEllipsis;
}

QString shortHost(const QString &host)
{
    constexpr int kMax = 40;
    if (host.size() <= kMax)
        return host;
    return host.left(kMax / 2 - 1) + kEllipsis + host.right(kMax / 2);
}

bool isUnwanted(char32_t c)
{
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
        return true;
    // Direction overrides and isolates, line/paragraph separators, BOM, object replacement.
    if ((c >= 0x200e && c <= 0x200f) || (c >= 0x2028 && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069))
        return true;
    return c == 0xfeff || c == 0xfffc || c == 0xfffd;
}

} // namespace

namespace status {

QString ready()
{
    return QStringLiteral("Ready");
}

QString connecting(const QString &host, int reconnectAttempt)
{
    if (reconnectAttempt > 0)
        return QStringLiteral("Reconnecting to %1 (attempt %2)...")
            .arg(shortHost(host))
            .arg(reconnectAttempt);
    return QStringLiteral("Connecting to %1...").arg(shortHost(host));
}

QString waitingForAudioOutput()
{
    return QStringLiteral("No audio output: the sound system does not answer");
}

QString buffering(int percent)
{
    return QStringLiteral("Buffering %1%").arg(std::clamp(percent, 0, 99));
}

QString playing(const QString &title, int kbps, bool audioOutput)
{
    QString text = audioOutput ? QStringLiteral("Playing") : QStringLiteral("Playing, no audio output");
    if (kbps > 0)
        text += QStringLiteral(" (%1 kbps)").arg(kbps);
    if (!title.isEmpty())
        text += QStringLiteral(": ") + title;
    return text;
}

QString stopped()
{
    return QStringLiteral("Stopped");
}

QString waitingToReconnect(bool stalled, int attempt, int waitSeconds)
{
    return QStringLiteral("%1; reconnecting in %2 s (attempt %3)")
        .arg(stalled ? QStringLiteral("Stream stalled") : QStringLiteral("Stream lost"))
        .arg(waitSeconds)
        .arg(attempt);
}

QString checking()
{
    return QStringLiteral("Stream failed; checking why...");
}

QString failed(const FailureReport &failure, const QString &host)
{
    const QString h = shortHost(host);
    switch (failure.kind) {
    case Failure::HostNotFound:
        return QStringLiteral("Host not found: %1").arg(h);
    case Failure::ConnectionRefused:
        return QStringLiteral("Connection refused by %1").arg(h);
    case Failure::NoAnswer:
        return QStringLiteral("No answer from %1").arg(h);
    case Failure::ConnectionClosed:
        return QStringLiteral("%1 closed the connection").arg(h);
    case Failure::AddressRefused:
        return failure.scheme.isEmpty()
            ? QStringLiteral("Address refused: not a stream address")
            : QStringLiteral("Address refused: %1").arg(elided(failure.scheme, 20));
    case Failure::EntryRefused:
        return failure.scheme.isEmpty()
            ? QStringLiteral("Playlist entry refused: not a stream address")
            : QStringLiteral("Playlist entry refused: %1").arg(elided(failure.scheme, 20));
    case Failure::ServerStatus:
        switch (failure.httpStatus) {
        case 401:
        case 403:
            return QStringLiteral("Server said %1: access denied").arg(failure.httpStatus);
        case 404:
        case 410:
            return QStringLiteral("Server said %1: stream not found").arg(failure.httpStatus);
        default:
            if (failure.httpStatus >= 500)
                return QStringLiteral("Server said %1: server error").arg(failure.httpStatus);
            return QStringLiteral("Server said %1: cannot play").arg(failure.httpStatus);
        }
    case Failure::NotAudio:
        return QStringLiteral("Not an audio stream");
    case Failure::UntrustedCertificate:
        return QStringLiteral("Untrusted certificate from %1").arg(h);
    case Failure::NothingPlayable:
        return QStringLiteral("Playlist has nothing playable");
    case Failure::CannotPlay:
        break;
    }
    return QStringLiteral("Cannot play the stream from %1").arg(h);
}

QString unavailable(const QString &reason)
{
    return QStringLiteral("Playback unavailable: %1").arg(elided(reason, 80));
}

} // namespace status

QString statusText(const PlayerState &state)
{
    using Kind = PlayerState::Kind;
    switch (state.kind) {
    case Kind::Ready:
        return status::ready();
    case Kind::Connecting:
        return status::connecting(state.host, state.attempt);
    case Kind::WaitingForAudioOutput:
        return status::waitingForAudioOutput();
    case Kind::Buffering:
        return status::buffering(state.percent);
    case Kind::Playing:
        return status::playing(state.title, state.kbps, state.audioOutput);
    case Kind::Stopped:
        return status::stopped();
    case Kind::WaitingToReconnect:
        return status::waitingToReconnect(state.stalled, state.attempt, state.waitSeconds);
    case Kind::Checking:
        return status::checking();
    case Kind::Failed:
        return status::failed(state.failure, state.host);
    case Kind::Unavailable:
        break;
    }
    return status::unavailable(state.reason);
}

QString cleanMetadata(const QString &raw, int maxLength)
{
    QString out;
    out.reserve(raw.size());
    bool pendingSpace = false;
    for (const char32_t c : raw.toUcs4()) {
        if (c == U' ' || c == U'\t' || c == U'\n' || c == U'\r' || c == 0xa0) {
            pendingSpace = !out.isEmpty();
            continue;
        }
        if (isUnwanted(c))
            continue;
        if (pendingSpace)
            out += QLatin1Char(' ');
        pendingSpace = false;
        out += QString::fromUcs4(&c, 1);
    }
    return elided(out, maxLength);
}

int roundedBitrate(double kbps)
{
    static constexpr std::array kStandard{8,  16,  24,  32,  40,  48,  56,  64, 80,
                                          96, 112, 128, 160, 192, 224, 256, 320};
    if (!(kbps > 0))
        return 0;
    for (const int rate : kStandard) {
        if (std::abs(kbps - rate) <= rate * 0.06)
            return rate;
    }
    return int(std::lround(kbps));
}

} // namespace tarvoni
