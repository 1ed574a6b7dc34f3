#include "stream/http_relay.h"

#include "stream/answer_head.h"
#include "stream/connection.h"
#include "stream/hls_playlist.h"
#include "stream/hls_relay.h"
#include "stream/icy_metadata.h"
#include "stream/relay_pump.h"
#include "stream/relay_report.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;

// How long a server may take to send the head of its answer, and an HLS playlist.
constexpr auto kAnswerTime = 10s;
constexpr size_t kLongestAnswerHead = 16 * 1024;
// Metadata comes every few kilobytes; an interval past this is no Shoutcast stream.
constexpr size_t kLongestMetadataInterval = 1024 * 1024;

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

// A Shoutcast/Icecast stream: its audio goes on without the metadata, whose titles are
// decoded and reported.
void relayTitles(Connection &server, int client, const AnswerHead &head, std::string body, size_t interval,
                 RelayReport &report)
{
    IcyMetadataReader reader(interval);
    std::vector<std::string> blocks;
    const auto audioOf = [&](std::string_view input, std::string *out) {
        blocks.clear();
        *out = reader.feed(input, &blocks);
        for (const std::string &block : blocks) {
            const QByteArray title = streamTitleBytes(block);
            if (!title.isNull())
                report.setTitle(decodeStreamTitle(title));
        }
        return true;
    };
    std::string audio;
    audioOf(body, &audio);
    if (!forward(client, head.without({"icy-metaint"}) + audio))
        return;
    pump(server, client, audioOf);
}

} // namespace

void relayHttp(Connection &server, int client, const QUrl &address, RelayReport &report,
               const std::function<QString(const QUrl &)> &relayed)
{
    std::string in;
    const auto headRead = [](const std::string &text) {
        // An answer without a head at all (the oldest servers) passes as it is.
        const bool answer = text.size() < 5 || text.compare(0, 5, "HTTP/") == 0
            || text.compare(0, 3, "ICY") == 0;
        return !answer || answerHeadEnd(text) != std::string::npos;
    };
    if (!readUntil(server, client, &in, kLongestAnswerHead, Clock::now() + kAnswerTime, headRead))
        return;
    const size_t headEnd = answerHeadEnd(in);
    AnswerHead head;
    if (headEnd == std::string::npos || !parseAnswerHead(std::string_view(in).substr(0, headEnd), &head)) {
        passOn(server, client, in);
        return;
    }
    std::string body = in.substr(headEnd);

    const std::string location = head.value("Location");
    if (head.status >= 300 && head.status < 400 && !location.empty()) {
        const QString target = relayed(address.resolved(QUrl(QString::fromStdString(location))));
        if (!target.isEmpty()) {
            const std::string rewritten = head.without({"Location"});
            passOn(server, client,
                   rewritten.substr(0, rewritten.size() - 2) + "Location: " + target.toStdString()
                       + "\r\n\r\n" + body);
            return;
        }
        passOn(server, client, in);
        return;
    }
    if (head.status < 200 || head.status >= 300) {
        passOn(server, client, in);
        return;
    }

    const size_t interval = size_t(std::strtoull(head.value("icy-metaint").c_str(), nullptr, 10));
    if (interval > 0 && interval <= kLongestMetadataInterval) {
        relayTitles(server, client, head, std::move(body), interval, report);
        return;
    }

    // A playlist may be an HLS stream's: read it whole to tell.
    const std::string type = head.value("Content-Type");
    const bool playlistType = isPlaylistType(type);
    const bool mayBePlaylist = playlistType
        || !(type.rfind("audio/", 0) == 0 || type.rfind("video/", 0) == 0);
    if (mayBePlaylist) {
        const Deadline deadline = Clock::now() + (playlistType ? kAnswerTime : kAnswerTime / 5);
        // Enough of the body to see whether it starts like one.
        readUntil(server, client, &body, 16, deadline,
                  [](const std::string &text) { return text.size() >= 16; });
        if (body.find("#EXTM3U") < 4) {
            const std::string length = head.value("Content-Length");
            const size_t expected = length.empty() ? size_t(kLongestHlsPlaylist)
                                                   : std::strtoull(length.c_str(), nullptr, 10);
            readUntil(server, client, &body, std::min(expected, size_t(kLongestHlsPlaylist)),
                      Clock::now() + kAnswerTime,
                      [expected](const std::string &text) { return text.size() >= expected; });
            const QByteArray playlist = QByteArray::fromStdString(body);
            if (isHlsPlaylist(playlist)) {
                relayHls(client, address.toString(QUrl::FullyEncoded), playlist, report);
                return;
            }
        }
    }
    passOn(server, client, in.substr(0, headEnd) + body);
}

} // namespace tarvoni::stream
