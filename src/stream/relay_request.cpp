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
    const std::string_view target = line.substr(targetAt + 1, versionAt - targetAt - 1);
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
        out->target.insert(0, "/");
    const bool http = out->route[0] != 'm';
    const std::string_view version = http ? std::string_view("HTTP/1.0") : line.substr(versionAt + 1);
    out->upstream = std::string(method) + ' ' + out->target + ' ' + std::string(version) + "\r\n";
    return true;
}

bool parseRelayRequest(std::string_view head, const std::string &key, RelayRequest *out)
{
    const size_t lineEnd = head.find("\r\n");
    if (lineEnd == std::string_view::npos || !parseRelayRequestLine(head.substr(0, lineEnd), key, out))
        return false;
    const bool http = out->route[0] != 'm';
    const std::string_view defaultPort = out->route[0] == 's' ? "443" : "80";
    const std::string authority = out->port == defaultPort ? out->host : out->host + ':' + out->port;
    out->upstream += "Host: " + authority + "\r\n";
    for (size_t at = lineEnd + 2; at < head.size();) {
        size_t next = head.find("\r\n", at);
        if (next == std::string_view::npos)
            next = head.size();
        const std::string_view header = head.substr(at, next - at);
        at = next + 2;
        if (header.empty())
            break;
        const std::string_view name = header.substr(0, header.find(':'));
        if (sameLetters(name, "Host")
            || (http && (sameLetters(name, "Icy-MetaData") || sameLetters(name, "Connection"))))
            continue;
        out->upstream.append(header).append("\r\n");
    }
    if (http)
        out->upstream += "Icy-MetaData: 1\r\n";
    out->upstream += "\r\n";
    return true;
}

} // namespace tarvoni::stream
