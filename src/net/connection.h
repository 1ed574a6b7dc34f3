#pragma once

#include "net/outcome.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace tarvoni::net {

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
    // Called once, on the worker, when the connection is open (Done) or has failed.
    using Opened = std::function<void(Outcome)>;

    Connection();
    // Cancels an opening under way and waits for the worker; closes the connection.
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Starts opening a connection to `host` (a name or an address, an IPv6 one without
    // brackets) on a worker thread of this object's, once per object.
    void open(const std::string &host, std::uint16_t port, Kind kind, Opened opened);
    // Ends an opening under way as Cancelled; any thread.
    void cancel();
    // Once `opened` has been called with Done: the connected socket, for the owner to read and
    // write but not to close; it stays open as long as this object. -1 before. Waits for the
    // worker, whose last act was that call, to end.
    int socket();
    // Once opened: whether the connection goes to a proxy that takes plain http requests whole.
    bool toProxy() const { return m_toProxy; }

private:
    Outcome connect(const std::string &host, std::uint16_t port, Kind kind);
    // Runs the transfer to its end (with curl's result in `result`), or ends it early.
    std::optional<Outcome> run(int *result);

    struct Handles;
    std::unique_ptr<Handles> m_handles;
    std::atomic<bool> m_cancelled = false;
    int m_socket = -1;
    bool m_toProxy = false;
    std::thread m_worker;
};

} // namespace tarvoni::net
