#pragma once

#include "status_text.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>

namespace tarvoni {

// Entries opened (and playlist entries taken in) per attempt at most; the playlist parsers copy
// no more than this either.
constexpr int kMostEntriesPerAttempt = 24;

// How patient a stream session is.
struct SessionOptions {
    // Waits between reconnect attempts: first, doubled each time, at most max.
    std::chrono::milliseconds firstReconnectWait{1000};
    std::chrono::milliseconds maxReconnectWait{30000};
    // Entries opened (and playlist entries taken in) per attempt at most.
    int maxEntries = kMostEntriesPerAttempt;
};

// What the engine is to do next.
struct SessionAction {
    enum class Kind {
        Open,      // open `address`; `attempt` > 0 while reconnecting
        Probe,     // find out why `address` gave no sound, then call probeAnswered()
        Reconnect, // wait `wait`, then call reconnect(); `stalled`, `attempt` for the status
        Fail,      // give up with `failure`
    };

    Kind kind = Kind::Fail;
    QString address;
    int attempt = 0;
    std::chrono::milliseconds wait{0};
    bool stalled = false;
    FailureReport failure;

    friend bool operator==(const SessionAction &, const SessionAction &) = default;
};

// How an opened entry ended.
enum class EntryEnd {
    NoSound,  // ended, failed or timed out before any sound (a playlist ends this way too)
    NotAudio, // the server sent bytes that decode to no sound
    Lost,     // it played, then ended
    Stalled,  // it played, then nothing more came
};

// One station being played: the entries still to try (the station's address, the entries of
// the playlists it leads to), the reconnect attempts after a drop, and what follows when an
// entry ends. Only stream addresses are ever handed out to be opened; the others are skipped.
class StreamSession {
public:
    explicit StreamSession(const SessionOptions &options = {})
        : m_options(options)
    {
    }

    // A station chosen anew, or played again after a stop: attempts count from the start.
    SessionAction start(const QString &stationAddress);
    // The reconnect wait has passed: the station's address again.
    SessionAction reconnect();
    // The entry last handed out ended; `subItems` are the entries it turned out to list.
    SessionAction entryEnded(EntryEnd how, const QStringList &subItems = {});
    // What the probe of the entry last handed out found.
    SessionAction probeAnswered(const FailureReport &failure, const QStringList &playlistEntries);
    // The entry last handed out is playing: a later drop starts counting attempts anew.
    void entryPlaying()
    {
        m_attempt = 0;
        m_networkBack = false;
    }
    // The network may have come back during a reconnect attempt, begun before it did: should
    // that attempt fail, the next one follows at once (a wait of zero).
    void networkMayBeBack() { m_networkBack = m_attempt > 0; }
    // Stopped: nothing more to try.
    void clear();

    int attempt() const { return m_attempt; }

private:
    SessionAction openNext();
    SessionAction nothingLeft();
    SessionAction scheduleReconnect(bool stalled);
    void takeEntries(const QStringList &entries, bool first);

    SessionOptions m_options;
    QString m_station;
    QString m_current;
    std::deque<QString> m_queue;
    int m_attempt = 0; // reconnect attempt; 0 while not reconnecting
    bool m_networkBack = false;
    int m_opened = 0;        // entries handed out in this attempt
    int m_openedEntries = 0; // of which playlist entries
    bool m_fromPlaylist = false;
    bool m_refused = false;
    QString m_refusedScheme; // the first entry refused
};

} // namespace tarvoni
