#include "stream/mmsh_head_start.h"

#include "stream/answer_head.h"
#include "stream/mmsh_relay.h"
#include "stream/relay_client.h"

#include <algorithm>
#include <charconv>

namespace tarvoni::stream {

namespace {

using namespace std::chrono_literals;

// libVLC asks for the stream at once once the header is in; a head start nobody claimed by
// then is for a player that has gone elsewhere.
constexpr auto kClaimTime = 5s;
constexpr size_t kMostKept = 1024 * 1024;

std::string_view pragmaValue(std::string_view line)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !sameLetters(line.substr(0, colon), "Pragma"))
        return {};
    return trimmed(line.substr(colon + 1));
}

} // namespace

std::optional<net::Request> MmshHeadStart::guessPlay(const net::Request &headerRequest)
{
    // libVLC's header request: "Pragma: no-cache,rate=1.000000,stream-time=0,
    // stream-offset=0:0,request-context=<n>,max-duration=0" and "Pragma: xClientGUID={...}".
    net::Request play = headerRequest;
    play.headers.clear();
    bool contextSeen = false;
    bool guidSeen = false;
    for (const std::string &line : headerRequest.headers) {
        const std::string_view pragma = pragmaValue(line);
        if (pragma.find("xPlayStrm") != std::string_view::npos)
            return std::nullopt; // already a play request
        const size_t context = pragma.find("request-context=");
        if (context != std::string_view::npos && !contextSeen) {
            const std::string_view digits = pragma.substr(context + 16);
            unsigned number = 0;
            if (std::from_chars(digits.data(), digits.data() + digits.size(), number).ec != std::errc()
                || number > 1000000)
                return std::nullopt;
            contextSeen = true;
            play.headers.push_back("Pragma: no-cache,rate=1.000000,request-context="
                                   + std::to_string(number + 1));
            play.headers.emplace_back("Pragma: xPlayStrm=1");
            continue;
        }
        play.headers.push_back(line);
        if (pragma.starts_with("xClientGUID=")) {
            guidSeen = true;
            play.headers.emplace_back("Pragma: stream-switch-count=1");
            play.headers.emplace_back("Pragma: stream-switch-entry=ffff:1:0");
        }
    }
    if (!contextSeen || !guidSeen)
        return std::nullopt;
    return play;
}

bool MmshHeadStart::sameRequest(const net::Request &a, const net::Request &b)
{
    if (a.url != b.url || a.method != b.method || a.http10 != b.http10
        || a.headers.size() != b.headers.size())
        return false;
    const auto sorted = [](const net::Request &request) {
        std::vector<std::string_view> lines;
        for (const std::string &line : request.headers)
            lines.push_back(trimmed(line));
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    return sorted(a) == sorted(b);
}

MmshHeadStart::MmshHeadStart(net::Request play)
    : m_play(std::move(play))
{
}

void MmshHeadStart::run()
{
    const Deadline claimBy = Clock::now() + kClaimTime;
    relayMmsh(m_fetcher, m_play, [this, claimBy](const std::string &bytes) {
        std::lock_guard lock(m_mutex);
        if (m_client >= 0)
            return forward(m_client, bytes);
        m_kept += bytes;
        return m_kept.size() <= kMostKept && Clock::now() < claimBy;
    });
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_endedChanged.notify_all();
}

bool MmshHeadStart::claim(int client)
{
    std::lock_guard lock(m_mutex);
    if (m_client >= 0 || m_ended)
        return false;
    m_client = client;
    // Whatever fails here fails again at the next bytes, and ends the fetch there.
    if (!m_kept.empty())
        forward(client, m_kept);
    m_kept.clear();
    m_kept.shrink_to_fit();
    m_fetcher.watch(client);
    traceMms("head start claimed");
    return true;
}

void MmshHeadStart::waitEnded()
{
    std::unique_lock lock(m_mutex);
    m_endedChanged.wait(lock, [this] { return m_ended; });
}

void MmshHeadStarts::add(const std::shared_ptr<MmshHeadStart> &started)
{
    takeFor(started->request().url, nullptr);
    std::lock_guard lock(m_mutex);
    m_started.push_back(started);
}

void MmshHeadStarts::remove(const std::shared_ptr<MmshHeadStart> &started)
{
    std::lock_guard lock(m_mutex);
    std::erase(m_started, started);
}

std::shared_ptr<MmshHeadStart> MmshHeadStarts::take(const net::Request &play)
{
    return takeFor(play.url, &play);
}

std::shared_ptr<MmshHeadStart> MmshHeadStarts::takeFor(const std::string &url, const net::Request *play)
{
    std::shared_ptr<MmshHeadStart> found;
    std::lock_guard lock(m_mutex);
    for (auto it = m_started.begin(); it != m_started.end();) {
        if ((*it)->request().url != url) {
            ++it;
            continue;
        }
        if (!found && play && MmshHeadStart::sameRequest((*it)->request(), *play))
            found = *it;
        else
            (*it)->fetcher().cancel();
        it = m_started.erase(it);
    }
    return found;
}

} // namespace tarvoni::stream
