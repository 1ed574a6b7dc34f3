#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvoni::stream {

// A request the engine sends the relay, and what of it the relay asks the server.
//
// The engine asks for "/<key>/<route>/<host>:<port><path>": the relay's own key, which of the
// relay's ways the stream takes ("m" for MMS over HTTP, "h<n>" for an http stream reported to
// channel n, "s<n>" for an https one), and the server's address.
struct RelayRequest {
    std::string route;
    std::string host;
    std::string port;
    std::string target; // path and query, as the server is to see them
    std::string method;
    bool http10 = false;              // asked in HTTP/1.0
    std::vector<std::string> headers; // the header lines for the server, without line ends
};

// Reads the request line, which decides whether the request is for this relay at all: false
// when it does not carry `key` or names no server. `line` is without its line end.
bool parseRelayRequestLine(std::string_view line, const std::string &key, RelayRequest *out);

// Reads a whole request head (ending in an empty line) and the header lines for the server:
// the engine's, but for its Host (the server's own is sent). An http or https stream is asked
// for with its titles ("Icy-MetaData: 1"), whatever the engine asked.
bool parseRelayRequest(std::string_view head, const std::string &key, RelayRequest *out);

} // namespace tarvoni::stream
