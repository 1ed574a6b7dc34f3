#pragma once

#include <QByteArray>
#include <QProcess>

#include <utility>
#include <vector>

namespace bench {

// tests/player/stream_server.py on a fixed loopback port, with the time and the request line
// of every request it answers.
class StreamServer {
public:
    ~StreamServer();

    bool start(const QString &workDir, int port);

    qint64 firstRequestAfter(qint64 fromNs) const;

    // The requests that arrived between `fromNs` and `toNs`, for HLS playlists, for HLS
    // segments, and for anything else (each of those printed).
    struct HlsRequests {
        int playlists = 0;
        int segments = 0;
        int others = 0;
    };
    HlsRequests hlsRequestsBetween(qint64 fromNs, qint64 toNs) const;

private:
    void read();

    QProcess m_process;
    QByteArray m_log;
    std::vector<std::pair<qint64, QByteArray>> m_requests;
};

} // namespace bench
