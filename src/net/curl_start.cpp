#include "net/curl_start.h"

#include <curl/curl.h>

#include <dlfcn.h>
#include <mutex>

namespace tarvoni::net {

void startCurl()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // curl starts libssh2 with itself, and libssh2 sets up OpenSSL's crypto for SSH: some
        // 1.5 MB of OpenSSL touched for transfers the policy never allows (http and https
        // only). libssh2 sets up its crypto at its first start alone, so a first start without
        // it, where curl brought libssh2 along, leaves that out.
        using Start = int (*)(int);
        constexpr int kWithoutCrypto = 0x0001;
        if (const auto start = reinterpret_cast<Start>(dlsym(RTLD_DEFAULT, "libssh2_init")))
            start(kWithoutCrypto);
        curl_global_init(CURL_GLOBAL_DEFAULT);
    });
}

} // namespace tarvoni::net
