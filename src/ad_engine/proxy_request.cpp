#include "ad_engine/proxy_request.h"

#include "net/host_name.h"

#include <QList>

namespace tarvoni {

namespace {

bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// A header or status line may carry any byte but those that end a line or a string.
bool isLineText(QByteArrayView text)
{
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

bool isVersion(QByteArrayView text)
{
    return text == "HTTP/1.1" || text == "HTTP/1.0";
}

bool isIpv6Address(QByteArrayView text)
{
    if (text.size() < 2 || text.size() > 45)
        return false;
    for (const char c : text) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':'
            || c == '.';
        if (!ok)
            return false;
    }
    return text.contains(':');
}

bool readPort(QByteArrayView text, quint16 *port)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

// "host", "host:port", "[v6]" or "[v6]:port"; a port is a must where there is no default.
bool readAuthority(QByteArrayView authority, quint16 defaultPort, ProxyRequest *out)
{
    QByteArrayView host = authority;
    QByteArrayView port;
    bool bracketed = false;
    if (authority.startsWith('[')) {
        const qsizetype close = authority.indexOf(']');
        if (close < 0)
            return false;
        host = authority.sliced(1, close - 1);
        const QByteArrayView rest = authority.sliced(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return false;
        port = rest.isEmpty() ? QByteArrayView() : rest.sliced(1);
        bracketed = true;
        if (rest == ":")
            return false;
    } else if (const qsizetype colon = authority.indexOf(':'); colon >= 0) {
        host = authority.first(colon);
        port = authority.sliced(colon + 1);
        if (port.isEmpty())
            return false;
    }
    if (bracketed ? !isIpv6Address(host)
                  : !net::isHostName(std::string_view(host.data(), size_t(host.size()))))
        return false;
    if (port.isEmpty()) {
        if (defaultPort == 0)
            return false;
        out->port = defaultPort;
    } else if (!readPort(port, &out->port)) {
        return false;
    }
    out->host = host.toByteArray();
    return true;
}

// The lines of a head that ends in its one empty line, without their line ends; empty for
// anything else.
QList<QByteArrayView> headLines(QByteArrayView head)
{
    if (!head.endsWith("\r\n\r\n") || head.indexOf("\r\n\r\n") != head.size() - 4)
        return {};
    QList<QByteArrayView> lines;
    qsizetype at = 0;
    while (at < head.size() - 2) {
        const qsizetype end = head.indexOf("\r\n", at);
        const QByteArrayView line = head.sliced(at, end - at);
        if (!isLineText(line))
            return {};
        lines << line;
        at = end + 2;
    }
    return lines;
}

// A header line's name, or an empty view for a line that is no header (a continuation line
// included: nothing here folds lines).
QByteArrayView headerName(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || !isToken(line.first(colon)))
        return {};
    return line.first(colon);
}

bool isOneOf(QByteArrayView name, std::initializer_list<QByteArrayView> names)
{
    for (const QByteArrayView candidate : names) {
        if (name.compare(candidate, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The request line's target; for a forwarded request also the start of the server's head.
bool readTarget(QByteArrayView method, QByteArrayView target, QByteArrayView version, ProxyRequest *out)
{
    for (const char c : target) {
        if (c <= ' ' || c > '~')
            return false;
    }
    if (method == "CONNECT") {
        out->kind = ProxyRequest::Kind::Tunnel;
        return readAuthority(target, 0, out);
    }
    const QByteArrayView scheme("http://");
    if (target.size() < scheme.size()
        || target.first(scheme.size()).compare(scheme, Qt::CaseInsensitive) != 0)
        return false;
    out->kind = ProxyRequest::Kind::Forward;
    QByteArrayView rest = target.sliced(scheme.size());
    if (const qsizetype fragment = rest.indexOf('#'); fragment >= 0)
        rest = rest.first(fragment);
    qsizetype pathAt = 0;
    while (pathAt < rest.size() && rest[pathAt] != '/' && rest[pathAt] != '?')
        ++pathAt;
    const QByteArrayView authority = rest.first(pathAt);
    if (!readAuthority(authority, 80, out))
        return false;
    QByteArray path = rest.sliced(pathAt).toByteArray();
    if (!path.startsWith('/'))
        path.prepend('/');
    out->url = "http://" + authority.toByteArray() + path;
    out->upstream = method.toByteArray() + ' ' + path + ' ' + version.toByteArray()
        + "\r\nHost: " + authority.toByteArray() + "\r\n";
    return true;
}

} // namespace

bool parseProxyRequest(const QByteArray &head, ProxyRequest *out)
{
    const QList<QByteArrayView> lines = headLines(head);
    if (lines.isEmpty())
        return false;
    const QByteArrayView line = lines[0];
    const qsizetype targetAt = line.indexOf(' ');
    const qsizetype versionAt = line.lastIndexOf(' ');
    if (targetAt < 0 || versionAt <= targetAt)
        return false;
    const QByteArrayView method = line.first(targetAt);
    const QByteArrayView target = line.sliced(targetAt + 1, versionAt - targetAt - 1);
    const QByteArrayView version = line.sliced(versionAt + 1);
    if (!isToken(method) || !isVersion(version))
        return false;
    *out = ProxyRequest();
    if (!readTarget(method, target, version, out))
        return false;
    if (out->kind == ProxyRequest::Kind::Tunnel)
        return true;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView name = headerName(lines[i]);
        if (name.isEmpty())
            return false;
        if (isOneOf(name, {"Host", "Connection", "Keep-Alive", "Proxy-Connection", "Proxy-Authorization"}))
            continue;
        out->upstream += lines[i].toByteArray() + "\r\n";
    }
    out->upstream += "Connection: close\r\n\r\n";
    return true;
}

QByteArray rewriteResponseHead(const QByteArray &head)
{
    const QList<QByteArrayView> lines = headLines(head);
    if (lines.isEmpty())
        return {};
    const QByteArrayView status = lines[0];
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const bool statusOk = status.size() >= 12 && isVersion(status.first(8)) && status[8] == ' '
        && isDigit(status[9]) && isDigit(status[10]) && isDigit(status[11])
        && (status.size() == 12 || status[12] == ' ');
    if (!statusOk)
        return {};
    QByteArray out = status.toByteArray() + "\r\n";
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView name = headerName(lines[i]);
        if (name.isEmpty())
            return {};
        if (isOneOf(name, {"Connection", "Keep-Alive", "Proxy-Connection"}))
            continue;
        out += lines[i].toByteArray() + "\r\n";
    }
    return out + "Connection: close\r\n\r\n";
}

QByteArray proxyErrorAnswer(int status)
{
    const QByteArray reason = status == 400 ? "Bad Request"
        : status == 403                     ? "Forbidden"
        : status == 502                     ? "Bad Gateway"
                                            : "Error";
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason
        + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

} // namespace tarvoni
