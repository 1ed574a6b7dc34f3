#pragma once

#include "player/media_player.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <deque>
#include <memory>

struct libvlc_event_t;

namespace tarvoni::vlc {

class EventRelay;
class Instance;
struct FailureReport;

// How the libVLC player buffers and how patient it is with servers.
struct VlcPlayerOptions {
    // Audio buffered before playback starts. libVLC's own default is 1000 ms.
    int networkCachingMs = 500;
    // A connection that shows no progress for this long ends as "no answer".
    std::chrono::milliseconds connectTimeout{10000};
    // A playing stream that delivers nothing for this long is reconnected.
    std::chrono::milliseconds stallTimeout{8000};
    // Waits between reconnect attempts: first, doubled each time, at most max.
    std::chrono::milliseconds firstReconnectWait{1000};
    std::chrono::milliseconds maxReconnectWait{30000};
};

// The media player on libVLC. Plays http (Icecast/Shoutcast) and mms addresses and the
// playlists they lead to, keeps a plain-words status, and reconnects a stream that drops.
// Every libVLC player that may be stuck on the network is stopped and released on a thread
// of its own, so no member ever waits for a server.
class VlcMediaPlayer final : public MediaPlayer {
    Q_OBJECT

public:
    // Throws MediaPlayerError when the engine cannot start; createMediaPlayer() handles that.
    VlcMediaPlayer(const QStringList &extraEngineArgs, const VlcPlayerOptions &options, QObject *parent = nullptr);
    ~VlcMediaPlayer() override;

    void setUrl(const QString &url) override;
    QString url() const override;
    void play() override;
    void stop() override;
    void setVolume(int volume) override;
    int volume() const override;
    QString status() const override;
    QString streamTitle() const override;
    bool isActive() const override;

    // The volume libVLC reports for the sound now playing, or -1 when there is none.
    int engineVolume() const;

signals:
    // The current station's first audio has been decoded; the status turns to "Playing" next.
    void audioStarted();

private:
    struct Entry;
    enum class EngineEvent { Playing, Buffering, EndReached, Error, AudioTrackAdded, MetaChanged };

    static void onEngineEvent(const libvlc_event_t *event, void *opaque);
    void handleEngineEvent(quint64 entryId, EngineEvent event, double value);

    void startSession();
    void startNextEntry();
    void finishEntry();
    void retireEntry();
    void startAudio();
    void scheduleReconnect(bool stalled);
    void fail(const FailureReport &failure, const QString &host);
    void probeFailure(const QString &address, const QString &host);
    void onConnectTimeout();
    void moveOn(const QString &address, const QString &host);
    void onStatsTick();
    void refreshPlayingStatus();
    void setStatus(const QString &text);
    bool sessionActive() const;

    std::unique_ptr<Instance> m_instance;
    std::shared_ptr<EventRelay> m_relay;
    VlcPlayerOptions m_options;

    QString m_url;
    QString m_status;
    int m_volume = 50;

    std::unique_ptr<Entry> m_entry;
    std::deque<QString> m_queue;   // addresses still to try in this session
    bool m_fromPlaylist = false;   // the session's address turned out to be a playlist
    int m_entriesTried = 0;
    int m_attempt = 0;             // reconnect attempt; 0 while not reconnecting
    quint64 m_nextEntryId = 1;
    quint64 m_probeId = 0;

    QTimer m_connectTimer;
    QTimer m_reconnectTimer;
    QTimer m_statsTimer;
};

} // namespace tarvoni::vlc
