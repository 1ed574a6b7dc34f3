#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace tarvoni::stream {

class Connection;
class RelayReport;

// Relays the answer of an http or https server at `address` to the relay's client, the request
// already sent: a Shoutcast/Icecast stream goes on without its metadata, its titles decoded and
// reported; an HLS playlist is played by relayHls; a redirect to another http or https address
// goes on with its target turned into a relay's address by `relayed` (which gives an empty
// string for a target it cannot carry); anything else passes as it came.
void relayHttp(Connection &server, int client, const QUrl &address, RelayReport &report,
               const std::function<QString(const QUrl &)> &relayed);

} // namespace tarvoni::stream
