#pragma once

#include "player/status_text.h"
#include "stream/playlist_entries.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>

namespace tarvoni::stream {

// What the start of a server's answer says about the stream, given that libVLC could not
// play it: an HTTP/ICY error status, or content that is no audio.
FailureReport classifyResponse(const QByteArray &head);

struct ProbeResult {
    FailureReport failure;
    QStringList playlistEntries; // the answer was a playlist libVLC did not take for one
};

// Finds out in plain terms why an address did not play: resolves the host, connects and sends
// one GET. Each step waits up to `timeout`, and the whole probe ends after three times
// `timeout` whatever the server sends (the host name's lookup aside): call it off the UI thread.
ProbeResult probeStream(const QString &address, std::chrono::milliseconds timeout);

} // namespace tarvoni::stream
