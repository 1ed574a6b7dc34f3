#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace tarvoni::stream {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

// The relay's side towards its clients on the loopback interface (the media engine): their
// sockets, and the bytes sent to them. Every server is reached through net::Fetcher.

// A socket descriptor that is closed when it goes away.
class Socket {
public:
    explicit Socket(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Socket();
    Socket(Socket &&other) noexcept
        : m_fd(other.release())
    {
    }
    Socket &operator=(Socket &&other) noexcept;
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    int fd() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release();

private:
    int m_fd;
};

// Milliseconds left until `deadline`, for poll(): never negative.
int millisecondsUntil(Deadline deadline);

// poll() on one descriptor until `deadline`, resumed after signals: > 0 when an event came.
int waitFor(int fd, short events, Deadline deadline);

// Sends all of `data` to the client; false when it goes away or takes no bytes for seconds.
bool forward(int client, std::string_view data);

// Whether the client has hung up by `until`: it sends nothing after its request, so anything
// to read is its end.
bool clientGone(int client, Deadline until = Clock::now());

struct RelayRequest;

// Reads libVLC's request, for the relay's `key`, and what came after its head into `extra`.
// False for anything else, and for a request that is not complete within a few seconds.
bool readRequest(int client, const std::string &key, RelayRequest *request, std::string *extra);

} // namespace tarvoni::stream
