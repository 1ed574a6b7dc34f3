#include "stream/connection.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <cerrno>
#include <gnutls/gnutls.h>
#include <poll.h>
#include <sys/socket.h>

namespace tarvoni::stream {

namespace {

// The trust store every TLS session checks against, read once.
gnutls_certificate_credentials_t trustedAuthorities()
{
    static const gnutls_certificate_credentials_t credentials = [] {
        gnutls_certificate_credentials_t made = nullptr;
        if (gnutls_certificate_allocate_credentials(&made) != GNUTLS_E_SUCCESS)
            return made;
        const QByteArray file = qgetenv("SSL_CERT_FILE");
        if (!file.isEmpty())
            gnutls_certificate_set_x509_trust_file(made, file.constData(), GNUTLS_X509_FMT_PEM);
        else
            gnutls_certificate_set_x509_system_trust(made);
        return made;
    }();
    return credentials;
}

// Waits for the socket to become readable or writable, as the session last asked; false at the
// deadline or when something arrives on `cancelFd`.
bool waitForSession(gnutls_session_t session, int fd, Deadline deadline, int cancelFd)
{
    const short events = gnutls_record_get_direction(session) ? POLLOUT : POLLIN;
    pollfd p[2]{{fd, events, 0}, {cancelFd, POLLIN, 0}};
    for (;;) {
        const int r = ::poll(p, cancelFd >= 0 ? 2 : 1, millisecondsUntil(deadline));
        if (r < 0 && errno == EINTR)
            continue;
        return r > 0 && !(cancelFd >= 0 && p[1].revents);
    }
}

// A server named by its address rather than a name: no name to send ahead of the handshake.
bool isAddressLiteral(const std::string &host)
{
    in6_addr address;
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1
        || ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

} // namespace

struct Connection::Tls {
    gnutls_session_t session = nullptr;

    ~Tls()
    {
        if (session)
            gnutls_deinit(session);
    }
};

Connection::Connection() = default;
Connection::Connection(Socket connected)
    : m_socket(std::move(connected))
{
}
Connection::~Connection() = default;
Connection::Connection(Connection &&other) noexcept = default;
Connection &Connection::operator=(Connection &&other) noexcept = default;

Connection Connection::open(const std::string &host, const std::string &port, bool tls, Deadline deadline,
                            int cancelFd)
{
    Connection connection(connectToHost(host, port, deadline, cancelFd));
    if (connection.valid() && tls && !connection.startTls(host, deadline, cancelFd))
        return Connection();
    return connection;
}

bool Connection::startTls(const std::string &host, Deadline deadline, int cancelFd, bool *untrusted)
{
    if (untrusted)
        *untrusted = false;
    const gnutls_certificate_credentials_t authorities = trustedAuthorities();
    auto tls = std::make_unique<Tls>();
    if (!authorities || gnutls_init(&tls->session, GNUTLS_CLIENT | GNUTLS_NONBLOCK) != GNUTLS_E_SUCCESS
        || gnutls_set_default_priority(tls->session) != GNUTLS_E_SUCCESS
        || gnutls_credentials_set(tls->session, GNUTLS_CRD_CERTIFICATE, authorities) != GNUTLS_E_SUCCESS
        || (!isAddressLiteral(host)
            && gnutls_server_name_set(tls->session, GNUTLS_NAME_DNS, host.data(), host.size())
                != GNUTLS_E_SUCCESS)) {
        m_socket = Socket();
        return false;
    }
    gnutls_session_set_verify_cert(tls->session, host.c_str(), 0);
    gnutls_transport_set_int(tls->session, m_socket.fd());
    for (;;) {
        const int r = gnutls_handshake(tls->session);
        if (r == GNUTLS_E_SUCCESS)
            break;
        if (gnutls_error_is_fatal(r) || !waitForSession(tls->session, m_socket.fd(), deadline, cancelFd)) {
            if (untrusted)
                *untrusted = r == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR;
            m_socket = Socket();
            return false;
        }
    }
    m_tls = std::move(tls);
    return true;
}

ssize_t Connection::receive(char *buffer, size_t size)
{
    if (!m_tls) {
        const ssize_t n = ::recv(m_socket.fd(), buffer, size, 0);
        if (n >= 0)
            return n;
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kWouldBlock : kFailed;
    }
    const ssize_t n = gnutls_record_recv(m_tls->session, buffer, size);
    if (n >= 0)
        return n;
    // A warning (such as a refused renegotiation) ends nothing: read on.
    if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED || !gnutls_error_is_fatal(int(n)))
        return kWouldBlock;
    // Many servers hang up without saying goodbye first: that is an end too.
    return n == GNUTLS_E_PREMATURE_TERMINATION ? 0 : kFailed;
}

bool Connection::pending() const
{
    return m_tls && gnutls_record_check_pending(m_tls->session) > 0;
}

bool Connection::sendAll(std::string_view data, Deadline deadline)
{
    if (!m_tls)
        return stream::sendAll(m_socket.fd(), data, deadline);
    while (!data.empty()) {
        const ssize_t n = gnutls_record_send(m_tls->session, data.data(), data.size());
        if (n > 0) {
            data.remove_prefix(size_t(n));
            continue;
        }
        if ((n != GNUTLS_E_AGAIN && n != GNUTLS_E_INTERRUPTED)
            || !waitForSession(m_tls->session, m_socket.fd(), deadline, -1))
            return false;
    }
    return true;
}

} // namespace tarvoni::stream
