#include "stream/http_relay.h"

#include "net/fetcher.h"
#include "playlist/hls_playlist.h"
#include "stream/answer_head.h"
#include "stream/hls_relay.h"
#include "stream/icy_metadata.h"
#include "stream/relay_client.h"
#include "stream/relay_report.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace tarvoni::stream {

namespace {

// Metadata comes every few kilobytes; an interval past this is no Shoutcast stream.
constexpr size_t kLongestMetadataInterval = 1024 * 1024;
// Enough of a body to see whether it starts like a playlist.
constexpr size_t kPlaylistSniff = 16;

bool isPlaylistType(const std::string &type)
{
    const std::string bare = type.substr(0, type.find(';'));
    for (const char *name : {"application/vnd.apple.mpegurl", "application/x-mpegurl", "application/mpegurl",
                             "audio/mpegurl", "audio/x-mpegurl"}) {
        if (sameLetters(bare, name))
            return true;
    }
    return false;
}

// One answer on its way to the client, decided on by its head: passed on, freed of its
// metadata, or held back while it may be an HLS playlist.
class HttpAnswer {
public:
    HttpAnswer(int client, const QUrl &address, RelayReport &report,
               const std::function<QString(const QUrl &)> &relayed)
        : m_client(client)
        , m_address(address)
        , m_report(report)
        , m_relayed(relayed)
    {
    }

    bool head(const std::string &raw)
    {
        AnswerHead head;
        // An answer without a head at all (the oldest servers) passes as it is.
        if (raw.empty() || !parseAnswerHead(raw, &head))
            return forward(m_client, raw);
        const std::string location = head.value("Location");
        if (head.status >= 300 && head.status < 400 && !location.empty()) {
            const QString target = m_relayed(m_address.resolved(QUrl(QString::fromStdString(location))));
            if (target.isEmpty())
                return forward(m_client, raw);
            const std::string rewritten = head.without({"Location"});
            return forward(m_client,
                           rewritten.substr(0, rewritten.size() - 2) + "Location: " + target.toStdString()
                               + "\r\n\r\n");
        }
        if (head.status < 200 || head.status >= 300)
            return forward(m_client, raw);
        const size_t interval = size_t(std::strtoull(head.value("icy-metaint").c_str(), nullptr, 10));
        if (interval > 0 && interval <= kLongestMetadataInterval) {
            m_titles.emplace(interval);
            return forward(m_client, head.without({"icy-metaint"}));
        }
        // A playlist may be an HLS stream's: read it whole to tell.
        const std::string type = head.value("Content-Type");
        if (isPlaylistType(type) || !(type.rfind("audio/", 0) == 0 || type.rfind("video/", 0) == 0)) {
            m_held = raw;
            m_holding = true;
            return true;
        }
        return forward(m_client, raw);
    }

    bool body(std::string_view bytes)
    {
        if (m_titles)
            return forward(m_client, audioOf(bytes));
        if (!m_holding)
            return forward(m_client, bytes);
        m_body.append(bytes);
        const bool startsLikePlaylist = m_body.find("#EXTM3U") < 4;
        if ((m_body.size() >= kPlaylistSniff && !startsLikePlaylist)
            || m_body.size() > size_t(playlist::kLongestHlsPlaylist))
            return letGo();
        return true;
    }

    // After the answer's end: whether what was held back is an HLS playlist, now relayed.
    bool holdsHlsPlaylist() const
    {
        return m_holding && playlist::isHlsPlaylist(QByteArray::fromStdString(m_body));
    }
    QByteArray heldBody() const { return QByteArray::fromStdString(m_body); }
    // Sends on what was held back.
    bool letGo()
    {
        m_holding = false;
        return forward(m_client, m_held + m_body);
    }
    bool holding() const { return m_holding; }

private:
    std::string audioOf(std::string_view input)
    {
        m_blocks.clear();
        std::string audio = m_titles->feed(input, &m_blocks);
        for (const std::string &block : m_blocks) {
            const QByteArray title = streamTitleBytes(block);
            if (!title.isNull())
                m_report.setTitle(decodeStreamTitle(title));
        }
        return audio;
    }

    int m_client;
    const QUrl &m_address;
    RelayReport &m_report;
    const std::function<QString(const QUrl &)> &m_relayed;
    std::optional<IcyMetadataReader> m_titles;
    std::vector<std::string> m_blocks;
    bool m_holding = false;
    std::string m_held; // the head held back
    std::string m_body;
};

} // namespace

void relayHttp(net::Fetcher &fetcher, const net::Request &request, int client, const QUrl &address,
               RelayReport &report, const std::function<QString(const QUrl &)> &relayed)
{
    HttpAnswer answer(client, address, report, relayed);
    const net::Outcome outcome = fetcher.fetch(
        request, [&answer](const std::string &head) { return answer.head(head); },
        [&answer](std::string_view bytes) { return answer.body(bytes); });
    if (!answer.holding() || outcome == net::Outcome::Cancelled)
        return;
    if (outcome == net::Outcome::Done && answer.holdsHlsPlaylist())
        relayHls(fetcher, client, address.toString(QUrl::FullyEncoded), answer.heldBody(), report);
    else
        answer.letGo();
}

} // namespace tarvoni::stream
