#pragma once

#include "net/fetcher.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarvoni::stream {

// The play request of an MMS-over-HTTP stream, sent while libVLC is still waiting for the
// answer to its header request, so that its own play request finds the stream already on its
// way: a round trip to the station sooner.
//
// libVLC asks for the header first and for the stream once the header has come. The play
// request that follows is guessed from the header request as libVLC sends it for a broadcast
// of one stream, numbered 1 (a radio station). A play request that is not that guess is sent
// as it is, and the head start is dropped.
class MmshHeadStart {
public:
    // The play request libVLC will send after `headerRequest`, or nothing when that is not
    // libVLC's header request.
    static std::optional<net::Request> guessPlay(const net::Request &headerRequest);
    // Whether `a` and `b` ask the same: the same address, method and header lines, in any order.
    static bool sameRequest(const net::Request &a, const net::Request &b);

    explicit MmshHeadStart(net::Request play);
    MmshHeadStart(const MmshHeadStart &) = delete;
    MmshHeadStart &operator=(const MmshHeadStart &) = delete;

    const net::Request &request() const { return m_play; }
    net::Fetcher &fetcher() { return m_fetcher; }

    // On a thread of its own: sends the play request and keeps its answer, retimed as the
    // relay retimes any, until a client claims it, then hands it on to that client until it
    // ends. Unclaimed, it ends with the first bytes after a few seconds or past 1 MB.
    void run();
    // For libVLC's play request on `client`, the request sent ahead (MmshHeadStarts::take()):
    // true when it is still under way and not yet claimed. The answer so far has then gone to
    // `client`, and the rest goes there until run() ends.
    bool claim(int client);
    // Returns once run() has ended.
    void waitEnded();

private:
    net::Request m_play;
    net::Fetcher m_fetcher;
    std::mutex m_mutex; // guards what follows
    std::condition_variable m_endedChanged;
    std::string m_kept;
    int m_client = -1; // the client that claimed it
    bool m_ended = false;
};

// The head starts under way, for libVLC's play requests to claim.
class MmshHeadStarts {
public:
    // Keeps `started`, ending any other for its address.
    void add(const std::shared_ptr<MmshHeadStart> &started);
    void remove(const std::shared_ptr<MmshHeadStart> &started);
    // The head start sent as `play`, taken out of the list; any other for its address is
    // ended.
    std::shared_ptr<MmshHeadStart> take(const net::Request &play);

private:
    // Takes out those for `url`, ending each but `play`'s; returns `play`'s.
    std::shared_ptr<MmshHeadStart> takeFor(const std::string &url, const net::Request *play);

    std::mutex m_mutex;
    std::vector<std::shared_ptr<MmshHeadStart>> m_started;
};

} // namespace tarvoni::stream
