#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace tarvoni::net {
class Fetcher;
struct Request;
} // namespace tarvoni::net

namespace tarvoni::stream {

class RelayReport;

// Fetches `request` from the http or https server at `address` and relays its answer to the
// relay's client: a Shoutcast/Icecast stream goes on without its metadata, its titles decoded
// and reported; an HLS playlist is played by relayHls on the same fetcher; a redirect to another
// http or https address goes on with its target turned into a relay's address by `relayed`
// (which gives an empty string for a target it cannot carry); anything else passes as it came.
void relayHttp(net::Fetcher &fetcher, const net::Request &request, int client, const QUrl &address,
               RelayReport &report, const std::function<QString(const QUrl &)> &relayed);

} // namespace tarvoni::stream
