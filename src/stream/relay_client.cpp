#include "stream/relay_client.h"

#include "stream/relay_request.h"

#include <cerrno>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;

// A client that takes no bytes for this long is gone.
constexpr auto kSendTime = 10s;
// libVLC sends its whole request at once: a client still sending after this is not libVLC.
constexpr auto kRequestTime = 3s;
constexpr size_t kLongestRequest = 16 * 1024;

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

bool readRequest(int client, const std::string &key, RelayRequest *request, std::string *extra)
{
    const Deadline deadline = Clock::now() + kRequestTime;
    std::string in;
    bool lineRead = false;
    char buffer[4096];
    size_t end;
    while ((end = in.find("\r\n\r\n")) == std::string::npos) {
        if (in.size() > kLongestRequest || waitFor(client, POLLIN, deadline) <= 0)
            return false;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        in.append(buffer, size_t(n));
        // Whoever does not know the key is sent away as soon as the request line shows it.
        const size_t lineEnd = in.find("\r\n");
        if (!lineRead && lineEnd != std::string::npos) {
            if (!parseRelayRequestLine(std::string_view(in).substr(0, lineEnd), key, request))
                return false;
            lineRead = true;
        }
    }
    *extra = in.substr(end + 4);
    return parseRelayRequest(std::string_view(in).substr(0, end + 4), key, request);
}

} // namespace tarvoni::stream
