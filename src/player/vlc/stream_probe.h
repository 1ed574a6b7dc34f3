#pragma once

#include "status_text.h"

#include <QByteArray>
#include <QString>
#include <chrono>

namespace tarvoni::vlc {

// What the start of a server's answer says about the stream, given that libVLC could not
// play it: an HTTP/ICY error status, or content that is no audio.
FailureReport classifyResponse(const QByteArray &head);

// Finds out in plain terms why an address did not play: resolves the host, connects and sends
// one GET. Blocks for up to about twice `timeout`: call it off the UI thread.
FailureReport probeStream(const QString &address, std::chrono::milliseconds timeout);

} // namespace tarvoni::vlc
