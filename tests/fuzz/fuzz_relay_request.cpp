// The relay's reading of a request on its port: anyone on the machine may connect and send
// anything. What goes on to a server must be one request, to the host the address names:
// no line of its own may end early or name another host.

#include "fuzz_check.h"
#include "stream/answer_head.h"
#include "stream/relay_request.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tarvoni::stream;
    const std::string head(reinterpret_cast<const char *>(data), size);
    RelayRequest request;
    if (!parseRelayRequest(head, "k3y", &request))
        return 0;
    FUZZ_CHECK(!request.host.empty() && request.host.find_first_of("\r\n :/") == std::string::npos);
    FUZZ_CHECK(!request.port.empty() && request.port.size() <= 5);
    FUZZ_CHECK(!request.route.empty());
    FUZZ_CHECK(!request.target.empty() && request.target[0] == '/');
    // Only the method's letters, and header lines that stay one line each, for the server.
    FUZZ_CHECK(!request.method.empty()
               && request.method.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos);
    for (const std::string &header : request.headers) {
        FUZZ_CHECK(header.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        FUZZ_CHECK(!sameLetters(header.substr(0, header.find(':')), "Host"));
    }
    return 0;
}
