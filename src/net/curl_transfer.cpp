#include "net/curl_transfer.h"

#include <dlfcn.h>
#include <mutex>

namespace tarvoni::net {

namespace {

// Starts libcurl for the process, once, before its first handle is made; any thread.
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

} // namespace

CurlTransfer::CurlTransfer()
{
    startCurl();
    multi = curl_multi_init();
    easy = curl_easy_init();
}

CurlTransfer::~CurlTransfer()
{
    remove();
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
}

std::optional<Outcome> CurlTransfer::run(const Wait &wait, CURLcode *result)
{
    curl_multi_add_handle(multi, easy);
    m_added = true;
    std::optional<Outcome> early;
    for (int running = 1;;) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            early = Outcome::Failed;
            break;
        }
        if (running == 0)
            break;
        if (m_cancelled) {
            early = Outcome::Cancelled;
            break;
        }
        if ((early = wait()))
            break;
    }
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE)
            *result = message->data.result;
    }
    return early;
}

void CurlTransfer::cancel()
{
    m_cancelled = true;
    curl_multi_wakeup(multi);
}

void CurlTransfer::remove()
{
    if (m_added)
        curl_multi_remove_handle(multi, easy);
    m_added = false;
}

} // namespace tarvoni::net
