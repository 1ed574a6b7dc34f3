#pragma once

#include <QByteArray>
#include <QString>

namespace tarvoni::net {
class Fetcher;
} // namespace tarvoni::net

namespace tarvoni::stream {

class RelayReport;

// Plays an HTTP Live Streaming stream to the relay's client as one continuous stream, so that
// the engine hears a plain stream and the relay alone talks to the stream's servers.
//
// `playlist` is the body of the playlist the relay was answered with at `address`; `fetcher`
// fetched it and fetches the rest, keeping its connection and TLS session to the server. A master
// playlist's variant is chosen (the highest bit rate the relay can fetch), then the media
// playlist's segments are sent in order from three target durations before its end, the
// playlist is fetched again every target duration (half that when it had not moved), and new
// segments follow as it lists them, for as long as the client listens; where their timestamps
// start again (#EXT-X-DISCONTINUITY, or a joining anew) they are made to go on from those sent
// (TsRetimer). Every variant, segment and redirect is checked against the stream schemes before
// it is fetched; those refused go to `report`, which also learns the segment duration and the
// variant's bit rate.
//
// Returns when the client hangs up or the playlist ends; nothing is sent to the client before a
// segment has been found to send, so a stream that has none ends as one that never answered.
void relayHls(net::Fetcher &fetcher, int client, const QString &address, const QByteArray &playlist,
              RelayReport &report);

} // namespace tarvoni::stream
