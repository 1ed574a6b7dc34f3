#include "net/connection.h"

#include "net/curl_transfer.h"
#include "net/network_policy.h"

#include <optional>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace tarvoni::net {

namespace {

// The longest a poll waits; curl's own timers (the connect timeout) end it sooner, and so does
// cancel().
constexpr int kLongestPollMs = 1000;

} // namespace

Connection::Connection()
    : m_transfer(std::make_unique<CurlTransfer>())
    , m_ended(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

Connection::~Connection()
{
    cancel();
    if (m_worker.joinable())
        m_worker.join();
    if (m_ended >= 0)
        ::close(m_ended);
}

bool Connection::open(const std::string &host, std::uint16_t port, Kind kind)
{
    if (m_worker.joinable() || m_ended < 0)
        return false;
    try {
        m_worker = std::thread([this, host, port, kind] {
            m_outcome = connect(host, port, kind);
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(m_ended, &one, sizeof one);
        });
    } catch (const std::system_error &) {
        return false; // no thread to be had
    }
    return true;
}

void Connection::cancel()
{
    m_transfer->cancel();
}

Outcome Connection::outcome()
{
    if (m_worker.joinable())
        m_worker.join();
    return m_outcome;
}

Outcome Connection::connect(const std::string &host, std::uint16_t port, Kind kind)
{
    CURL *const easy = m_transfer->easy;
    if (!easy || !m_transfer->multi)
        return Outcome::Failed;
    applyNetworkPolicy(easy);
    // Plain http in curl's eyes either way: the owner's client does its own TLS.
    const bool v6 = host.find(':') != std::string::npos;
    const std::string url = "http://" + (v6 ? '[' + host + ']' : host) + ':' + std::to_string(port) + '/';
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPPROXYTUNNEL, 1L);
    // curl picks http_proxy for an http address by itself; a tunnel's is https_proxy's.
    if (kind == Kind::Tunnel)
        curl_easy_setopt(easy, CURLOPT_PROXY, httpsProxy().c_str());

    // The handle stays on its multi handle while the connection is open.
    const auto run = [this](CURLcode *result) {
        return m_transfer->run(
            [this]() -> std::optional<Outcome> {
                if (curl_multi_poll(m_transfer->multi, nullptr, 0, kLongestPollMs, nullptr) != CURLM_OK)
                    return Outcome::Failed;
                return std::nullopt;
            },
            result);
    };
    CURLcode result = CURLE_OK;
    if (const std::optional<Outcome> early = run(&result))
        return *early;
    long proxyAnswer = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &proxyAnswer);
    if (result != CURLE_OK && kind == Kind::Http && proxyAnswer >= 300) {
        // A proxy that tunnels only to https's port, as many do: a plain http request is handed
        // to it whole instead.
        m_transfer->remove();
        curl_easy_setopt(easy, CURLOPT_HTTPPROXYTUNNEL, 0L);
        if (const std::optional<Outcome> early = run(&result))
            return *early;
        m_toProxy = true;
    }
    if (result != CURLE_OK)
        return outcomeOfTransfer(result, easy);
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(easy, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK || socket == CURL_SOCKET_BAD)
        return Outcome::Failed;
    m_socket = socket;
    return m_transfer->cancelled() ? Outcome::Cancelled : Outcome::Done;
}

} // namespace tarvoni::net
