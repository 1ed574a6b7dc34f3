// The relay's reading of a request on its port: anyone on the machine may connect and send
// anything. What goes on to a server must be one request, to the host the address names.

#include "fuzz_check.h"
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
    // One head, ending where it ends, with one Host header naming the server.
    const std::string &up = request.upstream;
    FUZZ_CHECK(up.size() >= 4 && up.compare(up.size() - 4, 4, "\r\n\r\n") == 0);
    FUZZ_CHECK(up.find("\r\n\r\n") == up.size() - 4);
    const size_t host = up.find("\r\nHost: ");
    FUZZ_CHECK(host != std::string::npos && up.find("\r\nHost: ", host + 1) == std::string::npos);
    FUZZ_CHECK(up.compare(host + 8, request.host.size(), request.host) == 0);
    return 0;
}
