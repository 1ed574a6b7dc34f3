#pragma once

#include <QString>

namespace tarvoni::stream {

// A relay on 127.0.0.1 between libVLC and MMS-over-HTTP servers that passes every answer
// through MmshRetimer, so that a stream without a fast start is heard within libVLC's own
// buffering instead of after the stream's declared preroll as well.
//
// libVLC is given the relay's address with the server's inside it; the relay forwards each
// request to that server and its answer back. Only addresses carrying the relay's own random
// key are served. One relay serves the whole program; each connection has a thread of its own,
// which ends when either side closes. It holds no more than a few dozen connections, drops a
// request that has not arrived whole within seconds and an answer whose head runs past 16 KB,
// and once it can accept no more, mms addresses go to their servers directly.
class MmshRelay {
public:
    // The address for libVLC for an "mmsh://" address, or the address itself when it cannot
    // go through the relay (no relay, a proxy to honour, or an address the relay cannot carry).
    static QString relayedAddress(const QString &mmshAddress);
};

} // namespace tarvoni::stream
