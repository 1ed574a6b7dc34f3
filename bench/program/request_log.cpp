#include "request_log.h"

#include "coalescing_front.h"
#include "event_wait.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void noDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool sendAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

RequestLog::~RequestLog()
{
    if (m_wake[1] >= 0) {
        const char stop = 0;
        [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &stop, 1);
    }
    if (m_acceptor.joinable())
        m_acceptor.join();
    for (std::thread &connection : m_connections)
        connection.join();
    for (int fd : {m_listening, m_wake[0], m_wake[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool RequestLog::start(int serverPort)
{
    m_serverPort = serverPort;
    m_listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (m_listening < 0 || ::pipe2(m_wake, O_CLOEXEC) != 0
        || ::bind(m_listening, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listening, 64) != 0
        || ::getsockname(m_listening, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread(&RequestLog::acceptLoop, this);
    return true;
}

qint64 RequestLog::firstRequestAfter(qint64 fromNs) const
{
    std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_requests.begin(), m_requests.end(),
                                 [fromNs](qint64 t) { return t >= fromNs; });
    return it == m_requests.end() ? -1 : *it;
}

void RequestLog::acceptLoop()
{
    for (;;) {
        pollfd p[2]{{m_listening, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 || p[1].revents)
            return;
        const int client = ::accept4(m_listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::lock_guard lock(m_mutex);
        m_connections.emplace_back(&RequestLog::pass, this, client);
    }
}

void RequestLog::addFront(const QByteArray &pathPart, int serverPort, int gatherMs)
{
    m_frontPath = pathPart;
    m_frontPort = serverPort;
    m_frontGatherMs = gatherMs;
}

void RequestLog::pass(int client)
{
    // The request decides the server: its first bytes are read before the server is reached.
    char buffer[16384];
    pollfd first[2]{{client, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    const ssize_t requested = ::poll(first, 2, -1) > 0 && !first[1].revents
        ? ::recv(client, buffer, sizeof buffer, 0)
        : -1;
    if (requested > 0) {
        const qint64 at = nowNs();
        std::lock_guard lock(m_mutex);
        m_requests.insert(std::upper_bound(m_requests.begin(), m_requests.end(), at), at);
    }
    const QByteArray request(buffer, qsizetype(std::max<ssize_t>(requested, 0)));
    const bool fronted = !m_frontPath.isEmpty() && request.left(request.indexOf('\n')).contains(m_frontPath);
    CoalescingFront front(m_frontGatherMs);
    const int server = requested > 0 ? ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    const sockaddr_in address = loopback(fronted ? m_frontPort : m_serverPort);
    if (server >= 0 && ::connect(server, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0
        && sendAll(server, buffer, requested)) {
        noDelay(server);
        noDelay(client);
        const auto toClient = [client](const char *data, size_t size) {
            return sendAll(client, data, ssize_t(size));
        };
        for (;;) {
            pollfd p[3]{{client, POLLIN, 0}, {server, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            const int ready = ::poll(p, 3, front.msUntilDue());
            if (ready < 0 || p[2].revents)
                break;
            if (ready == 0 || front.msUntilDue() == 0) {
                if (!front.flush(toClient))
                    break;
                continue;
            }
            const int from = p[0].revents ? client : server;
            const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
            if (n <= 0) {
                front.flush(toClient); // what the server sent before it hung up
                break;
            }
            if (from == server && fronted)
                front.take(buffer, size_t(n));
            else if (!sendAll(from == client ? server : client, buffer, n))
                break;
        }
    }
    if (server >= 0)
        ::close(server);
    ::close(client);
}

} // namespace bench
