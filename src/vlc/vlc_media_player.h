#pragma once

#include "player/media_player.h"
#include "player/status_text.h"
#include "player/stream_session.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>

struct libvlc_event_t;

namespace tarvoni::stream {
class StreamRelay;
} // namespace tarvoni::stream

namespace tarvoni::vlc {

class EventRelay;
class Instance;
struct PlayerParcel;
struct EngineParcel;
struct SparePlayer;

// How the libVLC player buffers and how patient it is with servers.
struct VlcPlayerOptions {
    // Audio buffered before playback starts. libVLC's own default is 1000 ms.
    int networkCachingMs = 500;
    // The same for MMS over HTTP. Such a server sends the stream a packet (a quarter second or
    // so) at a time in real time, and the relay has libVLC play each as soon as it has arrived.
    // libVLC's clock moves in tenths of a second: the first packet moves it one tenth, which
    // must not be enough, and the second three, which must be more than enough. At 300 the
    // second fell short and playing waited for a third, a quarter second later.
    int mmsNetworkCachingMs = 200;
    // A connection that shows no progress for this long ends as "no answer".
    std::chrono::milliseconds connectTimeout{10000};
    // A playing stream that delivers nothing for this long is reconnected.
    std::chrono::milliseconds stallTimeout{8000};
    // Waits between reconnect attempts: first, doubled each time, at most max.
    std::chrono::milliseconds firstReconnectWait{1000};
    std::chrono::milliseconds maxReconnectWait{30000};
    // An http stream that has given no sound for this long is checked: a server that sends
    // bytes which decode to nothing is no audio stream.
    std::chrono::milliseconds undecodableTimeout{5000};
    // How long the sound system may take to give an audio output before the status says so.
    std::chrono::milliseconds audioOutputPatience{3000};
};

// The media player on libVLC. Plays http (Icecast/Shoutcast) and mms addresses and the
// playlists they lead to, keeps a plain-words status, and reconnects a stream that drops.
// libVLC players are created (which opens the audio output and so waits on the sound system)
// and stopped and released (which waits on the network) on threads of their own, so no member
// ever waits for a server. What follows an entry that ended is StreamSession's to decide.
class VlcMediaPlayer final : public MediaPlayer {
    Q_OBJECT

public:
    // The engine starts on a thread of its own; what the player is asked meanwhile is done
    // once it is up. When it cannot start, the status says "Playback unavailable: <reason>".
    // Streams go through `relay`, or through one of the player's own when none is given.
    VlcMediaPlayer(const QStringList &extraEngineArgs, const VlcPlayerOptions &options,
                   QObject *parent = nullptr, std::shared_ptr<stream::StreamRelay> relay = {});
    ~VlcMediaPlayer() override;

    void setUrl(const QString &url) override;
    QString url() const override;
    void play() override;
    void stop() override;
    void setVolume(int volume) override;
    int volume() const override;
    QString status() const override;
    PlayerState state() const { return m_state; }
    QString streamTitle() const override;
    bool isActive() const override;
    void reconnectNowIfWaiting() override;

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

    // Starts the engine on a thread of its own, once.
    void ensureEngineStarted();
    void engineStarted(EngineParcel &parcel);
    void becomeUnavailable(const std::string &reason);
    void perform(const SessionAction &action);
    void openEntry(const QString &address, int attempt);
    void attachMedia();
    void requestPlayer();
    void createPlayer();
    void playerCreated(quint64 entryId, PlayerParcel &parcel);
    void startEntry();
    void endEntry(EntryEnd how, const QStringList &subItems = {});
    void retireEntry();
    void stopSession();
    void startAudio();
    void probe(const QString &address);
    void checkUndecodable();
    void onStatsTick();
    void refreshPlayingStatus();
    void setState(const PlayerState &state);
    void fail(const FailureReport &failure);
    bool sessionActive() const;

    std::unique_ptr<Instance> m_instance;
    std::shared_ptr<EventRelay> m_relay;
    std::shared_ptr<stream::StreamRelay> m_streamRelay;
    VlcPlayerOptions m_options;
    StreamSession m_session;

    QString m_url;
    PlayerState m_state;
    QString m_status;
    QString m_lastHost;
    int m_volume = 50;
    bool m_unavailable = false; // the engine did not start: the player stays silent

    std::unique_ptr<Entry> m_entry;
    bool m_creatingPlayer = false; // a player is being created on a thread of its own
    // The player the engine made with itself, for the first entry to start at once.
    std::unique_ptr<SparePlayer> m_spare;
    QStringList m_engineArgs;   // until the engine is started
    bool m_engineAsked = false; // the engine's start has been asked of its thread
    quint64 m_nextEntryId = 1;
    quint64 m_probeId = 0;

    QTimer m_connectTimer;
    QTimer m_reconnectTimer;
    QTimer m_statsTimer;
    QTimer m_undecodableTimer;
    QTimer m_audioOutputTimer;
};

} // namespace tarvoni::vlc
