// Measures the holes where a live HLS stream's timestamps start again: a steady tone from the
// loopback server whose timestamps go back to the start every two segments (4 s), played through
// the media player and, when it is installed, through mpv, heard from the null sink of a sound
// server of its own. The tone goes on unbroken across each restart, so every silence in what is
// heard is one the player made, and so is every jump in the tone's wave (sound left out).
//
// Cases: the restarts marked with #EXT-X-DISCONTINUITY, as servers do; unmarked, which the relay
// passes on as it did before it knew them (what the player made of every restart then); and no
// restarts at all.
//
//   bench_hls_restart_gaps [seconds] [name]   (default 24 s per case; only the cases whose name
//                                              contains `name`, when given)
#include "event_wait.h"
#include "loopback_servers.h"
#include "private_pulse_server.h"

#include "vlc/create_media_player.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace tarvoni;
using bench::waitUntil;

namespace {

constexpr int kRate = 44100; // the null sink's
// Silence is exact zeros, as the null sink plays when nothing comes: the tone crosses zero
// for a sample now and then, but is never quiet for a millisecond.
constexpr int kQuiet = 0;
constexpr qsizetype kMs = kRate / 1000;

// What the null sink plays, as 16-bit stereo frames, from the moment it starts.
class Capture {
public:
    explicit Capture(const QString &pulseServer)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), pulseServer);
        m_parec.setProcessEnvironment(env);
        QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, &m_parec,
                         [this] { m_bytes += m_parec.readAllStandardOutput(); });
        m_parec.start(QStringLiteral("parec"),
                      {QStringLiteral("--device=null.monitor"), QStringLiteral("--raw"),
                       QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                       QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=10")});
        m_parec.waitForStarted(5000);
    }
    ~Capture()
    {
        m_parec.kill();
        m_parec.waitForFinished(2000);
    }

    qsizetype frames() const { return m_bytes.size() / 4; }
    int left(qsizetype frame) const
    {
        qint16 sample;
        std::memcpy(&sample, m_bytes.constData() + frame * 4, 2);
        return sample;
    }
    bool loud(qsizetype frame) const
    {
        qint16 sample[2];
        std::memcpy(sample, m_bytes.constData() + frame * 4, 4);
        return std::abs(int(sample[0])) > kQuiet || std::abs(int(sample[1])) > kQuiet;
    }
    // Whether anything was heard from frame `*from` on; moves `*from` past what was looked at.
    bool heardFrom(qsizetype *from) const
    {
        for (; *from < frames(); ++*from) {
            if (loud(*from))
                return true;
        }
        return false;
    }

private:
    QProcess m_parec;
    QByteArray m_bytes;
};

struct Silence {
    double atSeconds; // after the first sound
    double ms;
};

struct Heard {
    std::vector<Silence> silences; // of 1 ms or more
    std::vector<double> jumps;     // where the tone jumps: sound left out (seconds after the first)
    int peak = 0;
};

// What was heard from the first sound up to frame `end`. Sound left out shows as a jump in the
// tone's wave: a second difference far beyond the sine's own, away from any silence.
Heard heard(const Capture &capture, qsizetype end)
{
    Heard found;
    qsizetype first = 0;
    while (first < end && !capture.loud(first))
        ++first;
    int peak = 0;
    for (qsizetype frame = first; frame < end; ++frame)
        peak = std::max(peak, std::abs(capture.left(frame)));
    found.peak = peak;
    qsizetype quietSince = -1;
    qsizetype lastSilence = first - 1; // the sound starts out of silence
    qsizetype lastJump = -kRate;
    for (qsizetype frame = first; frame <= end; ++frame) {
        if (frame < end && !capture.loud(frame)) {
            if (quietSince < 0)
                quietSince = frame;
            continue;
        }
        if (quietSince >= 0 && frame - quietSince >= 3)
            lastSilence = frame - 1;
        if (quietSince >= 0 && frame - quietSince >= kMs)
            found.silences.push_back({double(quietSince - first) / kRate, double(frame - quietSince) / kMs});
        quietSince = -1;
        // The wave bends no more than a sine does, but where sound was left out it breaks.
        if (frame + kMs >= end || frame - lastSilence < kMs || frame - lastJump < 10 * kMs)
            continue;
        const int bend = capture.left(frame + 1) - 2 * capture.left(frame) + capture.left(frame - 1);
        if (std::abs(bend) > peak / 8 && capture.loud(frame + kMs)) {
            found.jumps.push_back(double(frame - first) / kRate);
            lastJump = frame;
        }
    }
    return found;
}

void report(const char *name, const QString &address, const Heard &found, int seconds)
{
    std::printf("%s  (%s)\n", name, qPrintable(address));
    double longest = 0;
    int over20 = 0;
    for (const Silence &silence : found.silences) {
        std::printf("    silence of %6.1f ms at %5.2f s\n", silence.ms, silence.atSeconds);
        longest = std::max(longest, silence.ms);
        over20 += silence.ms > 20;
    }
    for (const double at : found.jumps)
        std::printf("    sound left out at %5.2f s\n", at);
    std::printf("  longest silence %.1f ms, %d over 20 ms; sound left out %zu times; in %d s (%d restarts; "
                "the tone's peak %d)\n",
                longest, over20, found.jumps.size(), seconds, seconds / 4, found.peak);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(4, atoi(argv[1])) : 24;
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    testing::LoopbackRadio radio;
    testing::PrivatePulseServer pulse;
    QString error;
    if (!radio.start(&error) || !pulse.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    qputenv("PULSE_SERVER", pulse.serverAddress().toUtf8());

    struct Case {
        const char *name;
        QString path;
        bool mpv = false;
    };
    const std::vector<Case> cases{
        {"player, restarts marked", QStringLiteral("/hls/live.m3u8?restart=2&id=marked")},
        {"player, restarts unmarked (as before)",
         QStringLiteral("/hls/live.m3u8?restart=2&unmarked=1&id=unmarked")},
        {"player, no restarts", QStringLiteral("/hls/live.m3u8?id=steady")},
        {"mpv, restarts marked", QStringLiteral("/hls/live.m3u8?restart=2&id=mpv"), true},
        {"mpv, restarts unmarked", QStringLiteral("/hls/live.m3u8?restart=2&unmarked=1&id=mpv-unmarked"),
         true},
    };
    const QString mpv = QStandardPaths::findExecutable(QStringLiteral("mpv"));
    std::printf("Holes in a steady tone over HLS whose timestamps start again every 4 s, %d s a case\n",
                seconds);
    for (const Case &c : cases) {
        if (!QLatin1String(c.name).contains(only))
            continue;
        if (c.mpv && mpv.isEmpty()) {
            std::printf("%s: mpv is not installed\n", c.name);
            continue;
        }
        const QString address = radio.url(c.path);
        Capture capture(pulse.serverAddress());
        if (!waitUntil([&] { return capture.frames() > kRate / 10; }, 5000)) {
            std::fprintf(stderr, "parec does not record\n");
            return 1;
        }
        qsizetype looked = capture.frames();
        std::unique_ptr<MediaPlayer> player;
        QProcess other;
        if (c.mpv) {
            other.start(mpv,
                        {QStringLiteral("--no-config"), QStringLiteral("--no-video"),
                         QStringLiteral("--really-quiet"), QStringLiteral("--ao=pulse"), address});
        } else {
            player = createMediaPlayer(nullptr, {QStringLiteral("--aout=pulse")});
            player->setVolume(100);
            player->setUrl(address);
        }
        if (!waitUntil([&] { return capture.heardFrom(&looked); }, 20000)) {
            std::printf("%s: nothing heard\n", c.name);
            continue;
        }
        bench::pause(seconds * 1000);
        const qsizetype end = capture.frames();
        if (player)
            player->stop();
        other.terminate();
        other.waitForFinished(5000);
        report(c.name, address, heard(capture, end), seconds);
    }
    return 0;
}
