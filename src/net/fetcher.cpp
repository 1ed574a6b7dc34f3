#include "net/fetcher.h"

#include "net/curl_transfer.h"

#include <cerrno>
#include <cstdlib>
#include <sys/socket.h>

namespace tarvoni::net {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The longest a poll waits before looking at the clock again.
constexpr milliseconds kLongestPoll{1000};

bool startsWithLetters(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(text[i]) != lower(prefix[i]))
            return false;
    }
    return true;
}

// The status of a head that starts with "HTTP/1.1 302 Found" or "ICY 200 OK"; 0 for none.
int statusOf(std::string_view head)
{
    const size_t space = head.find(' ');
    if (space == std::string_view::npos || head.size() < space + 4)
        return 0;
    return std::atoi(std::string(head.substr(space + 1, 3)).c_str());
}

bool hasHeader(std::string_view head, std::string_view name)
{
    for (size_t at = head.find('\n'); at != std::string_view::npos; at = head.find('\n', at + 1)) {
        if (startsWithLetters(head.substr(at + 1), name)
            && head.substr(at + 1 + name.size()).starts_with(':'))
            return true;
    }
    return false;
}

} // namespace

Fetcher::Fetcher(int watchFd)
    : m_transfer(std::make_unique<CurlTransfer>())
    , m_watchFd(watchFd)
{
}

Fetcher::~Fetcher() = default;

void Fetcher::cancel()
{
    m_transfer->cancel();
}

void Fetcher::watch(int fd)
{
    m_watchFd = fd;
    curl_multi_wakeup(m_transfer->multi);
}

std::string Fetcher::effectiveUrl() const
{
    char *url = nullptr;
    curl_easy_getinfo(m_transfer->easy, CURLINFO_EFFECTIVE_URL, &url);
    return url ? url : "";
}

Outcome Fetcher::fetch(const Request &request, const HeadHandler &onHead, const BodyHandler &onBody)
{
    CURL *const easy = m_transfer->easy;
    if (!easy || !m_transfer->multi)
        return Outcome::Failed;
    // A reset keeps the connections, the TLS sessions and the name cache.
    curl_easy_reset(easy);
    applyNetworkPolicy(easy, request.connectTime);
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    if (request.http10)
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    if (!request.method.empty() && request.method != "GET")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    if (request.totalTime.count() > 0)
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(request.totalTime.count()));
    curl_slist *headers = nullptr;
    for (const std::string &header : request.headers)
        headers = curl_slist_append(headers, header.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Fetcher::onHeaderLine);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Fetcher::onBodyBytes);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Fetcher::onConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);

    m_onHead = &onHead;
    m_onBody = &onBody;
    m_following = request.followRedirects;
    m_head.clear();
    m_headComplete = m_headDelivered = m_stopped = m_headTooLong = m_connected = false;
    m_idleTime = request.idleTime;
    m_lastActivity = Clock::now();

    CURLcode result = CURLE_OK;
    const std::optional<Outcome> early = m_transfer->run([this] { return waitOnce(); }, &result);
    m_transfer->remove();
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
    if (early)
        return *early;
    // An answer with a head and no body at all.
    if (result == CURLE_OK && m_headComplete && !m_headDelivered && !deliverHead())
        return Outcome::Stopped;
    return outcomeOf(result);
}

Outcome Fetcher::outcomeOf(int code) const
{
    if (m_stopped)
        return Outcome::Stopped;
    if (m_headTooLong)
        return Outcome::Failed;
    if ((code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR) && m_headComplete)
        return Outcome::Failed;
    return outcomeOfTransfer(code, m_transfer->easy);
}

std::optional<Outcome> Fetcher::waitOnce()
{
    milliseconds wait = kLongestPoll;
    if (m_connected) {
        const auto left = std::chrono::duration_cast<milliseconds>(m_lastActivity + m_idleTime
                                                                   - Clock::now());
        if (left.count() <= 0)
            return Outcome::NoAnswer;
        wait = std::min(wait, left);
    }
    const int watchFd = m_watchFd;
    curl_waitfd watch{watchFd, CURL_WAIT_POLLIN, 0};
    const unsigned watched = watchFd >= 0 ? 1 : 0;
    if (curl_multi_poll(m_transfer->multi, watched ? &watch : nullptr, watched, int(wait.count()), nullptr)
        != CURLM_OK)
        return Outcome::Failed;
    if (watch.revents && clientGone(watchFd))
        return Outcome::Cancelled;
    return std::nullopt;
}

bool Fetcher::deliverHead()
{
    m_headDelivered = true;
    if (!(*m_onHead)(m_head))
        m_stopped = true;
    return !m_stopped;
}

bool Fetcher::clientGone(int fd)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            continue; // nothing a client sends after its request goes anywhere
        return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    }
}

int Fetcher::onConnected(void *self, char *, char *, int, int)
{
    auto *const fetcher = static_cast<Fetcher *>(self);
    fetcher->m_connected = true;
    fetcher->m_lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

size_t Fetcher::onHeaderLine(char *data, size_t size, size_t count, void *self)
{
    auto *const fetcher = static_cast<Fetcher *>(self);
    const size_t length = size * count;
    fetcher->m_lastActivity = Clock::now();
    if (fetcher->m_headDelivered)
        return length; // a chunked body's trailer
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.starts_with("HTTP/") || line.starts_with("ICY")) {
        // A new answer: an interim one or a redirect's came before.
        fetcher->m_head.clear();
        fetcher->m_headComplete = false;
    }
    if (!line.empty()) {
        // curl unchunks an HTTP/1.1 body (not an HTTP/1.0 or ICY one, which has no chunks), so
        // then its head must not say otherwise.
        if (!(startsWithLetters(line, "Transfer-Encoding:") && fetcher->m_head.starts_with("HTTP/1.1")))
            fetcher->m_head.append(line).append("\r\n");
        fetcher->m_headTooLong = fetcher->m_head.size() > kLongestAnswerHead;
        return fetcher->m_headTooLong ? 0 : length;
    }
    fetcher->m_head += "\r\n";
    fetcher->m_headComplete = true;
    const int status = statusOf(fetcher->m_head);
    const bool followed = fetcher->m_following && status >= 300 && status < 400
        && hasHeader(fetcher->m_head, "Location");
    if ((status >= 100 && status < 200) || followed) {
        // Not this answer's head: the next one's comes.
        fetcher->m_head.clear();
        fetcher->m_headComplete = false;
        return length;
    }
    return fetcher->deliverHead() ? length : 0;
}

size_t Fetcher::onBodyBytes(char *data, size_t size, size_t count, void *self)
{
    auto *const fetcher = static_cast<Fetcher *>(self);
    const size_t length = size * count;
    fetcher->m_lastActivity = Clock::now();
    if (!fetcher->m_headDelivered && !fetcher->deliverHead())
        return 0;
    if (!(*fetcher->m_onBody)(std::string_view(data, length))) {
        fetcher->m_stopped = true;
        return 0;
    }
    return length;
}

} // namespace tarvoni::net
