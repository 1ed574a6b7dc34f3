#pragma once

#include "player/status_text.h"
#include "playlist/playlist_entries.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>

namespace tarvoni::playlist {

// What the start of a server's answer says about the stream, given that libVLC could not
// play it: an HTTP/ICY error status, or content that is no audio.
FailureReport classifyResponse(const QByteArray &head);

struct ProbeResult {
    FailureReport failure;
    QStringList playlistEntries; // the answer was a playlist libVLC did not take for one
};

// Finds out in plain terms why an address did not play: asks the server once, through the
// program's network policy (redirects followed, a certificate refused named so). The
// connection may take up to `timeout`, the server may go silent for `timeout`, and the whole
// probe ends after three times `timeout` whatever the server sends: call it off the UI thread.
ProbeResult probeStream(const QString &address, std::chrono::milliseconds timeout);

} // namespace tarvoni::playlist
