#pragma once

#include "net/network_policy.h"
#include "net/outcome.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvoni::net {

struct CurlTransfer;

struct Request {
    std::string url;
    std::vector<std::string> headers; // "Name: value", replacing curl's own of that name
    std::string method;               // empty: GET
    bool http10 = false;
    bool followRedirects = true;
    std::chrono::milliseconds connectTime = kConnectTime;
    // Nothing at all from the server for this long (once connected) ends it as NoAnswer.
    std::chrono::milliseconds idleTime{15000};
    std::chrono::milliseconds totalTime{0}; // zero: as long as it lasts
};

// Fetches one answer after another on one curl easy handle, in a poll loop on the calling
// thread: body bytes are handed over as they arrive, and connections and TLS sessions are kept
// for the next fetch to the same server. cancel() (any thread) or the watched client going
// away ends a fetch within milliseconds, in a name look-up too.
class Fetcher {
public:
    // Whatever arrives on `watchFd` ends a fetch as Cancelled once it shows that its peer has
    // gone (bytes it sends meanwhile are read and dropped); -1 watches nothing.
    explicit Fetcher(int watchFd = -1);
    ~Fetcher();
    Fetcher(const Fetcher &) = delete;
    Fetcher &operator=(const Fetcher &) = delete;

    // The head of the final answer (after redirects), status line to its empty line with each
    // line ending in CR LF, once it is whole; an empty string for an answer without a head.
    // False stops the fetch.
    using HeadHandler = std::function<bool(const std::string &head)>;
    // The body's bytes as they come, unchunked. False stops the fetch.
    using BodyHandler = std::function<bool(std::string_view bytes)>;

    Outcome fetch(const Request &request, const HeadHandler &onHead, const BodyHandler &onBody);

    // Sets the idle time of the fetch under way, from a handler.
    void setIdleTime(std::chrono::milliseconds idle) { m_idleTime = idle; }
    // Where the last fetch ended up, redirects followed.
    std::string effectiveUrl() const;
    // Whether the last fetch's head was handed over.
    bool headSeen() const { return m_headDelivered; }
    // The lines of the last answer's head read so far, whole or not.
    const std::string &headSoFar() const { return m_head; }

    // Ends the fetch under way, and any later one, as Cancelled.
    void cancel();
    // Watches `fd` from now on, as the constructor's `watchFd`: for a fetch whose client comes
    // only once the answer is under way. Any thread.
    void watch(int fd);

private:
    static size_t onHeaderLine(char *data, size_t size, size_t count, void *self);
    static size_t onBodyBytes(char *data, size_t size, size_t count, void *self);
    static int onConnected(void *self, char *, char *, int, int);
    bool deliverHead();
    bool clientGone(int fd);
    Outcome outcomeOf(int code) const;
    // One wait between the transfer's steps: for its sockets, the watched client, or the idle
    // time to run out (NoAnswer).
    std::optional<Outcome> waitOnce();

    std::unique_ptr<CurlTransfer> m_transfer;
    std::atomic<int> m_watchFd;

    // The fetch under way.
    const HeadHandler *m_onHead = nullptr;
    const BodyHandler *m_onBody = nullptr;
    bool m_following = false;
    std::string m_head;
    bool m_headComplete = false;
    bool m_headDelivered = false;
    bool m_stopped = false;
    bool m_headTooLong = false;
    bool m_connected = false;
    std::chrono::milliseconds m_idleTime{0};
    std::chrono::steady_clock::time_point m_lastActivity;
};

} // namespace tarvoni::net
