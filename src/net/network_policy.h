#pragma once

#include <chrono>
#include <string>

namespace tarvoni::net {

// The name the program gives itself to every server, the media engine's requests included.
inline constexpr const char *kUserAgent = "Tarvoni Radio Player 3.01";

// How long a server may take to be reached (name look-up, connection and TLS handshake).
inline constexpr std::chrono::milliseconds kConnectTime{10000};

// The longest head of an answer the program reads.
inline constexpr std::size_t kLongestAnswerHead = 16 * 1024;

// Sets what every transfer of the program does alike on a curl easy handle (`void *` so that
// no caller needs curl's header): only http and https, redirects followed up to five times and
// only to http or https; the proxies the environment names (http_proxy, https_proxy,
// ALL_PROXY, no_proxy), the loopback interface never through one; the system's trust store, or
// the file SSL_CERT_FILE names; Shoutcast's "ICY 200 OK" and head-less answers taken as
// answers; and cancelling never waits for a name look-up.
void applyNetworkPolicy(void *easy, std::chrono::milliseconds connectTime = kConnectTime);

// The proxy the environment names for https addresses as curl reads it (https_proxy or
// HTTPS_PROXY, else all_proxy or ALL_PROXY); empty for none.
std::string httpsProxy();

} // namespace tarvoni::net
