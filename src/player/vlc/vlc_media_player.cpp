#include "vlc_media_player.h"

#include "engine_reaper.h"
#include "mmsh_relay.h"
#include "status_text.h"
#include "stream_address.h"
#include "stream_probe.h"
#include "vlc_handles.h"

#include <QByteArray>
#include <QMetaObject>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <vector>

namespace tarvoni::vlc {

// Hands libVLC's notifications, which arrive on libVLC's own threads, to the UI thread as
// queued calls. Once the player is gone, nothing more is handed over.
class EventRelay {
public:
    explicit EventRelay(VlcMediaPlayer *target) : m_target(target) {}

    void detach()
    {
        std::lock_guard lock(m_mutex);
        m_target = nullptr;
    }

    template<typename F>
    void post(F call)
    {
        std::lock_guard lock(m_mutex);
        if (VlcMediaPlayer *target = m_target)
            QMetaObject::invokeMethod(target, [target, call = std::move(call)] { call(target); }, Qt::QueuedConnection);
    }

private:
    std::mutex m_mutex;
    VlcMediaPlayer *m_target;
};

namespace {

constexpr int kMaxEntriesPerSession = 24;

constexpr std::array kPlayerEvents{
    libvlc_MediaPlayerPlaying,
    libvlc_MediaPlayerBuffering,
    libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError,
    libvlc_MediaPlayerESAdded,
};
constexpr std::array kMediaEvents{libvlc_MediaMetaChanged};

struct CallbackContext {
    std::shared_ptr<EventRelay> relay;
    quint64 entryId;
};

QString takeVlcString(char *text)
{
    if (!text)
        return {};
    QString result = QString::fromUtf8(text);
    libvlc_free(text);
    return result;
}

QStringList subItemAddresses(libvlc_media_t *media)
{
    QStringList addresses;
    MediaListHandle list(libvlc_media_subitems(media));
    if (!list)
        return addresses;
    libvlc_media_list_lock(list.get());
    const int count = libvlc_media_list_count(list.get());
    for (int i = 0; i < count; ++i) {
        MediaHandle item(libvlc_media_list_item_at_index(list.get(), i));
        if (item) {
            const QString mrl = takeVlcString(libvlc_media_get_mrl(item.get()));
            if (!mrl.isEmpty())
                addresses << mrl;
        }
    }
    libvlc_media_list_unlock(list.get());
    return addresses;
}

std::vector<QByteArray> engineArguments(const QStringList &extra)
{
    std::vector<QByteArray> args{
        "--ignore-config",
        "--no-video",
        "--no-lua",
        "--no-metadata-network-access",
        "--no-auto-preparse",
    };
    if (qEnvironmentVariableIsEmpty("TARVONI_VLC_VERBOSE"))
        args.emplace_back("--quiet");
    else
        args.emplace_back("--verbose=2");
    for (const QString &arg : extra)
        args.push_back(arg.toUtf8());
    return args;
}

} // namespace

struct VlcMediaPlayer::Entry {
    quint64 id = 0;
    QString address;
    QString host;
    MediaHandle media;
    MediaPlayerHandle player;
    std::unique_ptr<CallbackContext> context;

    bool hasAudioTrack = false;
    bool bufferingDone = false;
    bool audioStarted = false;
    bool audioOutput = true;
    QString title;
    int kbps = 0;

    int64_t lastReadBytes = -1;
    QElapsedTimer sinceProgress;
    QElapsedTimer sinceAudio;
    std::deque<double> rates;

    ~Entry()
    {
        if (!player)
            return;
        if (libvlc_event_manager_t *events = libvlc_media_player_event_manager(player.get())) {
            for (const libvlc_event_e type : kPlayerEvents)
                libvlc_event_detach(events, type, &VlcMediaPlayer::onEngineEvent, context.get());
        }
        if (libvlc_event_manager_t *events = libvlc_media_event_manager(media.get())) {
            for (const libvlc_event_e type : kMediaEvents)
                libvlc_event_detach(events, type, &VlcMediaPlayer::onEngineEvent, context.get());
        }
        // Stopping joins libVLC's input thread, which may be waiting on a server.
        libvlc_media_player_stop(player.get());
        player.reset();
        media.reset();
    }
};

VlcMediaPlayer::VlcMediaPlayer(const QStringList &extraEngineArgs, const VlcPlayerOptions &options, QObject *parent)
    : MediaPlayer(parent),
      m_instance(std::make_unique<Instance>()),
      m_relay(std::make_shared<EventRelay>(this)),
      m_options(options)
{
    const std::vector<QByteArray> args = engineArguments(extraEngineArgs);
    std::vector<const char *> argv;
    for (const QByteArray &arg : args)
        argv.push_back(arg.constData());
    *m_instance = Instance(libvlc_new(int(argv.size()), argv.data()));
    if (!*m_instance) {
        const char *why = libvlc_errmsg();
        throw MediaPlayerError(why && *why ? std::string("the sound engine did not start (") + why + ")"
                                           : std::string("the sound engine did not start; are VLC's plugins installed?"));
    }
    libvlc_set_user_agent(m_instance->get(), "Tarvoni Radio Player 3.01", "TarvoniRadioPlayer/3.01");

    m_status = status::ready();
    m_connectTimer.setSingleShot(true);
    m_reconnectTimer.setSingleShot(true);
    m_statsTimer.setInterval(500);
    connect(&m_connectTimer, &QTimer::timeout, this, &VlcMediaPlayer::onConnectTimeout);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &VlcMediaPlayer::startSession);
    connect(&m_statsTimer, &QTimer::timeout, this, &VlcMediaPlayer::onStatsTick);
}

VlcMediaPlayer::~VlcMediaPlayer()
{
    m_relay->detach();
    retireEntry();
    // Give the players being stopped a moment, so they do not outlive the program's objects
    // in the common case; a player stuck on a dead server is left to its thread.
    EngineReaper::waitIdle(std::chrono::seconds(2));
}

void VlcMediaPlayer::setUrl(const QString &url)
{
    m_url = url;
    m_attempt = 0;
    if (url.trimmed().isEmpty()) {
        m_reconnectTimer.stop();
        ++m_probeId;
        retireEntry();
        setStatus(status::ready());
        return;
    }
    startSession();
}

QString VlcMediaPlayer::url() const
{
    return m_url;
}

void VlcMediaPlayer::play()
{
    if (m_url.trimmed().isEmpty() || sessionActive())
        return;
    m_attempt = 0;
    startSession();
}

void VlcMediaPlayer::stop()
{
    m_reconnectTimer.stop();
    ++m_probeId;
    retireEntry();
    m_queue.clear();
    m_attempt = 0;
    setStatus(status::stopped());
}

void VlcMediaPlayer::setVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
    if (m_entry)
        libvlc_audio_set_volume(m_entry->player.get(), m_volume);
}

int VlcMediaPlayer::volume() const
{
    return m_volume;
}

QString VlcMediaPlayer::status() const
{
    return m_status;
}

int VlcMediaPlayer::engineVolume() const
{
    return m_entry && m_entry->audioStarted ? libvlc_audio_get_volume(m_entry->player.get()) : -1;
}

void VlcMediaPlayer::onEngineEvent(const libvlc_event_t *event, void *opaque)
{
    // libVLC's thread: no libVLC calls and no Qt objects here, only the hand-over.
    const auto *context = static_cast<const CallbackContext *>(opaque);
    EngineEvent kind;
    double value = 0;
    switch (event->type) {
    case libvlc_MediaPlayerPlaying:
        kind = EngineEvent::Playing;
        break;
    case libvlc_MediaPlayerBuffering:
        kind = EngineEvent::Buffering;
        value = event->u.media_player_buffering.new_cache;
        break;
    case libvlc_MediaPlayerEndReached:
        kind = EngineEvent::EndReached;
        break;
    case libvlc_MediaPlayerEncounteredError:
        kind = EngineEvent::Error;
        break;
    case libvlc_MediaPlayerESAdded:
        if (event->u.media_player_es_changed.i_type != libvlc_track_audio)
            return;
        kind = EngineEvent::AudioTrackAdded;
        break;
    case libvlc_MediaMetaChanged:
        kind = EngineEvent::MetaChanged;
        break;
    default:
        return;
    }
    const quint64 entryId = context->entryId;
    context->relay->post([entryId, kind, value](VlcMediaPlayer *player) {
        player->handleEngineEvent(entryId, kind, value);
    });
}

void VlcMediaPlayer::handleEngineEvent(quint64 entryId, EngineEvent event, double value)
{
    if (!m_entry || m_entry->id != entryId)
        return; // from a player already retired
    Entry &e = *m_entry;
    switch (event) {
    case EngineEvent::Playing:
        if (!e.audioStarted)
            m_connectTimer.start(m_options.connectTimeout);
        break;
    case EngineEvent::Buffering:
        if (value < 100) {
            if (!e.audioStarted)
                m_connectTimer.start(m_options.connectTimeout);
            setStatus(status::buffering(int(value)));
            break;
        }
        e.bufferingDone = true;
        if (e.audioStarted)
            refreshPlayingStatus();
        else if (e.hasAudioTrack)
            startAudio();
        break;
    case EngineEvent::AudioTrackAdded:
        e.hasAudioTrack = true;
        if (e.bufferingDone && !e.audioStarted)
            startAudio();
        break;
    case EngineEvent::MetaChanged:
        e.title = cleanMetadata(takeVlcString(libvlc_media_get_meta(e.media.get(), libvlc_meta_NowPlaying)));
        if (e.audioStarted)
            refreshPlayingStatus();
        break;
    case EngineEvent::EndReached:
    case EngineEvent::Error:
        // libVLC's error events carry no reason; when nothing played, the probe finds one.
        finishEntry();
        break;
    }
}

void VlcMediaPlayer::startSession()
{
    m_reconnectTimer.stop();
    ++m_probeId;
    m_queue.assign(1, m_url);
    m_fromPlaylist = false;
    m_entriesTried = 0;
    startNextEntry();
}

void VlcMediaPlayer::startNextEntry()
{
    retireEntry();
    if (m_queue.empty())
        return;
    auto e = std::make_unique<Entry>();
    e->id = m_nextEntryId++;
    e->address = m_queue.front();
    e->host = displayHost(e->address);
    m_queue.pop_front();
    ++m_entriesTried;

    const QByteArray mrl = MmshRelay::relayedAddress(engineAddress(e->address)).toUtf8();
    e->media.reset(libvlc_media_new_location(m_instance->get(), mrl.constData()));
    if (e->media) {
        const QByteArray caching = ":network-caching=" + QByteArray::number(m_options.networkCachingMs);
        libvlc_media_add_option(e->media.get(), caching.constData());
        e->player.reset(libvlc_media_player_new_from_media(e->media.get()));
    }
    if (!e->player) {
        const QString host = e->host;
        fail({Failure::CannotPlay, 0}, host);
        return;
    }
    e->context = std::make_unique<CallbackContext>(CallbackContext{m_relay, e->id});
    libvlc_event_manager_t *playerEvents = libvlc_media_player_event_manager(e->player.get());
    for (const libvlc_event_e type : kPlayerEvents)
        libvlc_event_attach(playerEvents, type, &VlcMediaPlayer::onEngineEvent, e->context.get());
    libvlc_event_manager_t *mediaEvents = libvlc_media_event_manager(e->media.get());
    for (const libvlc_event_e type : kMediaEvents)
        libvlc_event_attach(mediaEvents, type, &VlcMediaPlayer::onEngineEvent, e->context.get());
    // Set now, before any sound exists; applied again when the sound starts.
    libvlc_audio_set_volume(e->player.get(), m_volume);

    m_entry = std::move(e);
    setStatus(status::connecting(m_entry->host, m_attempt));
    m_connectTimer.start(m_options.connectTimeout);
    if (libvlc_media_player_play(m_entry->player.get()) != 0)
        finishEntry();
}

void VlcMediaPlayer::finishEntry()
{
    if (!m_entry)
        return;
    const QStringList subItems = m_entry->audioStarted ? QStringList() : subItemAddresses(m_entry->media.get());
    const bool wasPlaying = m_entry->audioStarted;
    const QString address = m_entry->address;
    const QString host = m_entry->host;
    retireEntry();

    if (!subItems.isEmpty()) {
        // A playlist: play its entries in order, going on to the next when one fails.
        m_fromPlaylist = true;
        const qsizetype room = std::max<qsizetype>(0, kMaxEntriesPerSession - m_entriesTried);
        for (qsizetype i = std::min(room, subItems.size()) - 1; i >= 0; --i)
            m_queue.push_front(subItems.at(i));
    }
    if (wasPlaying)
        scheduleReconnect(false);
    else
        moveOn(address, host);
}

void VlcMediaPlayer::retireEntry()
{
    m_connectTimer.stop();
    m_statsTimer.stop();
    if (!m_entry)
        return;
    std::shared_ptr<Entry> retired(std::move(m_entry));
    EngineReaper::run([retired]() mutable { retired.reset(); });
}

void VlcMediaPlayer::startAudio()
{
    Entry &e = *m_entry;
    e.audioStarted = true;
    m_connectTimer.stop();
    m_attempt = 0;
    libvlc_audio_set_volume(e.player.get(), m_volume);
    e.title = cleanMetadata(takeVlcString(libvlc_media_get_meta(e.media.get(), libvlc_meta_NowPlaying)));
    e.sinceAudio.start();
    e.sinceProgress.start();
    m_statsTimer.start();
    emit audioStarted();
    refreshPlayingStatus();
}

void VlcMediaPlayer::onStatsTick()
{
    if (!m_entry || !m_entry->audioStarted)
        return;
    Entry &e = *m_entry;
    libvlc_media_stats_t stats{};
    if (!libvlc_media_get_stats(e.media.get(), &stats))
        return;

    if (stats.i_read_bytes != e.lastReadBytes) {
        e.lastReadBytes = stats.i_read_bytes;
        e.sinceProgress.restart();
    } else if (e.sinceProgress.elapsed() >= m_options.stallTimeout.count()) {
        retireEntry();
        scheduleReconnect(true);
        return;
    }

    bool changed = false;
    // Sound that is decoded but never reaches a device: no audio output on this machine.
    const bool audioOutput = stats.i_played_abuffers > 0
        || (stats.i_lost_abuffers == 0 && e.sinceAudio.elapsed() < 1000);
    if (audioOutput != e.audioOutput) {
        e.audioOutput = audioOutput;
        changed = true;
    }

    // The bitrate, once three readings a second apart agree within 10%.
    if (e.sinceAudio.elapsed() >= 2000 && stats.f_demux_bitrate > 0) {
        e.rates.push_back(double(stats.f_demux_bitrate) * 8000.0);
        while (e.rates.size() > 5)
            e.rates.pop_front();
        if (e.rates.size() == 5) {
            const auto [low, high] = std::minmax_element(e.rates.begin(), e.rates.end());
            const double mean = (*low + *high) / 2;
            if (*high - *low <= mean * 0.1) {
                const int kbps = roundedBitrate(mean);
                if (std::abs(kbps - e.kbps) > e.kbps / 10) {
                    e.kbps = kbps;
                    changed = true;
                }
            }
        }
    }
    if (changed)
        refreshPlayingStatus();
}

void VlcMediaPlayer::scheduleReconnect(bool stalled)
{
    ++m_attempt;
    const auto first = m_options.firstReconnectWait;
    const int doublings = std::min(m_attempt - 1, 16);
    const std::chrono::milliseconds wait = std::min<std::chrono::milliseconds>(first * (1 << doublings), m_options.maxReconnectWait);
    m_reconnectTimer.start(wait);
    const int seconds = int((wait.count() + 999) / 1000);
    setStatus(status::waitingToReconnect(stalled, m_attempt, seconds));
}

void VlcMediaPlayer::fail(const FailureReport &failure, const QString &host)
{
    retireEntry();
    m_queue.clear();
    setStatus(status::failed(failure, host));
}

void VlcMediaPlayer::probeFailure(const QString &address, const QString &host)
{
    setStatus(status::checking());
    const quint64 probeId = ++m_probeId;
    const auto timeout = std::min<std::chrono::milliseconds>(m_options.connectTimeout, std::chrono::seconds(3));
    EngineReaper::run([relay = m_relay, probeId, address, host, timeout] {
        const ProbeResult result = probeStream(engineAddress(address), timeout);
        relay->post([probeId, result, host](VlcMediaPlayer *player) {
            if (player->m_probeId != probeId || player->sessionActive())
                return;
            if (!result.playlistEntries.isEmpty() && !player->m_fromPlaylist) {
                // A playlist libVLC did not recognise (no telling name or type): play its entries.
                player->m_fromPlaylist = true;
                for (const QString &entry : result.playlistEntries.mid(0, kMaxEntriesPerSession))
                    player->m_queue.push_back(entry);
                player->startNextEntry();
                return;
            }
            player->fail(result.failure, host);
        });
    });
}

void VlcMediaPlayer::onConnectTimeout()
{
    if (!m_entry)
        return;
    const QString address = m_entry->address;
    const QString host = m_entry->host;
    retireEntry();
    moveOn(address, host); // a silent server, or data libVLC cannot make sense of
}

// An entry ended without sound: the next playlist entry, the next reconnect, or the reason.
void VlcMediaPlayer::moveOn(const QString &address, const QString &host)
{
    if (!m_queue.empty())
        startNextEntry();
    else if (m_attempt > 0)
        scheduleReconnect(false);
    else if (m_fromPlaylist)
        fail({Failure::NothingPlayable, 0}, host);
    else
        probeFailure(address, host);
}

void VlcMediaPlayer::refreshPlayingStatus()
{
    if (m_entry && m_entry->audioStarted)
        setStatus(status::playing(m_entry->title, m_entry->kbps, m_entry->audioOutput));
}

void VlcMediaPlayer::setStatus(const QString &text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged(0);
}

bool VlcMediaPlayer::sessionActive() const
{
    return m_entry || m_reconnectTimer.isActive();
}

// --- For the desktop's media controls ---------------------------------------------------

QString VlcMediaPlayer::streamTitle() const
{
    return m_entry && m_entry->audioStarted ? m_entry->title : QString();
}

bool VlcMediaPlayer::isActive() const
{
    return sessionActive();
}

} // namespace tarvoni::vlc
