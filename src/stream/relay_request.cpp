#include "stream/relay_request.h"

#include "net/host_name.h"
#include "stream/answer_head.h"

namespace tarvoni::stream {

namespace {

bool isDigits(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

bool parseRelayRequestLine(std::string_view line, const std::string &key, RelayRequest *out)
{
    const size_t targetAt = line.find(' ');
    const size_t versionAt = line.rfind(' ');
    if (targetAt == std::string_view::npos || versionAt <= targetAt)
        return false;
    const std::string_view method = line.substr(0, targetAt);
    std::string_view target = line.substr(targetAt + 1, versionAt - targetAt - 1);
    // The engine sends its requests to the relay as to a proxy: "http://127.0.0.1:<port>/<key>/...".
    if (target.starts_with("http://")) {
        const size_t pathAt = target.find('/', 7);
        target = pathAt == std::string_view::npos ? std::string_view() : target.substr(pathAt);
    }
    const std::string prefix = "/" + key + "/";
    if (key.empty() || target.substr(0, prefix.size()) != prefix)
        return false;
    std::string_view rest = target.substr(prefix.size());
    const size_t routeEnd = rest.find('/');
    if (routeEnd == std::string_view::npos || routeEnd == 0)
        return false;
    out->route = std::string(rest.substr(0, routeEnd));
    if (out->route != "m" && out->route[0] != 'h' && out->route[0] != 's')
        return false;
    rest.remove_prefix(routeEnd + 1);
    const size_t pathAt = rest.find_first_of("/?");
    const std::string_view authority = rest.substr(0, pathAt);
    const size_t colon = authority.rfind(':');
    out->host = std::string(authority.substr(0, colon));
    out->port = colon == std::string_view::npos ? "80" : std::string(authority.substr(colon + 1));
    if (!net::isHostName(out->host) || !isDigits(out->port))
        return false;
    out->target = pathAt == std::string_view::npos ? "/" : std::string(rest.substr(pathAt));
    if (out->target[0] == '?')
        out->target = "/" + out->target;
    if (method.empty() || method.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string_view::npos)
        return false;
    out->method = std::string(method);
    out->http10 = out->route[0] == 'm' && line.substr(versionAt + 1) == "HTTP/1.0";
    out->headers.clear();
    return true;
}

bool parseRelayRequest(std::string_view head, const std::string &key, RelayRequest *out)
{
    const size_t lineEnd = head.find("\r\n");
    if (lineEnd == std::string_view::npos || !parseRelayRequestLine(head.substr(0, lineEnd), key, out))
        return false;
    const bool http = out->route[0] != 'm';
    for (size_t at = lineEnd + 2; at < head.size();) {
        size_t next = head.find("\r\n", at);
        if (next == std::string_view::npos)
            next = head.size();
        const std::string_view header = head.substr(at, next - at);
        at = next + 2;
        if (header.empty())
            break;
        const std::string_view name = header.substr(0, header.find(':'));
        // A line end or a NUL inside a header would end it early for the server.
        if (header.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos
            || sameLetters(name, "Host")
            || (http && (sameLetters(name, "Icy-MetaData") || sameLetters(name, "Connection"))))
            continue;
        out->headers.emplace_back(header);
    }
    if (http)
        out->headers.emplace_back("Icy-MetaData: 1");
    return true;
}

} // namespace tarvoni::stream
