// Measures how soon a station is heard through the media player, against loopback servers:
// from setting the address to the first decoded audio and to the "Playing" status, and from
// switching stations until the new one is heard.
//
// The first decoded audio is observed outside the player: libVLC's file audio output writes
// every decoded sample to a file, and inotify reports the file's first write.
//
//   bench_player_latency [runs] [name]   (default 15 runs per case; only the cases whose name
//                                         contains `name`, when given)
// Run through tests/in_private_network.sh as root, it also plays a dual-stack host whose IPv6
// drops every packet.
#include "loopback_servers.h"
#include "private_network.h"

#include "vlc/create_media_player.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tarvoni;
using Clock = std::chrono::steady_clock;

namespace {

// Timestamps of the audio file being opened and written, from inotify.
class AudioFileWatch {
public:
    explicit AudioFileWatch(const QString &path)
        : m_path(path)
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.close();
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(m_fd, path.toLocal8Bit().constData(), IN_OPEN | IN_MODIFY);
        m_thread = std::thread([this] { run(); });
    }
    ~AudioFileWatch()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }

    // The first write after `since`; when `afterOpen`, the first write after the file was
    // next opened (a new player's output), ignoring the writes of the one still playing.
    // The first time the audio output was opened after `since`: the first audio was decoded.
    std::optional<Clock::time_point> firstOpen(Clock::time_point since) const
    {
        std::lock_guard lock(m_mutex);
        for (const auto &[time, mask] : m_events) {
            if (time >= since && (mask & IN_OPEN))
                return time;
        }
        return std::nullopt;
    }

    std::optional<Clock::time_point> firstWrite(Clock::time_point since, bool afterOpen) const
    {
        std::lock_guard lock(m_mutex);
        bool opened = !afterOpen;
        for (const auto &[time, mask] : m_events) {
            if (time < since)
                continue;
            if (mask & IN_OPEN)
                opened = true;
            else if (opened && (mask & IN_MODIFY))
                return time;
        }
        return std::nullopt;
    }

private:
    void run()
    {
        alignas(inotify_event) char buffer[4096];
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const auto now = Clock::now();
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            // Opening the file truncates it, which also counts as a change: only a file with
            // samples in it has been written.
            const bool hasSamples = QFileInfo(m_path).size() > 0;
            std::lock_guard lock(m_mutex);
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                uint32_t mask = event->mask;
                if ((mask & IN_MODIFY) && !hasSamples)
                    mask &= ~uint32_t(IN_MODIFY);
                m_events.emplace_back(now, mask);
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

    QString m_path;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::pair<Clock::time_point, uint32_t>> m_events;
};

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char *what, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("  %-34s no successful run\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[size_t(std::lround(q * double(values.size() - 1)))]; };
    std::printf("  %-34s median %6.0f ms   min %6.0f   p90 %6.0f   max %6.0f   (n=%zu)\n", what, at(0.5),
                values.front(), at(0.9), values.back(), values.size());
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct Case {
    const char *name;
    QString url;
    QString switchTo; // another station, for the switching time
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    testing::LoopbackRadio radio;
    QString error;
    if (!radio.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    testing::IcecastRadio icecast;
    const bool haveIcecast = icecast.start(&error);
    if (!haveIcecast)
        std::fprintf(stderr, "Icecast left out: %s\n", qPrintable(error));

    QTemporaryDir dir;
    const QString audioFile = dir.filePath(QStringLiteral("decoded.raw"));
    AudioFileWatch watch(audioFile);
    auto player = createMediaPlayer(nullptr,
                                    {QStringLiteral("--aout=afile"),
                                     QStringLiteral("--audiofile-file=") + audioFile,
                                     QStringLiteral("--no-audiofile-wav")});
    std::optional<Clock::time_point> playingAt;
    QObject::connect(player.get(), &MediaPlayer::statusChanged, [&] {
        if (!playingAt && player->status().startsWith(QLatin1String("Playing")))
            playingAt = Clock::now();
    });

    std::vector<Case> cases{
        {"http, 2 s burst", radio.url(QStringLiteral("/stream")),
         radio.url(QStringLiteral("/stream?title=B"))},
        {"http, port only, 2 s burst", QStringLiteral("http://127.0.0.1:%1").arg(radio.port()), {}},
        {"http, no burst", radio.url(QStringLiteral("/stream?burst=0")),
         radio.url(QStringLiteral("/stream?burst=0&title=B"))},
        {"asx playlist, 2 s burst", radio.url(QStringLiteral("/list.asx")),
         radio.url(QStringLiteral("/list.pls"))},
        {"asx, first entry dead", radio.url(QStringLiteral("/deadfirst.asx")), {}},
    };
    // A host whose IPv6 drops every packet: only in a network of the bench's own.
    testing::BrokenIpv6 brokenIpv6;
    if (brokenIpv6.start(&error))
        cases.push_back({"http, no burst, IPv6 dropped",
                         QStringLiteral("http://dual-stack.test:%1/stream?burst=0").arg(radio.port()),
                         {}});
    else
        std::fprintf(stderr, "broken IPv6 left out: %s\n", qPrintable(error));
    if (haveIcecast)
        cases.push_back(
            {"Icecast (32 KiB burst)", icecast.streamUrl(), radio.url(QStringLiteral("/stream"))});
    testing::MmshRadio mms;
    if (mms.start(&error))
        cases.push_back(
            {"mms (VLC's MMS-over-HTTP server)", mms.mmsUrl(), radio.url(QStringLiteral("/stream"))});
    else
        std::fprintf(stderr, "mms left out: %s\n", qPrintable(error));

    std::printf("Player latency over %d runs per case (loopback servers, libVLC file audio output)\n", runs);
    for (const Case &c : cases) {
        if (!QLatin1String(c.name).contains(only))
            continue;
        std::vector<double> decoded, heard, playing, switched;
        for (int i = 0; i < runs; ++i) {
            player->stop();
            waitUntil([] { return false; }, 200);
            playingAt.reset();
            const auto start = Clock::now();
            player->setUrl(c.url);
            if (!waitUntil([&] { return playingAt && watch.firstWrite(start, false); }, 10000)) {
                std::fprintf(stderr, "  %s: run %d did not play (%s)\n", c.name, i,
                             qPrintable(player->status()));
                continue;
            }
            if (const auto opened = watch.firstOpen(start))
                decoded.push_back(ms(*opened - start));
            heard.push_back(ms(*watch.firstWrite(start, false) - start));
            playing.push_back(ms(*playingAt - start));
            if (c.switchTo.isEmpty())
                continue;
            waitUntil([] { return false; }, 500);
            const auto switchStart = Clock::now();
            player->setUrl(c.switchTo);
            if (waitUntil([&] { return bool(watch.firstWrite(switchStart, true)); }, 10000))
                switched.push_back(ms(*watch.firstWrite(switchStart, true) - switchStart));
        }
        std::printf("%s  (%s)\n", c.name, qPrintable(c.url));
        report("address set -> first decoded audio", decoded);
        report("address set -> first samples out", heard);
        report("address set -> \"Playing\" status", playing);
        if (!c.switchTo.isEmpty())
            report("switch -> new station heard", switched);
    }
    player->stop();
    return 0;
}
