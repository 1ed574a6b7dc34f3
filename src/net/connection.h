#pragma once

#include "net/outcome.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace tarvoni::net {

struct CurlTransfer;

// A connection to a server that curl opens under the network policy, for its owner to carry
// the bytes over itself: through the proxy the environment names for it, with the proxy's
// CONNECT (curl speaks to the proxy), or direct, trying a dual-stack host's addresses side by
// side. Nothing is sent to the server itself.
//
// A tunnel is asked for both kinds of connection, so that what the owner sends is the same
// whether it goes through a proxy or not: the proxy only ever sees the host and port. A proxy
// that refuses to tunnel plain http is connected to instead, for the owner to send it the
// request whole (its target in absolute form).
class Connection {
public:
    // What the connection carries, which picks the proxy: plain http (http_proxy), or a tunnel
    // a browser asked for, such as https (https_proxy). ALL_PROXY stands in for either.
    enum class Kind { Http, Tunnel };

    Connection();
    // Cancels an opening under way and waits for the worker; closes the connection.
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Starts opening a connection to `host` (a name or an address, an IPv6 one without
    // brackets) on a worker thread of this object's, once per object. False when it cannot.
    bool open(const std::string &host, std::uint16_t port, Kind kind);
    // Ends an opening under way as Cancelled; any thread.
    void cancel();
    // A descriptor that becomes readable once the opening has ended, for the owner's event loop
    // to watch; this object's, open as long as it is. The owner learns of the end on its own
    // thread, and nothing is called on the worker's.
    int endedFd() const { return m_ended; }
    // How the opening ended (Done: the connection is open); waits for it to end.
    Outcome outcome();
    // Once open: the connected socket, for the owner to read and write but not to close; it
    // stays open as long as this object. And whether it goes to a proxy that takes plain http
    // requests whole.
    int socket() const { return m_socket; }
    bool toProxy() const { return m_toProxy; }

private:
    Outcome connect(const std::string &host, std::uint16_t port, Kind kind);

    std::unique_ptr<CurlTransfer> m_transfer;
    int m_ended = -1;
    // The worker's, until it ends.
    Outcome m_outcome = Outcome::Cancelled;
    int m_socket = -1;
    bool m_toProxy = false;
    std::thread m_worker;
};

} // namespace tarvoni::net
