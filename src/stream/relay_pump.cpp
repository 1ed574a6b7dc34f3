#include "stream/relay_pump.h"

#include "stream/connection.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;

// A side that takes no bytes for this long is gone.
constexpr auto kSendTime = 10s;

} // namespace

bool forward(int to, std::string_view data)
{
    return sendAll(to, data, Clock::now() + kSendTime);
}

void pump(Connection &server, int client,
          const std::function<bool(std::string_view, std::string *)> &transform)
{
    char buffer[16384];
    std::string out;
    for (;;) {
        pollfd p[2]{{server.fd(), POLLIN, 0}, {client, POLLIN, 0}};
        if (!server.pending() && ::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (server.pending() || p[0].revents) {
            const ssize_t n = server.receive(buffer, sizeof buffer);
            if (n == Connection::kWouldBlock)
                continue;
            if (n <= 0)
                return;
            out.clear();
            if (!transform(std::string_view(buffer, size_t(n)), &out) || !forward(client, out))
                return;
        }
        if (p[1].revents) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0 || !server.sendAll(std::string_view(buffer, size_t(n)), Clock::now() + kSendTime))
                return;
        }
    }
}

bool readUntil(Connection &server, int client, std::string *in, size_t limit, Deadline deadline,
               const std::function<bool(const std::string &)> &done)
{
    char buffer[16384];
    while (!done(*in)) {
        if (in->size() >= limit)
            return false;
        if (!server.pending()) {
            pollfd p[2]{{server.fd(), POLLIN, 0}, {client, POLLIN, 0}};
            const int r = ::poll(p, 2, millisecondsUntil(deadline));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0 || p[1].revents)
                return false;
        }
        const ssize_t n = server.receive(buffer, sizeof buffer);
        if (n == Connection::kWouldBlock)
            continue;
        if (n <= 0)
            return false;
        in->append(buffer, size_t(n));
    }
    return true;
}

void passOn(Connection &server, int client, const std::string &read)
{
    if (!forward(client, read))
        return;
    pump(server, client, [](std::string_view input, std::string *out) {
        out->assign(input);
        return true;
    });
}

} // namespace tarvoni::stream
