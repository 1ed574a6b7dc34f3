#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace bench {

// One kind of station: the program's station that is of that kind, where the bench points
// its host, and the address a reference player is given for the same stream.
struct Kind {
    const char *label = "";
    const char *station = "";
    const char *hostKey = ""; // the key of its host in the program's table
    QString host;             // "{id}" in host and url: a broadcast of its own for each player
    QString url;
    bool hls = false; // its requests are checked: every one to the stream's own paths
    // When the first request at or after a time reached its server.
    std::function<qint64(qint64)> firstRequestAfter;
    qint64 onAirNs = 0; // not clicked before this time on nowNs()'s clock
};

// The servers the kinds of station are played from, all on 127.0.0.1.
struct KindServers {
    int streamPort = 0; // tests/player/stream_server.py
    int mmsPort = 0;    // VLC's MMS server, started with the bench; Y FM's path through a front
    int onAirPort = 0;  // another, on the air for a minute before its first listener
};

std::vector<Kind> makeKinds(const KindServers &servers);

// `text` with its "{id}" made the name of broadcast `id`.
QString withBroadcast(const QString &text, int id);

} // namespace bench
