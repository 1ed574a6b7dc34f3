#include "stream/socket.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>

namespace tarvoni::stream {

Socket::~Socket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Socket &Socket::operator=(Socket &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

int Socket::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

int millisecondsUntil(Deadline deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : left > 0x7fffffff ? 0x7fffffff : int(left);
}

int waitFor(int fd, short events, Deadline deadline)
{
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, millisecondsUntil(deadline));
    } while (r < 0 && errno == EINTR);
    return r;
}

bool sendAll(int fd, std::string_view data, Deadline deadline)
{
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data.remove_prefix(size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
        if (waitFor(fd, POLLOUT, deadline) <= 0)
            return false;
    }
    return true;
}

ConnectResult connectWithin(int fd, const sockaddr *address, socklen_t length, Deadline deadline, int watchFd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (::connect(fd, address, length) == 0)
        return ConnectResult::Connected;
    if (errno == ECONNREFUSED)
        return ConnectResult::Refused;
    if (errno != EINPROGRESS)
        return ConnectResult::NoAnswer;
    pollfd p[2]{{fd, POLLOUT, 0}, {watchFd, POLLIN, 0}};
    int r;
    do {
        r = ::poll(p, watchFd >= 0 ? 2 : 1, millisecondsUntil(deadline));
    } while (r < 0 && errno == EINTR);
    if (r <= 0)
        return ConnectResult::NoAnswer;
    if (watchFd >= 0 && (p[1].revents & (POLLIN | POLLHUP | POLLERR)))
        return ConnectResult::Cancelled;
    int error = 0;
    socklen_t errorLength = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLength);
    if (error == 0)
        return ConnectResult::Connected;
    return error == ECONNREFUSED ? ConnectResult::Refused : ConnectResult::NoAnswer;
}

Socket connectToHost(const std::string &host, const std::string &port, Deadline deadline, int watchFd)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
        return Socket();
    Socket connected;
    for (const addrinfo *a = found; a && !connected.valid(); a = a->ai_next) {
        Socket socket(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (!socket.valid())
            continue;
        const ConnectResult result = connectWithin(socket.fd(), a->ai_addr, a->ai_addrlen, deadline, watchFd);
        if (result == ConnectResult::Connected)
            connected = std::move(socket);
        else if (result == ConnectResult::Cancelled || Clock::now() >= deadline)
            break;
    }
    ::freeaddrinfo(found);
    return connected;
}

} // namespace tarvoni::stream
