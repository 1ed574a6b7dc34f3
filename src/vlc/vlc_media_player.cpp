#include "vlc_media_player.h"

#include "engine_log.h"
#include "engine_reaper.h"
#include "vlc_entry.h"

#include "player/stream_address.h"
#include "player/stream_scheme.h"
#include "stream/stream_relay.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <vector>

namespace tarvoni::vlc {

using stream::StreamRelay;

namespace {

constexpr std::chrono::milliseconds kEngineStartDelay(300);

// Only http carries the sniffing that tells undecodable bytes from a slow start.
bool isHttpEntry(const QString &address)
{
    const QString scheme = addressScheme(address);
    return scheme == QLatin1String("http:") || scheme == QLatin1String("https:");
}

} // namespace

VlcMediaPlayer::VlcMediaPlayer(const QStringList &extraEngineArgs, const VlcPlayerOptions &options,
                               QObject *parent, std::shared_ptr<stream::StreamRelay> relay)
    : MediaPlayer(parent)
    , m_instance(std::make_unique<Instance>())
    , m_relay(std::make_shared<EventRelay>(this))
    , m_streamRelay(relay ? std::move(relay) : std::make_shared<StreamRelay>())
    , m_options(options)
    , m_session(SessionOptions{options.firstReconnectWait, options.maxReconnectWait})
{
    m_status = statusText(m_state);
    for (QTimer *timer : {&m_connectTimer, &m_reconnectTimer, &m_undecodableTimer, &m_audioOutputTimer})
        timer->setSingleShot(true);
    m_statsTimer.setInterval(500);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] { endEntry(EntryEnd::NoSound); });
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] { perform(m_session.reconnect()); });
    connect(&m_statsTimer, &QTimer::timeout, this, &VlcMediaPlayer::onStatsTick);
    connect(&m_undecodableTimer, &QTimer::timeout, this, &VlcMediaPlayer::checkUndecodable);
    connect(&m_audioOutputTimer, &QTimer::timeout, this, [this] {
        if (m_entry && !m_entry->player) {
            PlayerState waiting;
            waiting.kind = PlayerState::Kind::WaitingForAudioOutput;
            waiting.host = m_entry->host;
            setState(waiting);
        }
    });
    // Started a moment after the program, once its window is up: loading the engine, even on
    // another core, slows the window's own start-up by a fifth. A station asked for sooner
    // starts it at once.
    m_engineArgs = extraEngineArgs;
    QTimer::singleShot(kEngineStartDelay, this, &VlcMediaPlayer::ensureEngineStarted);
}

VlcMediaPlayer::~VlcMediaPlayer()
{
    m_relay->detach();
    retireEntry();
    // Give the players being stopped a moment, so they do not outlive the program's objects
    // in the common case; a player stuck on a dead server is left to its thread, which holds
    // the engine for as long as it needs it.
    (void)EngineReaper::waitIdle(std::chrono::seconds(2));
}

void VlcMediaPlayer::setUrl(const QString &url)
{
    ensureEngineStarted();
    m_url = url;
    if (m_unavailable)
        return;
    if (url.trimmed().isEmpty()) {
        stopSession();
        setState({});
        return;
    }
    perform(m_session.start(url));
}

QString VlcMediaPlayer::url() const
{
    return m_url;
}

void VlcMediaPlayer::play()
{
    if (m_unavailable || m_url.trimmed().isEmpty() || sessionActive())
        return;
    perform(m_session.start(m_url));
}

void VlcMediaPlayer::stop()
{
    if (m_unavailable)
        return;
    stopSession();
    PlayerState stopped;
    stopped.kind = PlayerState::Kind::Stopped;
    setState(stopped);
}

void VlcMediaPlayer::setVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
    if (m_entry && m_entry->player)
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
            PlayerState buffering;
            buffering.kind = PlayerState::Kind::Buffering;
            buffering.percent = int(value);
            setState(buffering);
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
        // The engine's own titles (an Ogg stream's, one that did not go through the relay),
        // unless the relay has titles of its own.
        if (e.relayTitles == 0)
            e.title = cleanMetadata(
                takeVlcString(libvlc_media_get_meta(e.media.get(), libvlc_meta_NowPlaying)));
        if (e.audioStarted)
            refreshPlayingStatus();
        break;
    case EngineEvent::EndReached:
    case EngineEvent::Error: {
        // libVLC's error events carry no reason; when nothing played, the probe finds one.
        if (e.audioStarted) {
            endEntry(EntryEnd::Lost);
            break;
        }
        QStringList subItems;
        for (const QString &found : subItemAddresses(e.media.get(), SessionOptions{}.maxEntries))
            subItems << m_streamRelay->originalAddress(found, engineAddress(e.address));
        // An HLS stream that listed only what may not be opened ends as a playlist would.
        subItems << e.report->read().refused;
        endEntry(EntryEnd::NoSound, subItems);
        break;
    }
    }
}

void VlcMediaPlayer::perform(const SessionAction &action)
{
    retireEntry();
    switch (action.kind) {
    case SessionAction::Kind::Open:
        m_reconnectTimer.stop();
        openEntry(action.address, action.attempt);
        break;
    case SessionAction::Kind::Probe:
        probe(action.address);
        break;
    case SessionAction::Kind::Reconnect: {
        if (action.wait.count() == 0) {
            perform(m_session.reconnect());
            break;
        }
        m_reconnectTimer.start(action.wait);
        PlayerState waiting;
        waiting.kind = PlayerState::Kind::WaitingToReconnect;
        waiting.stalled = action.stalled;
        waiting.attempt = action.attempt;
        waiting.waitSeconds = int((action.wait.count() + 999) / 1000);
        setState(waiting);
        break;
    }
    case SessionAction::Kind::Fail:
        fail(action.failure);
        break;
    }
}

void VlcMediaPlayer::openEntry(const QString &address, int attempt)
{
    if (!isStreamAddress(engineAddress(address))) {
        fail({Failure::CannotPlay, 0, {}});
        return;
    }
    auto e = std::make_unique<Entry>();
    e->id = m_nextEntryId++;
    e->address = address;
    e->host = displayHost(address);
    e->attempt = attempt;
    m_lastHost = e->host;
    m_entry = std::move(e);
    PlayerState connecting;
    connecting.kind = PlayerState::Kind::Connecting;
    connecting.host = m_entry->host;
    connecting.attempt = attempt;
    setState(connecting);
    m_audioOutputTimer.start(m_options.audioOutputPatience);
    if (*m_instance)
        attachMedia();
}

// Gives the entry its libVLC media, once the engine is up, and asks for a player for it.
void VlcMediaPlayer::attachMedia()
{
    Entry &e = *m_entry;
    e.instance = *m_instance;
    const QString address = engineAddress(e.address);
    const QString mrl = m_streamRelay->relayedAddress(address, e.report);
    e.media.reset(libvlc_media_new_location(m_instance->get(), mrl.toUtf8().constData()));
    if (e.media) {
        const bool mms = addressScheme(address) == QLatin1String("mmsh:");
        const int cachingMs = mms ? m_options.mmsNetworkCachingMs : m_options.networkCachingMs;
        const QByteArray caching = ":network-caching=" + QByteArray::number(cachingMs);
        libvlc_media_add_option(e.media.get(), caching.constData());
        // The engine reaches the relay as its proxy, whatever proxy the environment names:
        // the relay alone talks to servers, through the environment's proxy where it has one.
        if (mrl != address) {
            const QByteArray relay = m_streamRelay->proxyAddress().toUtf8();
            libvlc_media_add_option(e.media.get(), (":http-proxy=" + relay).constData());
            libvlc_media_add_option(e.media.get(), (":mmsh-proxy=" + relay).constData());
        }
    }
    if (!e.media) {
        fail({Failure::CannotPlay, 0, {}});
        return;
    }
    requestPlayer();
}

void VlcMediaPlayer::startEntry()
{
    Entry &e = *m_entry;
    m_audioOutputTimer.stop();
    libvlc_media_player_set_media(e.player.get(), e.media.get());
    e.attachEvents(m_relay);
    // Set now, before any sound exists; applied again when the sound starts.
    libvlc_audio_set_volume(e.player.get(), m_volume);

    if (m_state.kind == PlayerState::Kind::WaitingForAudioOutput) {
        PlayerState connecting;
        connecting.kind = PlayerState::Kind::Connecting;
        connecting.host = e.host;
        connecting.attempt = e.attempt;
        setState(connecting);
    }
    m_connectTimer.start(m_options.connectTimeout);
    if (isHttpEntry(e.address))
        m_undecodableTimer.start(m_options.undecodableTimeout);
    if (libvlc_media_player_play(e.player.get()) != 0)
        endEntry(EntryEnd::NoSound);
}

void VlcMediaPlayer::endEntry(EntryEnd how, const QStringList &subItems)
{
    retireEntry();
    perform(m_session.entryEnded(how, subItems));
}

void VlcMediaPlayer::retireEntry()
{
    m_connectTimer.stop();
    m_statsTimer.stop();
    m_undecodableTimer.stop();
    m_audioOutputTimer.stop();
    if (!m_entry)
        return;
    // The job owns the entry outright, so its last reference (and libVLC's stop, which may
    // wait on the network) always goes on the job's thread.
    Entry *retired = m_entry.release();
    if (!retired->player || !EngineReaper::run([retired] { delete retired; }))
        delete retired;
}

void VlcMediaPlayer::stopSession()
{
    m_reconnectTimer.stop();
    ++m_probeId;
    retireEntry();
    m_session.clear();
}

void VlcMediaPlayer::startAudio()
{
    Entry &e = *m_entry;
    e.audioStarted = true;
    m_connectTimer.stop();
    m_undecodableTimer.stop();
    m_session.entryPlaying();
    libvlc_audio_set_volume(e.player.get(), m_volume);
    e.title = cleanMetadata(takeVlcString(libvlc_media_get_meta(e.media.get(), libvlc_meta_NowPlaying)));
    e.health.emplace(m_options.stallTimeout);
    (void)e.takeRelayReport();
    e.sinceAudio.start();
    m_statsTimer.start();
    emit audioStarted();
    refreshPlayingStatus();
}

void VlcMediaPlayer::refreshPlayingStatus()
{
    if (!m_entry || !m_entry->audioStarted)
        return;
    setState(m_entry->playingState());
}

void VlcMediaPlayer::fail(const FailureReport &failure)
{
    retireEntry();
    m_session.clear();
    PlayerState failed;
    failed.kind = PlayerState::Kind::Failed;
    failed.failure = failure;
    failed.host = m_lastHost.isEmpty() ? displayHost(m_url) : m_lastHost;
    setState(failed);
}

void VlcMediaPlayer::setState(const PlayerState &state)
{
    m_state = state;
    const QString text = statusText(state);
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged(int(state.kind));
}

bool VlcMediaPlayer::sessionActive() const
{
    return m_entry || m_reconnectTimer.isActive();
}

QString VlcMediaPlayer::streamTitle() const
{
    return m_state.kind == PlayerState::Kind::Playing ? m_state.title : QString();
}

bool VlcMediaPlayer::isActive() const
{
    return sessionActive();
}

void VlcMediaPlayer::reconnectNowIfWaiting()
{
    if (!m_reconnectTimer.isActive()) {
        m_session.networkMayBeBack();
        return;
    }
    // One attempt: should it fail, the back-off goes on doubling from where it was.
    m_reconnectTimer.stop();
    perform(m_session.reconnect());
}

} // namespace tarvoni::vlc
