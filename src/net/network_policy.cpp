#include "net/network_policy.h"

#include <curl/curl.h>

#include <cstdlib>
#include <string>

namespace tarvoni::net {

namespace {

const char *environment(const char *lower, const char *upper)
{
    const char *value = std::getenv(lower);
    if (!value || !*value)
        value = std::getenv(upper);
    return value && *value ? value : nullptr;
}

// The environment's no_proxy, with the loopback interface always in it.
std::string noProxy()
{
    std::string hosts = "localhost,127.0.0.1,::1";
    if (const char *own = environment("no_proxy", "NO_PROXY"))
        hosts = std::string(own) + ',' + hosts;
    return hosts;
}

curl_slist *icyAliases()
{
    // Shoutcast answers "ICY 200 OK": a status line like HTTP's.
    static curl_slist *const aliases = curl_slist_append(nullptr, "ICY");
    return aliases;
}

} // namespace

std::string httpsProxy()
{
    const char *proxy = environment("https_proxy", "HTTPS_PROXY");
    if (!proxy)
        proxy = environment("all_proxy", "ALL_PROXY");
    return proxy ? proxy : "";
}

void applyNetworkPolicy(void *easy, std::chrono::milliseconds connectTime)
{
    CURL *const handle = easy;
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle, CURLOPT_NOPROXY, noProxy().c_str()); // curl keeps its own copy
    curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, long(connectTime.count()));
    // The system's authorities are all in its bundle, read at each new connection: not the
    // directory of the same certificates as well.
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
    if (const char *authorities = std::getenv("SSL_CERT_FILE"); authorities && *authorities)
        curl_easy_setopt(handle, CURLOPT_CAINFO, authorities);
    curl_easy_setopt(handle, CURLOPT_HTTP200ALIASES, icyAliases());
    curl_easy_setopt(handle, CURLOPT_HTTP09_ALLOWED, 1L);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // One connection per transfer, kept for the next one: no multiplexing to reason about.
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    // A transfer called off during a name look-up leaves the look-up's thread behind.
    curl_easy_setopt(handle, CURLOPT_QUICK_EXIT, 1L);
}

} // namespace tarvoni::net
