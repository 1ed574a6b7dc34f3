#pragma once

#include <QString>

#include <memory>
#include <mutex>

namespace tarvoni::stream {

class RelayListener;
class RelayReport;

// A relay on 127.0.0.1 between libVLC and the stations' servers, so that what libVLC cannot be
// trusted with passes through code of ours:
// - MMS over HTTP goes through MmshRetimer, so that a stream without a fast start is heard
//   within libVLC's own buffering instead of after the stream's declared preroll as well;
// - an http stream's titles (Shoutcast/Icecast metadata) are taken out of the stream and
//   decoded here, whatever character set they come in, and reported;
// - an HLS stream is fetched here, playlist and segments, and handed on as one stream (see
//   relayHls), every address it lists checked first;
// - https is spoken here (through net::Fetcher, under the program's one network policy,
//   proxies included), so an https stream gets all of the above too;
// - a redirect to another http or https address is followed through the relay too.
// Anything else (playlists, errors, other content) passes unchanged.
//
// libVLC is given the relay's address with the server's inside it; the relay forwards each
// request to that server and its answer back. Only addresses carrying the relay's own random
// key are served. The program makes one relay and hands it to its player; each connection has
// a thread of its own, which ends when either side closes or the relay stops. It holds no
// more than a few dozen connections, drops a request that has not arrived whole within seconds
// and an answer whose head runs past 16 KB, and once it can accept no more, addresses go to
// their servers directly.
class StreamRelay {
public:
    // Listens from the first address it is asked for on.
    StreamRelay();
    ~StreamRelay();
    StreamRelay(const StreamRelay &) = delete;
    StreamRelay &operator=(const StreamRelay &) = delete;

    // Ends every connection, waits for their threads, and relays nothing from then on.
    void stop();

    // The address for libVLC for an "mmsh://", "icyx://", "http://" or "https://" address, or the address
    // itself when it cannot go through the relay (no relay, or an address the relay cannot
    // carry). What the relay learns of an http stream goes to `report`, for as long as someone
    // else holds it too.
    QString relayedAddress(const QString &engineAddress,
                           const std::shared_ptr<RelayReport> &report = {}) const;

    // The address an entry that libVLC found in a relayed stream (a playlist's entry) stands
    // for: the server's own, for an address resolved against the relay's; otherwise unchanged.
    // `original` is the address that was relayed.
    QString originalAddress(const QString &found, const QString &original) const;

    // "http://127.0.0.1:<port>": the relay as the proxy libVLC is to send its requests for
    // relayed addresses through, so that no proxy in the environment comes between them.
    QString proxyAddress() const;

private:
    RelayListener *listener() const;

    mutable std::mutex m_mutex;
    mutable std::unique_ptr<RelayListener> m_listener;
    bool m_stopped = false;
};

} // namespace tarvoni::stream
