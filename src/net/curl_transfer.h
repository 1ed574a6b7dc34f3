#pragma once

#include "net/outcome.h"

#include <curl/curl.h>

#include <atomic>
#include <functional>
#include <optional>

namespace tarvoni::net {

// One curl easy handle on a multi handle of its own, curl started for the process first: what
// the fetcher and the connection each drive in a poll loop on their own thread.
struct CurlTransfer {
    CurlTransfer();
    // Takes the easy handle off its multi handle if it is on it; for a connect-only transfer,
    // that closes its connection.
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer &) = delete;
    CurlTransfer &operator=(const CurlTransfer &) = delete;

    // Waits once for what the transfer waits on (its sockets, curl's timers, a wakeup), with
    // whatever the owner watches besides; an outcome ends the transfer there.
    using Wait = std::function<std::optional<Outcome>()>;

    // Puts the easy handle on the multi handle and drives its transfer until it ends (curl's
    // result in `result`), `cancelled` turns true (Cancelled), or `wait` gives an outcome. The
    // handle stays on until remove().
    std::optional<Outcome> run(const std::atomic<bool> &cancelled, const Wait &wait, CURLcode *result);
    void remove();

    CURLM *multi = nullptr;
    CURL *easy = nullptr;

private:
    bool m_added = false;
};

} // namespace tarvoni::net
