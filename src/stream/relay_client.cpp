#include "stream/relay_client.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;

// A client that takes no bytes for this long is gone.
constexpr auto kSendTime = 10s;

} // namespace

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

bool forward(int client, std::string_view data)
{
    const Deadline deadline = Clock::now() + kSendTime;
    while (!data.empty()) {
        const ssize_t n = ::send(client, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data.remove_prefix(size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
        if (waitFor(client, POLLOUT, deadline) <= 0)
            return false;
    }
    return true;
}

bool clientGone(int client, Deadline until)
{
    if (waitFor(client, POLLIN, until) <= 0)
        return false;
    char byte;
    return ::recv(client, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

} // namespace tarvoni::stream
