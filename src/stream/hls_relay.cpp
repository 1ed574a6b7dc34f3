#include "stream/hls_relay.h"

#include "net/fetcher.h"
#include "player/stream_scheme.h"
#include "playlist/hls_playlist.h"
#include "stream/answer_head.h"
#include "stream/relay_client.h"
#include "stream/relay_report.h"
#include "stream/segment_decrypter.h"
#include "stream/ts_retimer.h"

#include <QUrl>

#include <algorithm>
#include <cmath>
#include <memory>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;
using playlist::HlsPlaylist;
using playlist::kLongestHlsPlaylist;
using playlist::parseHlsPlaylist;
using std::chrono::milliseconds;

// A server may take this long for each step of a playlist's or a segment's answer.
constexpr auto kFetchTime = 10s;
// Where a live stream is joined: no later than this many target durations before its end.
constexpr int kTargetDurationsBehind = 3;

// Whether the relay can fetch `address` itself: http or https with a host and no user name.
bool relayCanFetch(const QString &address)
{
    const QUrl url(address);
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty() && url.userInfo().isEmpty() && isStreamAddress(address);
}

net::Request requestFor(const QString &address)
{
    net::Request request;
    request.url = address.toStdString();
    request.idleTime = kFetchTime;
    return request;
}

bool isSuccess(const std::string &head)
{
    AnswerHead parsed;
    return parseAnswerHead(head, &parsed) && parsed.status >= 200 && parsed.status < 300;
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
    HlsStream(net::Fetcher &fetcher, int client, RelayReport &report)
        : m_fetcher(fetcher)
        , m_client(client)
        , m_report(report)
    {
    }

    // Fetches `address`, noting as refused where it was redirected to when that is no stream
    // address: the user is told of it as of a playlist entry naming it.
    net::Outcome fetch(const QString &address, const net::Fetcher::HeadHandler &onHead,
                       const net::Fetcher::BodyHandler &onBody)
    {
        const net::Outcome outcome = m_fetcher.fetch(requestFor(address), onHead, onBody);
        if (outcome == net::Outcome::SchemeRefused)
            m_report.addRefused(QString::fromStdString(m_fetcher.effectiveUrl()));
        return outcome;
    }

    // The playlist at `address`; false when it could not be had (or the client went away).
    bool fetchPlaylist(const QString &address, HlsPlaylist *playlist)
    {
        if (!relayCanFetch(address))
            return false;
        std::string body;
        const net::Outcome outcome = fetch(address, &isSuccess, [&body](std::string_view bytes) {
            body.append(bytes);
            return body.size() <= size_t(kLongestHlsPlaylist);
        });
        if (outcome != net::Outcome::Done)
            return false;
        *playlist = parseHlsPlaylist(QByteArray::fromStdString(body),
                                     QString::fromStdString(m_fetcher.effectiveUrl()));
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
            if (!fetchPlaylist(variant.address, media))
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

    // The AES-128 key at `address`, kept for as long as segments name it; empty when it cannot
    // be had or is no key.
    std::string keyAt(const QString &address)
    {
        if (address == m_keyAddress)
            return m_key;
        if (!isStreamAddress(address)) {
            m_report.addRefused(address);
            return {};
        }
        if (!relayCanFetch(address))
            return {};
        std::string key;
        const net::Outcome outcome = fetch(address, &isSuccess, [&key](std::string_view bytes) {
            key.append(bytes);
            return key.size() <= 16;
        });
        if (outcome != net::Outcome::Done || key.size() != 16)
            return {};
        m_keyAddress = address;
        m_key = key;
        return m_key;
    }

    // Sends one segment (or initialisation section) as it arrives, decrypted when `segment`
    // says so. False once the client is gone; a segment that cannot be had is passed over.
    bool send(const QString &address, const HlsPlaylist::Segment *segment = nullptr)
    {
        if (!isStreamAddress(address)) {
            m_report.addRefused(address);
            return true;
        }
        if (!relayCanFetch(address))
            return !clientGone(m_client);
        std::unique_ptr<SegmentDecrypter> decrypter;
        if (segment && !segment->key.isEmpty()) {
            const std::string key = keyAt(segment->key);
            if (key.empty())
                return !clientGone(m_client);
            decrypter = std::make_unique<SegmentDecrypter>(
                key,
                segment->iv.isEmpty() ? SegmentDecrypter::sequenceIv(segment->sequence)
                                      : segment->iv.toStdString());
        }
        bool started = false;
        bool clientLost = false;
        const auto onHead = [&](const std::string &head) {
            started = isSuccess(head);
            if (started && !m_headSent) {
                AnswerHead parsed;
                parseAnswerHead(head, &parsed);
                std::string type = parsed.value("Content-Type");
                if (type.empty() || type.find_first_of("\r\n") != std::string::npos)
                    type = "video/MP2T";
                clientLost = !forward(m_client,
                                      "HTTP/1.0 200 OK\r\nContent-Type: " + type
                                          + "\r\nCache-Control: no-cache\r\n\r\n");
                m_headSent = !clientLost;
            }
            return started && !clientLost;
        };
        const auto onBody = [&](std::string_view bytes) {
            const std::string out = m_retimer.feed(decrypter ? decrypter->feed(bytes) : std::string(bytes));
            clientLost = !out.empty() && !forward(m_client, out);
            return !clientLost;
        };
        const net::Outcome outcome = fetch(address, onHead, onBody);
        if (clientLost || outcome == net::Outcome::Cancelled)
            return false;
        // A segment cut short is lost; the decoder finds its way into the next.
        if (started) {
            std::string rest;
            if (decrypter && outcome == net::Outcome::Done && decrypter->end(&rest))
                rest = m_retimer.feed(rest);
            const std::string out = rest + m_retimer.endSegment();
            if (!out.empty() && !forward(m_client, out))
                return false;
        }
        return !clientGone(m_client);
    }

    // Sends the playlist's segments from `*next` on; false once the client is gone.
    bool sendNew(const HlsPlaylist &playlist, qint64 *next, bool *moved)
    {
        *moved = false;
        if (playlist.segments.empty())
            return true;
        // A server that started its numbering again, or left this client behind: join anew,
        // the timestamps going on from those sent.
        bool restart = *next > playlist.segments.back().sequence + 1
            || *next < playlist.segments.front().sequence;
        if (restart)
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
            if (segment.discontinuity || restart)
                m_retimer.restartClock();
            restart = false;
            if (!send(segment.address, &segment))
                return false;
        }
        return true;
    }

    bool headSent() const { return m_headSent; }

private:
    net::Fetcher &m_fetcher;
    int m_client;
    RelayReport &m_report;
    bool m_headSent = false;
    QString m_map;
    QString m_keyAddress;
    std::string m_key;
    TsRetimer m_retimer;
};

} // namespace

void relayHls(net::Fetcher &fetcher, int client, const QString &address, const QByteArray &body,
              RelayReport &report)
{
    HlsStream stream(fetcher, client, report);
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
