#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <sys/socket.h>

namespace tarvoni::stream {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

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

// Sends everything unless the peer goes away or the socket takes nothing until `deadline`.
bool sendAll(int fd, std::string_view data, Deadline deadline);

enum class ConnectResult { Connected, Refused, NoAnswer, Cancelled };

// Connects `fd` (made non-blocking) to `address` by `deadline`. While it waits, anything
// arriving on `watchFd` (a client that sends or hangs up) ends the attempt as Cancelled.
ConnectResult connectWithin(int fd, const sockaddr *address, socklen_t length, Deadline deadline,
                            int watchFd = -1);

// Resolves `host` and connects to the first of its addresses that answers, by `deadline`. While
// it waits, anything arriving on `watchFd` ends the attempt. An invalid socket when none did.
Socket connectToHost(const std::string &host, const std::string &port, Deadline deadline, int watchFd = -1);

} // namespace tarvoni::stream
