#include "station_kinds.h"

namespace bench {

std::vector<Kind> makeKinds(const KindServers &servers)
{
    const QString stream = QStringLiteral("127.0.0.1:%1").arg(servers.streamPort);
    const auto mmsHost = [](int port) { return QStringLiteral("127.0.0.1:%1/?x=").arg(port); };
    const auto mmsUrl = [](int port) { return QStringLiteral("mmsh://127.0.0.1:%1/").arg(port); };
    const auto kind = [](const char *label, const char *station, const char *hostKey, const QString &host,
                         const QString &url, bool hls = false) {
        Kind made;
        made.label = label;
        made.station = station;
        made.hostKey = hostKey;
        made.host = host;
        made.url = url;
        made.hls = hls;
        return made;
    };
    // The servers serve their tones at /stream and /: a station's own path (and port) rides in
    // the query, which VLC's MMS server ignores. The HLS stations have ports of their own
    // (5552 and 8888) in the program's table: their streams are on the stream server's port
    // all the same, and every request the program makes must go there.
    return {
        kind("http with a path, 2 s burst", "asura", "asura", stream + QStringLiteral("/stream?burst=2&x="),
             QStringLiteral("http://%1/stream?burst=2&x=/live").arg(stream)),
        kind("http, port only", "nilwala", "nilwala", QStringLiteral("127.0.0.1"),
             QStringLiteral("http://%1").arg(stream)),
        kind(".asx", "kirula", "kirula", stream, QStringLiteral("http://%1/kirula.asx").arg(stream)),
        kind("http without burst", "tnl", "tnl", stream + QStringLiteral("/stream?burst=0&x="),
             QStringLiteral("http://%1/stream?burst=0&x=/live").arg(stream)),
        kind("live HLS, 2 s segments", "neth", "neth", stream + QStringLiteral("/hls/live.m3u8?id={id}&x="),
             QStringLiteral("http://%1/hls/live.m3u8?id={id}").arg(stream), true),
        kind("HLS master playlist", "rangiri", "rangiri",
             stream + QStringLiteral("/hls/master.m3u8?id={id}&x="),
             QStringLiteral("http://%1/hls/master.m3u8?id={id}").arg(stream), true),
        kind("mms (MMS over HTTP, no burst)", "sirasa", "G2", mmsHost(servers.mmsPort),
             mmsUrl(servers.mmsPort)),
        kind("mms joined mid-stream (on the air 60 s)", "ravsfm", "ravsfm", mmsHost(servers.onAirPort),
             mmsUrl(servers.onAirPort)),
        // The same broadcast through a front that coalesces and splits its packets, as a
        // station's own front on port 80 may: Y FM shares Sirasa's host, and the port in front of
        // it sends the requests for Y FM's path there.
        kind("mms through a coalescing front", "yfm", "G2", mmsHost(servers.mmsPort),
             mmsUrl(servers.mmsPort) + QStringLiteral("?x=/YFM")),
    };
}

QString withBroadcast(const QString &text, int id)
{
    return QString(text).replace(QLatin1String("{id}"), QStringLiteral("b%1").arg(id));
}

} // namespace bench
