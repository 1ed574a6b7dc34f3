#include "stream/hls_relay.h"

#include "stream/hls_playlist.h"
#include "stream/http_get.h"
#include "stream/relay_report.h"
#include "stream/ts_retimer.h"

#include "player/stream_scheme.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <poll.h>
#include <sys/socket.h>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// A server may take this long for each step of a playlist's or a segment's answer.
constexpr auto kFetchTime = 10s;
// A client that takes no bytes for this long is gone.
constexpr auto kSendTime = 10s;
// Where a live stream is joined: no later than this many target durations before its end.
constexpr int kTargetDurationsBehind = 3;

// Whether the client has hung up: it sends nothing after its request, so anything to read is
// its end.
bool clientGone(int client, Deadline until = Clock::now())
{
    pollfd p{client, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, millisecondsUntil(until));
    } while (r < 0 && errno == EINTR);
    if (r <= 0)
        return false;
    char byte;
    const ssize_t n = ::recv(client, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n <= 0;
}

// The first segment to send: the one from which at least three target durations are left.
qint64 joiningSequence(const HlsPlaylist &playlist)
{
    if (playlist.segments.empty())
        return 0;
    if (playlist.ended)
        return playlist.segments.front().sequence;
    const milliseconds wanted = kTargetDurationsBehind * playlist.targetDuration;
    milliseconds left{0};
    auto segment = playlist.segments.rbegin();
    for (; segment != playlist.segments.rend(); ++segment) {
        left += std::max(segment->duration, milliseconds(1));
        if (left >= wanted)
            break;
    }
    return segment == playlist.segments.rend() ? playlist.segments.front().sequence : segment->sequence;
}

class HlsStream {
public:
    HlsStream(int client, RelayReport &report)
        : m_client(client)
        , m_report(report)
    {
    }

    // The playlist at `address`; false when it could not be had (or the client went away).
    bool fetchPlaylist(const QString &address, HlsPlaylist *playlist)
    {
        HttpGet get(m_client);
        std::string body;
        if (!get.open(address, Clock::now() + kFetchTime)) {
            if (!get.refusedAddress().isEmpty())
                m_report.addRefused(get.refusedAddress());
            return false;
        }
        if (!get.readAll(&body, size_t(kLongestHlsPlaylist), Clock::now() + kFetchTime))
            return false;
        *playlist = parseHlsPlaylist(QByteArray::fromStdString(body), get.address());
        return true;
    }

    // A master playlist's variant: the highest bit rate first, each tried until one gives a
    // media playlist.
    bool chooseVariant(const HlsPlaylist &master, QString *address, HlsPlaylist *media, int *bandwidth)
    {
        std::vector<HlsPlaylist::Variant> variants = master.variants;
        std::stable_sort(variants.begin(), variants.end(),
                         [](const auto &a, const auto &b) { return a.bandwidth > b.bandwidth; });
        for (const HlsPlaylist::Variant &variant : variants) {
            if (!isStreamAddress(variant.address)) {
                m_report.addRefused(variant.address);
                continue;
            }
            if (!relayCanFetch(variant.address) || !fetchPlaylist(variant.address, media))
                continue;
            if (!media->master && media->targetDuration.count() > 0) {
                *address = variant.address;
                *bandwidth = variant.bandwidth;
                return true;
            }
            if (clientGone(m_client))
                return false;
        }
        return false;
    }

    // Sends one segment (or initialisation section) as it arrives. False once the client is
    // gone; a segment that cannot be had is passed over.
    bool send(const QString &address)
    {
        if (!isStreamAddress(address)) {
            m_report.addRefused(address);
            return true;
        }
        HttpGet get(m_client);
        if (!get.open(address, Clock::now() + kFetchTime)) {
            if (!get.refusedAddress().isEmpty())
                m_report.addRefused(get.refusedAddress());
            return !clientGone(m_client);
        }
        if (!m_headSent) {
            std::string type = get.head().value("Content-Type");
            if (type.empty() || type.find_first_of("\r\n") != std::string::npos)
                type = "video/MP2T";
            const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: " + type
                + "\r\nCache-Control: no-cache\r\n\r\n";
            if (!sendAll(m_client, head, Clock::now() + kSendTime))
                return false;
            m_headSent = true;
        }
        std::string chunk;
        for (;;) {
            chunk.clear();
            const HttpGet::Read read = get.read(&chunk, Clock::now() + kFetchTime);
            const std::string out = read == HttpGet::Read::Data ? m_retimer.feed(chunk)
                                                                : m_retimer.endSegment();
            if (!out.empty() && !sendAll(m_client, out, Clock::now() + kSendTime))
                return false;
            switch (read) {
            case HttpGet::Read::Data:
                continue;
            case HttpGet::Read::End:
                return true;
            case HttpGet::Read::Failed:
                // The rest of the segment is lost; the decoder finds its way into the next.
                return !clientGone(m_client);
            }
        }
    }

    // Sends the playlist's segments from `*next` on; false once the client is gone.
    bool sendNew(const HlsPlaylist &playlist, qint64 *next, bool *moved)
    {
        *moved = false;
        if (playlist.segments.empty())
            return true;
        // A server that started its numbering again, or left this client behind: join anew.
        if (*next > playlist.segments.back().sequence + 1 || *next < playlist.segments.front().sequence)
            *next = joiningSequence(playlist);
        for (const HlsPlaylist::Segment &segment : playlist.segments) {
            if (segment.sequence < *next)
                continue;
            *next = segment.sequence + 1;
            *moved = true;
            if (!segment.map.isEmpty() && segment.map != m_map) {
                m_map = segment.map;
                if (!send(segment.map))
                    return false;
            }
            if (!send(segment.address))
                return false;
        }
        return true;
    }

    bool headSent() const { return m_headSent; }

private:
    int m_client;
    RelayReport &m_report;
    bool m_headSent = false;
    QString m_map;
    TsRetimer m_retimer;
};

} // namespace

void relayHls(int client, const QString &address, const QByteArray &body, RelayReport &report)
{
    HlsStream stream(client, report);
    QString mediaAddress = address;
    HlsPlaylist playlist = parseHlsPlaylist(body, address);
    int bandwidth = 0;
    if (playlist.master) {
        const HlsPlaylist master = playlist;
        if (!stream.chooseVariant(master, &mediaAddress, &playlist, &bandwidth))
            return;
    }
    if (playlist.targetDuration.count() == 0 || playlist.encrypted)
        return;
    const milliseconds target = playlist.targetDuration;
    report.setSegmented(target, int(std::lround(bandwidth / 1000.0)));

    qint64 next = joiningSequence(playlist);
    Clock::time_point loaded = Clock::now();
    for (;;) {
        bool moved = false;
        if (!stream.sendNew(playlist, &next, &moved))
            return;
        // A playlist that lists nothing the relay may fetch gives no sound: end at once.
        if (playlist.ended || (!stream.headSent() && !report.read().refused.isEmpty()))
            return;
        const Clock::time_point reload = loaded + (moved ? target : target / 2);
        if (clientGone(client, reload))
            return;
        loaded = Clock::now();
        HlsPlaylist fresh;
        if (stream.fetchPlaylist(mediaAddress, &fresh) && !fresh.master && fresh.targetDuration.count() > 0
            && !fresh.encrypted)
            playlist = std::move(fresh);
        else if (clientGone(client))
            return;
        else
            playlist.segments.clear();
    }
}

} // namespace tarvoni::stream
