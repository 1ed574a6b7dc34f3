// The ad panes' proxy reads the web engine's request heads and the ad servers' answer heads,
// and whoever is on the network path writes the answers. Each input is read as both. What goes
// on must be one head, to the server the request names, with the connection's headers replaced.

#include "ad_engine/proxy_request.h"
#include "fuzz_check.h"

namespace {

bool hasHeader(const QByteArray &head, const QByteArray &name)
{
    return head.toLower().contains("\r\n" + name.toLower() + ':');
}

void checkOneHeadClosing(const QByteArray &head)
{
    FUZZ_CHECK(head.endsWith("Connection: close\r\n\r\n"));
    FUZZ_CHECK(head.indexOf("\r\n\r\n") == head.size() - 4);
    FUZZ_CHECK(head.toLower().indexOf("\r\nconnection:") == head.size() - 23);
    FUZZ_CHECK(!hasHeader(head, "Keep-Alive") && !hasHeader(head, "Proxy-Connection"));
    FUZZ_CHECK(!head.contains('\0') && head.count('\r') == head.count('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni;
    const QByteArray head(reinterpret_cast<const char *>(data), qsizetype(size));
    ProxyRequest request;
    if (parseProxyRequest(head, &request)) {
        FUZZ_CHECK(!request.host.isEmpty() && request.port > 0);
        for (const char c : request.host)
            FUZZ_CHECK(c > ' ' && c != '/' && c != '[' && c != ']' && c != '@' && c <= '~');
        if (request.kind == ProxyRequest::Kind::Forward) {
            FUZZ_CHECK(request.url.startsWith("http://") && !request.url.contains('#'));
            checkOneHeadClosing(request.upstream);
            FUZZ_CHECK(!hasHeader(request.upstream, "Proxy-Authorization"));
            const qsizetype host = request.upstream.indexOf("\r\nHost: ");
            FUZZ_CHECK(host > 0 && request.upstream.indexOf("\r\nHost:", host + 1) < 0);
            const qsizetype target = request.upstream.indexOf(" /");
            FUZZ_CHECK(target > 0 && target < request.upstream.indexOf("\r\n"));
        } else {
            FUZZ_CHECK(request.upstream.isEmpty());
        }
    }
    const QByteArray answer = rewriteResponseHead(head);
    if (!answer.isEmpty()) {
        FUZZ_CHECK(answer.startsWith("HTTP/1."));
        checkOneHeadClosing(answer);
    }
    return 0;
}
