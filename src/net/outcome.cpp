#include "net/outcome.h"

#include <curl/curl.h>

#include <cerrno>

namespace tarvoni::net {

Outcome outcomeOfTransfer(int code, void *easy)
{
    switch (CURLcode(code)) {
    case CURLE_OK:
        return Outcome::Done;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Outcome::HostNotFound;
    case CURLE_COULDNT_CONNECT: {
        long error = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &error);
        return error == ECONNREFUSED ? Outcome::ConnectionRefused : Outcome::NoAnswer;
    }
    case CURLE_OPERATION_TIMEDOUT:
        return Outcome::NoAnswer;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return Outcome::UntrustedCertificate;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return Outcome::ConnectionClosed;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return Outcome::SchemeRefused;
    default:
        return Outcome::Failed;
    }
}

} // namespace tarvoni::net
