#pragma once

#include "stream/socket.h"

#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tarvoni::stream {

// A connection to a stream's server, plain or over TLS, for code of ours that talks to
// servers itself (the relay, the probe). Its socket never blocks: wait on fd() with poll(),
// but ask pending() first, since a TLS session may hold bytes the socket no longer shows.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(Connection &&other) noexcept;
    Connection &operator=(Connection &&other) noexcept;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Connects to `host`:`port` by `deadline`; with `tls`, then makes a TLS session whose
    // certificate must be valid for `host` and signed by an authority the system trusts (or one
    // in the file SSL_CERT_FILE names, as OpenSSL has it). Anything arriving on `cancelFd` while
    // it waits ends the attempt. An invalid connection when any of that fails.
    static Connection open(const std::string &host, const std::string &port, bool tls, Deadline deadline,
                           int cancelFd = -1);
    // A plain connection over a socket that is connected already.
    explicit Connection(Socket connected);
    // Makes the plain connection a TLS session with `host`, as open() does; false (and the
    // connection no longer usable) when that fails, `*untrusted` then telling whether it was
    // for the server's certificate.
    bool startTls(const std::string &host, Deadline deadline, int cancelFd = -1, bool *untrusted = nullptr);

    bool valid() const { return m_socket.valid(); }
    int fd() const { return m_socket.fd(); }

    // What has arrived, up to `size` bytes: the count, 0 once the server has closed, kWouldBlock
    // when nothing is there yet, kFailed on an error.
    static constexpr ssize_t kWouldBlock = -1;
    static constexpr ssize_t kFailed = -2;
    ssize_t receive(char *buffer, size_t size);
    // Bytes received and decrypted but not handed out yet.
    bool pending() const;

    // Sends everything unless the server goes away or takes nothing until `deadline`.
    bool sendAll(std::string_view data, Deadline deadline);

private:
    struct Tls;

    Socket m_socket;
    std::unique_ptr<Tls> m_tls;
};

} // namespace tarvoni::stream
