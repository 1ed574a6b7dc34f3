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
    // result in `result`), cancel() is called (Cancelled), or `wait` gives an outcome. The
    // handle stays on until remove().
    std::optional<Outcome> run(const Wait &wait, CURLcode *result);
    void remove();
    // Ends the transfer under way, and any later one, as Cancelled; any thread.
    void cancel();
    bool cancelled() const { return m_cancelled; }

    CURLM *multi = nullptr;
    CURL *easy = nullptr;

private:
    bool m_added = false;
    std::atomic<bool> m_cancelled = false;
};

} // namespace tarvoni::net
