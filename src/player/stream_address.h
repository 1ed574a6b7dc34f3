#pragma once

#include <QString>

namespace tarvoni {

// The address libVLC is given for a station's address. `mms` addresses go straight to MMS over
// HTTP: MMS over TCP is long gone from the servers, and falling back to HTTP can take seconds.
// `http` addresses go to libVLC's Shoutcast/Icecast-aware client ("icyx"), which asks for
// stream titles.
QString engineAddress(const QString &address);

// The host to name in the status line ("radio.example.lk"), or the address itself when it
// has none.
QString displayHost(const QString &address);

} // namespace tarvoni
