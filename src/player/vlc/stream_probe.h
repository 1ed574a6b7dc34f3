#pragma once

#include "player/status_text.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>

namespace tarvoni::vlc {

// What the start of a server's answer says about the stream, given that libVLC could not
// play it: an HTTP/ICY error status, or content that is no audio.
FailureReport classifyResponse(const QByteArray &head);

// The addresses a playlist file lists, recognised by its content (ASX, PLS, M3U, and the
// "[Reference]" files of Windows Media servers); relative entries resolved against `base`.
// Empty when `body` is no playlist.
QStringList playlistEntries(const QByteArray &body, const QString &base);

struct ProbeResult {
    FailureReport failure;
    QStringList playlistEntries; // the answer was a playlist libVLC did not take for one
};

// Finds out in plain terms why an address did not play: resolves the host, connects and sends
// one GET. Blocks for up to about three times `timeout`: call it off the UI thread.
ProbeResult probeStream(const QString &address, std::chrono::milliseconds timeout);

} // namespace tarvoni::vlc
