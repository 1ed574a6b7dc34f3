// Starting libVLC on a thread of its own: loading the engine and its plugins, and making the
// first player (which opens the audio output), cost more than the window's whole start-up, so
// the window shows meanwhile and what the player is asked before the engine is up waits for it.

#include "engine_log.h"
#include "engine_reaper.h"
#include "vlc_entry.h"

#include "net/network_policy.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tarvoni::vlc {

// The engine made on its thread, with the first player, on its way to the UI thread; whoever
// drops it without taking them releases both.
struct EngineParcel {
    Instance instance;
    std::atomic<libvlc_media_player_t *> spare{nullptr};
    std::string error;

    ~EngineParcel()
    {
        if (libvlc_media_player_t *left = spare.exchange(nullptr))
            libvlc_media_player_release(left);
    }
};

namespace {

Instance newEngine(const std::vector<QByteArray> &args, std::string *error)
{
    std::vector<const char *> argv;
    for (const QByteArray &arg : args)
        argv.push_back(arg.constData());
    Instance engine(libvlc_new(int(argv.size()), argv.data()));
    if (!engine) {
        const char *why = libvlc_errmsg();
        *error = why && *why ? std::string("the sound engine did not start (") + why + ")"
                             : std::string("the sound engine did not start; are VLC's plugins installed?");
        return engine;
    }
    libvlc_set_user_agent(engine.get(), net::kUserAgent, "TarvoniRadioPlayer/3.01");
    libvlc_log_set(engine.get(), &onEngineLog, nullptr);
    return engine;
}

// A quarter second of silence in MPEG audio: frames of 128 kbit/s at 44.1 kHz whose side
// information is all zero, which decoders play as silence.
constexpr int kSilentFrameBytes = 417;
constexpr int kSilentFrames = 10;

struct SilenceReader {
    size_t offset = 0;

    static int open(void *opaque, void **reader, uint64_t *size)
    {
        *reader = new SilenceReader;
        *size = uint64_t(kSilentFrameBytes) * kSilentFrames;
        Q_UNUSED(opaque);
        return 0;
    }
    static ssize_t read(void *opaque, unsigned char *buffer, size_t length)
    {
        auto *reader = static_cast<SilenceReader *>(opaque);
        const size_t total = size_t(kSilentFrameBytes) * kSilentFrames;
        const size_t n = std::min(length, total - std::min(total, reader->offset));
        for (size_t i = 0; i < n; ++i) {
            const size_t inFrame = (reader->offset + i) % kSilentFrameBytes;
            static constexpr unsigned char kHeader[] = {0xFF, 0xFB, 0x90, 0xC4};
            buffer[i] = inFrame < sizeof kHeader ? kHeader[inFrame] : 0;
        }
        reader->offset += n;
        return ssize_t(n);
    }
    static int seek(void *opaque, uint64_t offset)
    {
        static_cast<SilenceReader *>(opaque)->offset = size_t(offset);
        return 0;
    }
    static void close(void *opaque) { delete static_cast<SilenceReader *>(opaque); }
};

// The first stream an engine plays loads the demuxer, packetizer and decoder plugins (and
// their libraries) that later streams find loaded. Playing a moment of silence into a
// dummy output, before anyone asks for a station, pays that where nobody waits.
void warmUpDecoding(libvlc_instance_t *engine)
{
    MediaHandle media(libvlc_media_new_callbacks(engine, &SilenceReader::open, &SilenceReader::read,
                                                 &SilenceReader::seek, &SilenceReader::close, nullptr));
    if (!media)
        return;
    MediaPlayerHandle player(libvlc_media_player_new_from_media(media.get()));
    if (!player || libvlc_audio_output_set(player.get(), "adummy") != 0
        || libvlc_media_player_play(player.get()) != 0)
        return;
    using namespace std::chrono;
    const auto until = steady_clock::now() + seconds(3);
    for (;;) {
        const libvlc_state_t state = libvlc_media_player_get_state(player.get());
        if (state == libvlc_Ended || state == libvlc_Error || steady_clock::now() > until)
            break;
        std::this_thread::sleep_for(milliseconds(20));
    }
    libvlc_media_player_stop(player.get());
}

} // namespace

void VlcMediaPlayer::ensureEngineStarted()
{
    if (std::exchange(m_engineAsked, true))
        return;
    const bool started = EngineReaper::run(
        [args = engineArguments(std::exchange(m_engineArgs, {})), relay = m_relay] {
            auto parcel = std::make_shared<EngineParcel>();
            parcel->instance = newEngine(args, &parcel->error);
            if (parcel->instance)
                parcel->spare = libvlc_media_player_new(parcel->instance.get());
            const Instance engine = parcel->instance;
            relay->post([parcel](VlcMediaPlayer *player) { player->engineStarted(*parcel); });
            parcel.reset();
            if (engine)
                warmUpDecoding(engine.get());
        });
    if (!started)
        QMetaObject::invokeMethod(
            this, [this] { becomeUnavailable("the sound engine did not start; no thread for it"); },
            Qt::QueuedConnection);
}

void VlcMediaPlayer::engineStarted(EngineParcel &parcel)
{
    if (!parcel.instance) {
        becomeUnavailable(parcel.error);
        return;
    }
    *m_instance = std::move(parcel.instance);
    if (libvlc_media_player_t *made = parcel.spare.exchange(nullptr))
        m_spare = std::make_unique<SparePlayer>(SparePlayer{MediaPlayerHandle(made)});
    // A station asked for meanwhile starts now.
    if (m_entry && !m_entry->media)
        attachMedia();
}

void VlcMediaPlayer::becomeUnavailable(const std::string &reason)
{
    retireEntry();
    m_session.clear();
    m_reconnectTimer.stop();
    m_unavailable = true;
    PlayerState unavailable;
    unavailable.kind = PlayerState::Kind::Unavailable;
    unavailable.reason = QString::fromStdString(reason);
    setState(unavailable);
    qCWarning(lcEngine).noquote() << m_status;
}

} // namespace tarvoni::vlc
