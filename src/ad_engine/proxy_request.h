#pragma once

#include <QByteArray>

namespace tarvoni {

// The longest request or response head the panes' proxy reads; a longer one is refused.
constexpr qsizetype kMaxProxyHeadSize = 64 * 1024;

// A request the web engine sends its forwarding proxy, read from its head.
struct ProxyRequest {
    enum class Kind {
        Forward, // "GET http://host:port/path HTTP/1.1": fetched by the proxy
        Tunnel,  // "CONNECT host:port HTTP/1.1": bytes carried both ways unread
    };
    Kind kind = Kind::Forward;
    QByteArray host; // a name or an address; an IPv6 address without its brackets
    quint16 port = 0;
    QByteArray url;      // Forward: the address asked for, without its fragment
    QByteArray upstream; // Forward: the head for the server, ending in an empty line
};

// Reads a whole request head, up to and including its empty line. False for anything that is
// no HTTP/1.x request, names no server, is not an absolute http address or a CONNECT, or
// carries a byte that could end a line or split the request. For a forwarded request the head
// for the server asks for the path alone, names the server in its one Host header, keeps the
// engine's other headers but those meant for the proxy or the connection, and says
// "Connection: close".
bool parseProxyRequest(const QByteArray &head, ProxyRequest *out);

// A server's response head, up to and including its empty line, as the engine is to see it:
// the headers about the connection dropped, "Connection: close" added. Empty when `head` is
// no HTTP/1.x response head.
QByteArray rewriteResponseHead(const QByteArray &head);

// The proxy's own short answer with this status ("400 Bad Request"...), closing the connection.
QByteArray proxyErrorAnswer(int status);

} // namespace tarvoni
