// The whole program as a user meets it, beside a bare Qt window, two bare web views with the ad
// panes' pages, VLC's own player and mpv on the same loopback servers. See README (Benchmarks)
// for how to run it.
//
//   bench_program [--starts N] [--listen S] [--cpu S] [--settle MS] [--as-root]
//                 [--no-references] [--engine-flags "<switches>"] [--env NAME=VALUE]...
//                 [--soak MINUTES [--switch S]] [--only TEXT] [--stream-port PORT] [--window-only]
//                 [--clicks N] [--mms-trace] [--program PATH]
//
// --starts N       fresh starts of each program; figures are their medians (default 3)
// --listen S       seconds each station plays after it is heard; the gaps in that sound are
//                  counted as dropouts (default 2; 60 is the full dropout check)
// --cpu S          seconds over which CPU use while playing is taken (default 20)
// --settle MS      wait after both ad panes have loaded before the first click (default 1500)
// --as-root        keep the program as root (its web engine then runs without the sandbox);
//                  otherwise, run as root, the desktop and the programs run as nobody
// --no-references  only the program
// --engine-flags   Chromium switches to try on the panes' web engine, on top of the program's
// --env            a variable for the program's environment (it gets the desk's, nothing else)
// --soak MINUTES   instead: one start, a station change every --switch S (default 30)
//                  seconds, and the slope of the tree's PSS over the second half
// --only TEXT      only the kinds of station whose label contains TEXT ("mms", "HLS")
// --clicks N       each kind of station clicked N times in each start of the program (default
//                  1); its figure is the median of all clicks, its gaps those of all clicks
// --stream-port P  the http stations' server on port P instead of 8704 (while another run holds
//                  8704); the "port only" station, which can reach only 8704, is then left out
// With --listen, the reference players' gaps are counted too, and every gap is listed with
// its time after the sound was first heard.
// --window-only    instead: only start to window mapped, the program's and the bare window's
// --program PATH   the program to measure instead of the build's bench_tarvoni_program (a copy
//                  kept from before a change, to compare in the same session)
// --mms-trace      after each mms click, where its start spent its time: the relay's milestones
//                  and the engine's lines on starting to play (the engine's log is on meanwhile)

#include "desk.h"
#include "event_wait.h"
#include "figures.h"
#include "loopback_http_server.h"
#include "loopback_servers.h"
#include "mms_trace.h"
#include "process_tree.h"
#include "request_log.h"
#include "sound_capture.h"
#include "station_kinds.h"
#include "stream_server.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <unistd.h>

namespace {

using bench::figure;
using bench::Kind;
using bench::kNone;
using bench::median;
using bench::medianOf;
using bench::medianOfClicks;
using bench::ms;
using bench::nowNs;
using bench::ratio;
using bench::waitUntil;

constexpr int kStreamPort = 8704;         // the port of the "port only" station in the catalogue
constexpr int kPlayingBeforePssMs = 3000; // how long a program plays before its memory is taken
// A front gathers what the server sends for this long before it writes it on.
constexpr int kFrontGatherMs = 60;
constexpr const char *kAdPages[] = {"/3-1/1.php", "/3-1/2.php"}; // the ad server's, as the panes ask

struct Options {
    int starts = 3;
    int listenSeconds = 2;
    int cpuSeconds = 20;
    int settleMs = 1500;
    bool asRoot = false;
    bool references = true;
    int soakMinutes = 0;
    bool windowOnly = false;
    bool mmsTrace = false;
    int switchSeconds = 30;
    int clicks = 1;
    QString engineFlags;
    QString only;
    int streamPort = kStreamPort;
    QStringList environment; // NAME=VALUE
    QString program = QStringLiteral(TARVONI_BENCH_PROGRAM);
};

struct Bench {
    explicit Bench(const Options &o)
        : options(o)
    {
    }

    Options options;
    bench::Desk desk{options.asRoot};
    bench::SoundCapture sound;
    bench::StreamServer streams;
    // VLC's MMS server keeps no log: its listeners reach it through a port that notes when
    // each request came.
    tarvoni::testing::MmshRadio mms;
    bench::RequestLog mmsRequests;
    tarvoni::testing::MmshRadio mmsOnAir;
    bench::RequestLog onAirRequests;
    tarvoni::LoopbackHttpServer ads;
    std::vector<Kind> kinds;
    int broadcasts = 0; // the HLS broadcasts handed out so far

    // A new broadcast for each player of an HLS stream: each one's clock starts when it is first
    // asked for, and its tone lasts two minutes.
    QString fresh(const QString &text) { return bench::withBroadcast(text, ++broadcasts); }

    // Time from `fromNs` until the sound server played a sound, in ms.
    double heardAfter(qint64 fromNs, int timeoutMs = 15000)
    {
        qint64 heard = -1;
        waitUntil([&] { return (heard = sound.firstLoudAfter(fromNs)) >= 0; }, timeoutMs);
        return heard < 0 ? kNone : ms(heard - fromNs);
    }

    bool quiet()
    {
        const qint64 from = nowNs();
        return waitUntil([&] { return sound.quietFor(400, from); }, 10000);
    }
};

// --- The program ---------------------------------------------------------------------------

struct ProgramRun {
    QProcess process;
    QString window;
    QHash<QString, QPoint> buttons;
    QByteArray status;
    bench::MmsTrace trace;

    ProgramRun()
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, [this] { read(); });
        QObject::connect(&process, &QProcess::readyReadStandardError, &process, [this] {
            process.setReadChannel(QProcess::StandardError);
            while (process.canReadLine())
                trace.take(process.readLine().trimmed());
            process.setReadChannel(QProcess::StandardOutput);
        });
    }

    void read()
    {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            const QList<QByteArray> words = line.split(' ');
            if (words.value(0) == "button")
                buttons.insert(QString::fromLatin1(words.value(1)),
                               {words.value(2).toInt(), words.value(3).toInt()});
            else if (line.startsWith("status: "))
                status = line.mid(8);
        }
    }

    bool readButtons()
    {
        return waitUntil(
                   [this] {
                       return buttons.contains(QStringLiteral("stop"))
                           || process.state() == QProcess::NotRunning;
                   },
                   30000)
            && buttons.contains(QStringLiteral("stop"));
    }
};

struct StartFigures {
    double mappedMs = kNone;
    double firstClickMs = kNone;
    std::map<QString, std::vector<double>> laterMs; // each click's
    std::map<QString, bench::SoundCapture::Gaps> gaps;
    std::map<QString, int> wrongRequests;
    double pssMb = kNone;
    double ussMb = kNone;
    double aloneMb = kNone; // the tree's distinct pages: PSS were nothing else sharing them
    int processes = 0;
    int sharers = 0; // processes elsewhere on the machine that map the web engine's library
    double cpuPercent = kNone;
};

QStringList programArgs(Bench &b)
{
    QStringList args{QStringLiteral("ad=") + b.ads.baseUrl().authority(),
                     QStringLiteral("*=127.0.0.1:%1").arg(b.options.streamPort)};
    for (const Kind &kind : b.kinds)
        args << QLatin1String(kind.hostKey) + QLatin1Char('=') + b.fresh(kind.host);
    return args;
}

// Waits until a kind's server has been on the air as long as it is to be, and then a moment
// more: a user clicks at no particular time, while a server that sends its stream a packet at a
// time (an MMS server, every quarter second or so) would otherwise be clicked at the same point
// between two packets every time, which decides how soon the next one comes.
void waitToClick(const Kind &kind)
{
    const qint64 wait = kind.onAirNs - nowNs();
    if (wait > 0) {
        std::fprintf(stderr, "  (%.0f s until %s has been on the air long enough)\n", double(wait) / 1e9,
                     kind.label);
        bench::pause(int(wait / 1000000) + 1);
    }
    bench::pause(int(QRandomGenerator::global()->bounded(500)));
}

// Every request of an HLS station's between `fromNs` and `toNs` went to the stream server's
// port (else it would not be in its log) and to the stream's own playlists and segments. Prints
// what was asked for; returns the number of requests for anything else.
int checkHlsRequests(const Bench &b, qint64 fromNs, qint64 toNs)
{
    const bench::StreamServer::HlsRequests requests = b.streams.hlsRequestsBetween(fromNs, toNs);
    std::fprintf(stderr, "    requests: %d playlists, %d segments, %d others over %.0f s\n",
                 requests.playlists, requests.segments, requests.others, double(toNs - fromNs) / 1e9);
    return requests.others;
}

// Counts the gaps over the --listen seconds after `heardAt`, and lists them.
bench::SoundCapture::Gaps listen(Bench &b, qint64 heardAt)
{
    bench::pause(b.options.listenSeconds * 1000);
    bench::SoundCapture::Gaps gaps = b.sound.gapsBetween(
        heardAt, heardAt + qint64(b.options.listenSeconds) * 1000000000);
    for (const auto &[at, length] : gaps.list)
        std::fprintf(stderr, "    gap at %.2f s, %.0f ms\n", at / 1000, length);
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
        std::fprintf(stderr, "    heard at %.3f s of the monotonic clock\n", double(heardAt) / 1e9);
    return gaps;
}

// Clicks a station and returns how soon it was heard; with `gaps`, counts its dropouts over
// the --listen seconds after it was heard, and the requests of an HLS station that went
// elsewhere than its stream into `wrong`.
double clickStation(Bench &b, ProgramRun &run, const Kind &kind, bench::SoundCapture::Gaps *gaps,
                    int *wrong = nullptr)
{
    waitToClick(kind);
    const qint64 clicked = b.desk.click(run.window, run.buttons.value(QLatin1String(kind.station)));
    if (clicked < 0)
        return kNone;
    const double heard = b.heardAfter(clicked, 10000);
    if (std::isnan(heard))
        std::fprintf(stderr, "  %s not heard; the status line says \"%s\"\n", kind.label,
                     run.status.constData());
    // A check on the click's timestamp: the program's request comes after it.
    const qint64 request = kind.firstRequestAfter ? kind.firstRequestAfter(clicked - 200000000) : -1;
    if (request > 0)
        std::fprintf(stderr, "  (request %+.1f ms after the click)\n", ms(request - clicked));
    if (gaps && !std::isnan(heard)) {
        *gaps = listen(b, clicked + qint64(heard * 1e6));
        if (kind.hls && wrong)
            *wrong += checkHlsRequests(b, clicked - 200000000, nowNs());
    }
    if (b.options.mmsTrace)
        run.trace.print(clicked);
    return heard;
}

void stopPlaying(Bench &b, ProgramRun &run)
{
    b.desk.click(run.window, run.buttons.value(QStringLiteral("stop")));
    b.quiet();
}

bool startProgram(Bench &b, ProgramRun &run, StartFigures *figures)
{
    const int pagesBefore = b.ads.requestCount(kAdPages[1]);
    b.desk.forgetMapping();
    const qint64 started = nowNs();
    QProcessEnvironment extra;
    if (!b.options.engineFlags.isEmpty())
        extra.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), b.options.engineFlags);
    for (const QString &variable : b.options.environment)
        extra.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    // BENCH_PROGRAM_LOG=<file>: the program's stderr (with TARVONI_VLC_VERBOSE, the engine's log).
    if (qEnvironmentVariableIsSet("BENCH_PROGRAM_LOG"))
        run.process.setStandardErrorFile(qEnvironmentVariable("BENCH_PROGRAM_LOG"), QIODevice::Append);
    if (b.options.mmsTrace) {
        extra.insert(QStringLiteral("TARVONI_MMS_TRACE"), QStringLiteral("1"));
        extra.insert(QStringLiteral("TARVONI_VLC_VERBOSE"), QStringLiteral("1"));
    }
    b.desk.launch(run.process, b.options.program, programArgs(b), extra);
    if (!waitUntil([&] { return b.desk.mappedNs() >= 0; }, 30000) || !run.readButtons())
        return false;
    if (figures)
        figures->mappedMs = ms(b.desk.mappedNs() - started);
    run.window = b.desk.windowOf(run.process.processId());
    // As a user would: the window is there and its panes have loaded.
    waitUntil([&] { return b.ads.requestCount(kAdPages[1]) > pagesBefore; }, 30000);
    bench::pause(b.options.settleMs);
    return !run.window.isEmpty();
}

// With BENCH_VERBOSE set, the memory of each process and of each kind of mapping.
void printTree(const QList<qint64> &tree)
{
    if (!qEnvironmentVariableIsSet("BENCH_VERBOSE"))
        return;
    for (qint64 pid : tree) {
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(pid));
        command.open(QIODevice::ReadOnly);
        std::fprintf(stderr, "    %7lld %7.1f MB PSS %7.1f MB USS %7.1f MB resident  %s\n", pid,
                     bench::treePssKb({pid}) / 1024.0, bench::treeUssKb({pid}) / 1024.0,
                     bench::treeDistinctKb({pid}) / 1024.0,
                     command.readAll().replace('\0', ' ').left(80).constData());
    }
    QMap<QByteArray, qint64> byKind;
    bench::treeDistinctKb(tree, &byKind);
    for (auto it = byKind.cbegin(); it != byKind.cend(); ++it)
        std::fprintf(stderr, "    %7.1f MB  %s\n", it.value() / 1024.0, it.key().constData());
}

StartFigures measureProgramOnce(Bench &b)
{
    StartFigures figures;
    ProgramRun run;
    if (!startProgram(b, run, &figures)) {
        std::fprintf(stderr, "the program did not come up\n");
        bench::endTree(run.process.processId());
        return figures;
    }
    std::fprintf(stderr, "  mapped %.1f ms\n", figures.mappedMs);
    const Kind &first = b.kinds.front();
    figures.firstClickMs = clickStation(b, run, first, nullptr);
    std::fprintf(stderr, "  first click %.0f ms\n", figures.firstClickMs);
    bench::pause(1000);
    stopPlaying(b, run);
    for (int click = 0; click < b.options.clicks; ++click) {
        for (const Kind &kind : b.kinds) {
            const QString label = QLatin1String(kind.label);
            bench::SoundCapture::Gaps gaps;
            const double heard = clickStation(b, run, kind, &gaps, &figures.wrongRequests[label]);
            figures.laterMs[label].push_back(heard);
            bench::SoundCapture::Gaps &all = figures.gaps[label];
            all.count += gaps.count;
            all.totalMs += gaps.totalMs;
            std::fprintf(stderr, "  %s %.0f ms, %d gaps\n", kind.label, heard, gaps.count);
            stopPlaying(b, run);
        }
    }
    // While playing the first kind of station, both panes loaded.
    clickStation(b, run, first, nullptr);
    bench::pause(kPlayingBeforePssMs);
    const QList<qint64> tree = bench::processTree(run.process.processId());
    figures.pssMb = bench::treePssKb(tree) / 1024.0;
    figures.ussMb = bench::treeUssKb(tree) / 1024.0;
    figures.aloneMb = bench::treeDistinctKb(tree) / 1024.0;
    figures.processes = int(tree.size());
    figures.sharers = bench::processesMappingOutside("libQt6WebEngineCore.so", tree);
    std::fprintf(stderr,
                 "  PSS %.1f MB (alone %.1f MB), USS %.1f MB, %d processes; %d processes elsewhere map the "
                 "web engine\n",
                 figures.pssMb, figures.aloneMb, figures.ussMb, figures.processes, figures.sharers);
    printTree(tree);
    figures.cpuPercent = bench::treeCpuPercent(run.process.processId(), b.options.cpuSeconds);
    const QList<qint64> later = bench::processTree(run.process.processId());
    std::fprintf(stderr, "  after the CPU time: PSS %.1f MB (alone %.1f MB), USS %.1f MB\n",
                 bench::treePssKb(later) / 1024.0, bench::treeDistinctKb(later) / 1024.0,
                 bench::treeUssKb(later) / 1024.0);
    printTree(later);
    bench::endTree(run.process.processId());
    return figures;
}

// --- References ----------------------------------------------------------------------------

struct ReferenceFigures {
    double mappedMs = kNone;                               // the bare window
    double textMappedMs = kNone;                           // the bare window with a line of text
    std::map<QString, std::vector<double>> startToHeardMs; // the players, by kind, each play's
    std::map<QString, std::vector<double>> requestToHeardMs;
    std::map<QString, bench::SoundCapture::Gaps> gaps; // with --listen beyond the default
    double pssMb = kNone;
    double cpuPercent = kNone;
    double webViewsPssMb = kNone; // the two web views'
    double webViewsAloneMb = kNone;
};

// Starts a reference window (`program` with `args`), and once its window is mapped and `ready`
// holds, lets it settle for `settleMs` and takes its tree's PSS into `pssMb` and its memory alone
// into `aloneMb` (those given) before ending it. Returns start to window mapped.
double runWindow(
    Bench &b, const char *program, const QStringList &args, int settleMs, double *pssMb = nullptr,
    const std::function<bool()> &ready = [] { return true; }, double *aloneMb = nullptr)
{
    QProcess window;
    b.desk.forgetMapping();
    const qint64 started = nowNs();
    b.desk.launch(window, QLatin1String(program), args);
    double mapped = kNone;
    if (waitUntil([&] { return b.desk.mappedNs() >= 0; }, 30000))
        mapped = ms(b.desk.mappedNs() - started);
    const bool isReady = waitUntil(ready, 30000);
    bench::pause(settleMs);
    const QList<qint64> tree = bench::processTree(window.processId());
    if (pssMb && isReady)
        *pssMb = bench::treePssKb(tree) / 1024.0;
    if (aloneMb && isReady)
        *aloneMb = bench::treeDistinctKb(tree) / 1024.0;
    bench::endTree(window.processId());
    return mapped;
}

ReferenceFigures measureBareWindow(Bench &b)
{
    ReferenceFigures figures;
    figures.mappedMs = runWindow(b, TARVONI_BARE_WINDOW, {}, 1000, &figures.pssMb);
    bench::pause(1000);
    figures.textMappedMs = runWindow(b, TARVONI_BARE_WINDOW, {QStringLiteral("text")}, 1000);
    return figures;
}

// The web engine's own floor: two web views of the panes' sizes loading the same pages from the
// same ad server, with the engine's defaults. Once both pages have been served, let settle as
// long as the program is between its panes loading and its memory taken (at the least), and
// then the tree's PSS and its memory alone.
void measureTwoWebViews(Bench &b, ReferenceFigures &figures)
{
    QStringList pages;
    std::vector<int> before;
    for (const char *page : kAdPages) {
        pages << b.ads.baseUrl().resolved(QUrl(QLatin1String(page))).toString();
        before.push_back(b.ads.requestCount(page));
    }
    const auto served = [&] {
        for (size_t i = 0; i < before.size(); ++i) {
            if (b.ads.requestCount(kAdPages[i]) <= before[i])
                return false;
        }
        return true;
    };
    runWindow(b, TARVONI_TWO_WEB_VIEWS, pages, b.options.settleMs + kPlayingBeforePssMs,
              &figures.webViewsPssMb, served, &figures.webViewsAloneMb);
    std::fprintf(stderr, "  two web views: PSS %.1f MB (alone %.1f MB)%s\n", figures.webViewsPssMb,
                 figures.webViewsAloneMb,
                 std::isnan(figures.webViewsPssMb) ? " (their pages were not both served)" : "");
}

// Starts a player on one kind's stream; returns when it was started.
qint64 startPlayer(Bench &b, QProcess &player, const QStringList &command, const Kind &kind)
{
    player.setStandardOutputFile(QProcess::nullDevice());
    player.setStandardErrorFile(QProcess::nullDevice());
    const qint64 started = nowNs();
    b.desk.launch(player, command.front(), command.mid(1) << b.fresh(kind.url));
    return started;
}

ReferenceFigures measurePlayer(Bench &b, const QStringList &command)
{
    ReferenceFigures figures;
    for (int play = 0; play < b.options.clicks; ++play) {
        for (const Kind &kind : b.kinds) {
            const QString label = QLatin1String(kind.label);
            waitToClick(kind);
            QProcess player;
            const qint64 started = startPlayer(b, player, command, kind);
            const double heard = b.heardAfter(started, 15000);
            const qint64 request = kind.firstRequestAfter ? kind.firstRequestAfter(started) : -1;
            figures.startToHeardMs[label].push_back(heard);
            if (request > 0 && !std::isnan(heard))
                figures.requestToHeardMs[label].push_back(heard - ms(request - started));
            std::fprintf(stderr, "  %s: %s %.0f ms (%.0f ms after its request)\n",
                         qPrintable(command.front()), kind.label, heard,
                         request > 0 ? heard - ms(request - started) : kNone);
            if (b.options.listenSeconds > Options{}.listenSeconds && !std::isnan(heard)) {
                const bench::SoundCapture::Gaps gaps = listen(b, started + qint64(heard * 1e6));
                figures.gaps[label].count += gaps.count;
                figures.gaps[label].totalMs += gaps.totalMs;
                std::fprintf(stderr, "  %s: %s %d gaps\n", qPrintable(command.front()), kind.label,
                             gaps.count);
            }
            bench::endTree(player.processId());
            b.quiet();
        }
    }
    // Memory and CPU while playing the stream the program is measured on.
    QProcess player;
    const qint64 started = startPlayer(b, player, command, b.kinds.front());
    if (!std::isnan(b.heardAfter(started))) {
        bench::pause(kPlayingBeforePssMs);
        figures.pssMb = bench::treePssKb(bench::processTree(player.processId())) / 1024.0;
        figures.cpuPercent = bench::treeCpuPercent(player.processId(), b.options.cpuSeconds);
    }
    bench::endTree(player.processId());
    b.quiet();
    return figures;
}

// --- The hour-long mode --------------------------------------------------------------------

// Least-squares slope of (hours, MB) samples.
double slopePerHour(const std::vector<std::pair<double, double>> &samples)
{
    const double n = double(samples.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto &[x, y] : samples) {
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double d = n * sxx - sx * sx;
    return n < 2 || d == 0 ? kNone : (n * sxy - sx * sy) / d;
}

int soak(Bench &b)
{
    ProgramRun run;
    if (!startProgram(b, run, nullptr)) {
        std::fprintf(stderr, "the program did not come up\n");
        return 1;
    }
    const qint64 begun = nowNs();
    const int changes = b.options.soakMinutes * 60 / b.options.switchSeconds;
    // An HLS station's broadcast is two minutes of tone for each start of the program: it is
    // left out of the hour.
    std::vector<Kind> kinds;
    std::copy_if(b.kinds.begin(), b.kinds.end(), std::back_inserter(kinds),
                 [](const Kind &kind) { return !kind.hls; });
    std::vector<std::pair<double, double>> samples;
    std::vector<std::pair<double, double>> aloneSamples;
    for (int i = 0; i < changes; ++i) {
        const Kind &kind = kinds[size_t(i) % kinds.size()];
        b.desk.click(run.window, run.buttons.value(QLatin1String(kind.station)));
        bench::pause(b.options.switchSeconds * 1000);
        b.sound.forget();
        const QList<qint64> tree = bench::processTree(run.process.processId());
        const double hours = double(nowNs() - begun) / 3.6e12;
        samples.emplace_back(hours, bench::treePssKb(tree) / 1024.0);
        aloneSamples.emplace_back(hours, bench::treeDistinctKb(tree) / 1024.0);
        std::printf("%6.1f min  %7.1f MB  (alone %7.1f MB)  after %s\n", hours * 60, samples.back().second,
                    aloneSamples.back().second, kind.label);
        std::fflush(stdout);
    }
    bench::endTree(run.process.processId());
    const auto secondHalfSlope = [](const std::vector<std::pair<double, double>> &all) {
        return slopePerHour({all.begin() + qsizetype(all.size() / 2), all.end()});
    };
    std::printf(
        "\nPSS of the whole tree: %s at the first change, %s at the last; slope over the second half %s, "
        "alone %s (%d changes, one every %d s)\n",
        qPrintable(figure(samples.empty() ? kNone : samples.front().second, "MB", 1)),
        qPrintable(figure(samples.empty() ? kNone : samples.back().second, "MB", 1)),
        qPrintable(figure(secondHalfSlope(samples), "MB/h", 2)),
        qPrintable(figure(secondHalfSlope(aloneSamples), "MB/h", 2)), changes, b.options.switchSeconds);
    return 0;
}

// --- Start to window mapped alone ------------------------------------------------------

int windowOnly(Bench &b)
{
    std::vector<double> ours, bare, text;
    for (int i = 0; i < b.options.starts; ++i) {
        // Each on a quiet desk: what the last one left behind has ended.
        bench::pause(1000);
        ProgramRun run;
        StartFigures figures;
        startProgram(b, run, &figures);
        bench::endTree(run.process.processId());
        ours.push_back(figures.mappedMs);
        bench::pause(1000);
        const ReferenceFigures reference = measureBareWindow(b);
        bare.push_back(reference.mappedMs);
        text.push_back(reference.textMappedMs);
        std::fprintf(stderr,
                     "start %d of %d: mapped %.1f ms, bare Qt window %.1f ms, with a line of text %.1f ms\n",
                     i + 1, b.options.starts, ours.back(), bare.back(), text.back());
    }
    std::printf(
        "start to window mapped, median of %d starts: %s, bare Qt window %s%s, with a line of text %s%s\n",
        b.options.starts, qPrintable(figure(median(ours), "ms", 1)),
        qPrintable(figure(median(bare), "ms", 1)), qPrintable(ratio(median(ours), median(bare))),
        qPrintable(figure(median(text), "ms", 1)), qPrintable(ratio(median(ours), median(text))));
    return 0;
}

// --- The table -----------------------------------------------------------------------------

void row(const QString &name, const QString &ours, const QStringList &references = {})
{
    std::printf("%-58s %-36s %s\n", qPrintable(name), qPrintable(ours),
                qPrintable(references.join(QStringLiteral("; "))));
}

void printTable(const Bench &b, const std::vector<StartFigures> &ours,
                const std::vector<ReferenceFigures> &bare,
                const std::map<QString, std::vector<ReferenceFigures>> &players)
{
    std::printf(
        "\nmedians of %d fresh starts (%d clicks of each kind in each); heard = first audible sample the "
        "sound server played\n",
        b.options.starts, b.options.clicks);
    std::printf(
        "references: players from their start (and from their first request to the stream server)\n\n");
    row(QStringLiteral("figure"), QStringLiteral("Tarvoni"),
        {QStringLiteral("references (Tarvoni ÷ reference)")});
    const double mapped = medianOf(ours, [](const StartFigures &f) { return f.mappedMs; });
    const double bareMapped = medianOf(bare, [](const ReferenceFigures &f) { return f.mappedMs; });
    const double textMapped = medianOf(bare, [](const ReferenceFigures &f) { return f.textMappedMs; });
    row(QStringLiteral("start to window mapped"), figure(mapped, "ms", 1),
        {QStringLiteral("bare Qt window %1%2").arg(figure(bareMapped, "ms", 1), ratio(mapped, bareMapped)),
         QStringLiteral("with a line of text %1%2")
             .arg(figure(textMapped, "ms", 1), ratio(mapped, textMapped))});
    const double firstClick = medianOf(ours, [](const StartFigures &f) { return f.firstClickMs; });
    const QString firstLabel = QLatin1String(b.kinds.front().label);
    const double laterFirstKind = medianOfClicks(ours, &StartFigures::laterMs, firstLabel);
    row(QStringLiteral("%1, the first click after start").arg(firstLabel), figure(firstClick, "ms"),
        {QStringLiteral("the same station clicked later %1%2")
             .arg(figure(laterFirstKind, "ms"), ratio(firstClick, laterFirstKind))});
    for (const Kind &kind : b.kinds) {
        const QString label = QLatin1String(kind.label);
        const double later = medianOfClicks(ours, &StartFigures::laterMs, label);
        QStringList references;
        for (const auto &[name, runs] : players) {
            const double start = medianOfClicks(runs, &ReferenceFigures::startToHeardMs, label);
            const double request = medianOfClicks(runs, &ReferenceFigures::requestToHeardMs, label);
            QString text = QStringLiteral("%1 %2%3").arg(name, figure(start, "ms"), ratio(later, start));
            if (!std::isnan(request))
                text += QStringLiteral(" (%1%2)").arg(figure(request, "ms"), ratio(later, request));
            references << text;
        }
        row(QStringLiteral("%1, a later click").arg(label), figure(later, "ms"), references);
        // The aim for mms: heard no later than mpv is from its own request, and 50 ms.
        const auto mpv = players.find(QStringLiteral("mpv"));
        if (label.startsWith(QLatin1String("mms")) && mpv != players.end()) {
            const double goal = medianOfClicks(mpv->second, &ReferenceFigures::requestToHeardMs, label) + 50;
            if (!std::isnan(goal) && !std::isnan(later))
                row(QStringLiteral("  aim: mpv from its request + 50 ms"), figure(goal, "ms"),
                    {later <= goal ? QStringLiteral("met") : QStringLiteral("missed"),
                     bench::spread(bench::clicksOf(ours, &StartFigures::laterMs, label))});
        }
    }
    const double pss = medianOf(ours, [](const StartFigures &f) { return f.pssMb; });
    const double uss = medianOf(ours, [](const StartFigures &f) { return f.ussMb; });
    const double alone = medianOf(ours, [](const StartFigures &f) { return f.aloneMb; });
    const double processes = medianOf(ours, [](const StartFigures &f) { return double(f.processes); });
    const double webViews = medianOf(bare, [](const ReferenceFigures &f) { return f.webViewsPssMb; });
    const double webViewsAlone = medianOf(bare, [](const ReferenceFigures &f) { return f.webViewsAloneMb; });
    QStringList pssReferences{
        QStringLiteral("bare Qt window %1")
            .arg(figure(medianOf(bare, [](const ReferenceFigures &f) { return f.pssMb; }), "MB", 1)),
        QStringLiteral("two web views %1%2, alone %3%4")
            .arg(figure(webViews, "MB", 1), ratio(pss, webViews), figure(webViewsAlone, "MB", 1),
                 ratio(alone, webViewsAlone))};
    QStringList cpuReferences;
    const double cpu = medianOf(ours, [](const StartFigures &f) { return f.cpuPercent; });
    for (const auto &[name, runs] : players) {
        const double theirPss = medianOf(runs, [](const ReferenceFigures &f) { return f.pssMb; });
        const double theirCpu = medianOf(runs, [](const ReferenceFigures &f) { return f.cpuPercent; });
        pssReferences << QStringLiteral("%1 %2%3").arg(name, figure(theirPss, "MB", 1), ratio(pss, theirPss));
        cpuReferences << QStringLiteral("%1 %2%3").arg(name, figure(theirCpu, "%", 2), ratio(cpu, theirCpu));
    }
    row(QStringLiteral("PSS of the whole tree while playing, panes loaded"),
        QStringLiteral("%1 (alone %2, USS %3, %4 processes, %5)")
            .arg(figure(pss, "MB", 1), figure(alone, "MB", 1), figure(uss, "MB", 1))
            .arg(processes)
            .arg(b.desk.unprivileged() || ::geteuid() != 0 ? QStringLiteral("user") : QStringLiteral("root")),
        pssReferences);
    row(QStringLiteral("CPU while playing, %1 s (% of one core)").arg(b.options.cpuSeconds),
        figure(cpu, "%", 2), cpuReferences);
    const auto dropouts = [&](const auto &runs) {
        QStringList texts;
        for (const Kind &kind : b.kinds) {
            int count = 0;
            double total = 0;
            for (const auto &f : runs) {
                const auto it = f.gaps.find(QLatin1String(kind.label));
                if (it != f.gaps.end()) {
                    count += it->second.count;
                    total += it->second.totalMs;
                }
            }
            texts << QStringLiteral("%1: %2 (%3 ms)").arg(QLatin1String(kind.label)).arg(count).arg(total);
        }
        return texts;
    };
    row(QStringLiteral("gaps ≥ 20 ms in the first %1 s after heard, all starts").arg(b.options.listenSeconds),
        QString(), dropouts(ours));
    if (b.options.listenSeconds > Options{}.listenSeconds) {
        for (const auto &[name, runs] : players)
            row(QStringLiteral("  the same, %1").arg(name), QString(), dropouts(runs));
    }
    QStringList wrong;
    for (const Kind &kind : b.kinds) {
        if (!kind.hls)
            continue;
        const QString label = QLatin1String(kind.label);
        int count = 0;
        for (const StartFigures &f : ours) {
            const auto it = f.wrongRequests.find(label);
            count += it == f.wrongRequests.end() ? 0 : it->second;
        }
        wrong << QStringLiteral("%1: %2").arg(label).arg(count);
    }
    if (!wrong.isEmpty())
        row(QStringLiteral("HLS requests for anything but the stream, all starts"), QString(), wrong);
    const double sharers = medianOf(ours, [](const StartFigures &f) { return double(f.sharers); });
    std::printf(
        "\nPSS counts the web engine's library (some 100 MB of it resident) in full only while no other\n"
        "process on the machine maps it; %.0f others did (median), which lowers the figure. \"alone\"\n"
        "counts each page the tree holds once, as PSS would with nothing else running.\n",
        sharers);
    std::printf("ad server: /favicon.ico asked for %d times over all starts\n",
                b.ads.requestCount("/favicon.ico"));
}

// --- Setting up ----------------------------------------------------------------------------

Options parseOptions(const QStringList &args)
{
    Options o;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const auto number = [&](int least) { return std::max(least, args.value(++i).toInt()); };
        if (arg == QLatin1String("--starts"))
            o.starts = number(1);
        else if (arg == QLatin1String("--listen"))
            o.listenSeconds = number(0);
        else if (arg == QLatin1String("--cpu"))
            o.cpuSeconds = number(1);
        else if (arg == QLatin1String("--settle"))
            o.settleMs = number(0);
        else if (arg == QLatin1String("--soak"))
            o.soakMinutes = number(1);
        else if (arg == QLatin1String("--switch"))
            o.switchSeconds = number(1);
        else if (arg == QLatin1String("--engine-flags"))
            o.engineFlags = args.value(++i);
        else if (arg == QLatin1String("--only"))
            o.only = args.value(++i);
        else if (arg == QLatin1String("--stream-port"))
            o.streamPort = number(1);
        else if (arg == QLatin1String("--clicks"))
            o.clicks = number(1);
        else if (arg == QLatin1String("--env"))
            o.environment << args.value(++i);
        else if (arg == QLatin1String("--as-root"))
            o.asRoot = true;
        else if (arg == QLatin1String("--window-only"))
            o.windowOnly = true;
        else if (arg == QLatin1String("--program"))
            o.program = args.value(++i);
        else if (arg == QLatin1String("--mms-trace"))
            o.mmsTrace = true;
        else if (arg == QLatin1String("--no-references"))
            o.references = false;
    }
    return o;
}

// The kinds of station to measure, with their servers started.
bool setUpKinds(Bench &b, const QString &workDir)
{
    const auto wanted = [&](const Kind &kind) {
        const bool portOnly = QLatin1String(kind.station) == QLatin1String("nilwala");
        return QLatin1String(kind.label).contains(b.options.only)
            && !(portOnly && b.options.streamPort != kStreamPort);
    };
    const auto isStation = [](const Kind &kind, const char *station) {
        return QLatin1String(kind.station) == QLatin1String(station);
    };
    const std::vector<Kind> all = bench::makeKinds({});
    const auto needs = [&](const char *station) {
        return !b.options.windowOnly && std::any_of(all.begin(), all.end(), [&](const Kind &kind) {
            return wanted(kind) && isStation(kind, station);
        });
    };
    // Tones longer than the whole run (each start listens to the program and to two reference
    // players), so that the server's stream, which ends at each turn of the tone, does not end
    // while it is listened to.
    const int toneSeconds = b.options.soakMinutes > 0
        ? 20
        : b.options.starts * b.options.clicks * (3 * b.options.listenSeconds + 60) + 120;
    QString error;
    if (needs("sirasa") && !b.mms.start(&error, toneSeconds)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    // Real MMS servers broadcast all day: a listener joins a broadcast long under way, through
    // a front of the station's own at times.
    const qint64 onAirFor = 60000000000LL;
    const bool front = needs("yfm");
    if ((needs("ravsfm") || front)
        && (!b.mmsOnAir.start(&error, toneSeconds)
            || (needs("ravsfm") && !b.onAirRequests.start(QUrl(b.mmsOnAir.mmsUrl()).port())))) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    if (front)
        b.mmsRequests.addFront("YFM", QUrl(b.mmsOnAir.mmsUrl()).port(), kFrontGatherMs);
    if ((needs("sirasa") || front)
        && !b.mmsRequests.start(needs("sirasa") ? QUrl(b.mms.mmsUrl()).port() : 0)) {
        std::fprintf(stderr, "the MMS servers' request log did not start\n");
        return false;
    }
    const qint64 onAirSince = nowNs();
    for (Kind &kind :
         bench::makeKinds({b.options.streamPort, b.mmsRequests.port(), b.onAirRequests.port()})) {
        if (!wanted(kind))
            continue;
        const bench::RequestLog *requests = isStation(kind, "sirasa") || isStation(kind, "yfm")
            ? &b.mmsRequests
            : isStation(kind, "ravsfm") ? &b.onAirRequests
                                        : nullptr;
        if (requests)
            kind.firstRequestAfter = [requests](qint64 fromNs) {
                return requests->firstRequestAfter(fromNs);
            };
        else
            kind.firstRequestAfter = [&b](qint64 fromNs) { return b.streams.firstRequestAfter(fromNs); };
        if (isStation(kind, "ravsfm") || isStation(kind, "yfm"))
            kind.onAirNs = onAirSince + onAirFor;
        b.kinds.push_back(kind);
    }
    if (b.kinds.empty()) {
        std::fprintf(stderr, "no kind of station matches --only %s\n", qPrintable(b.options.only));
        return false;
    }
    // The stream server serves the http stations (and logs their requests) on a fixed port.
    const bool http = std::any_of(b.kinds.begin(), b.kinds.end(), [&](const Kind &kind) {
        return !isStation(kind, "sirasa") && !isStation(kind, "ravsfm") && !isStation(kind, "yfm");
    });
    if (http && !b.options.windowOnly && !b.streams.start(workDir, b.options.streamPort)) {
        std::fprintf(stderr, "the stream server did not start on port %d\n", b.options.streamPort);
        return false;
    }
    // The stream server makes its HLS segments when first asked for them, which takes seconds:
    // not on the first click.
    if (http && !b.options.windowOnly
        && tarvoni::testing::loopbackGet(b.options.streamPort, "/hls/live.m3u8?id=warm-up").isEmpty()) {
        std::fprintf(stderr, "the stream server made no HLS stream\n");
        return false;
    }
    return true;
}

bool setUp(Bench &b, const QString &workDir)
{
    QString error;
    b.ads.setPage(kAdPages[0], {200, "<html><body style='margin:0;background:#fc0'>Ad one</body></html>"});
    b.ads.setPage(kAdPages[1], {200, "<html><body style='margin:0;background:#0cf'>Ad two</body></html>"});
    if (!b.ads.start()) {
        std::fprintf(stderr, "the ad server did not start\n");
        return false;
    }
    if (!b.desk.start(QStringLiteral(TARVONI_STATUS_NOTIFIER_WATCHER), &error)
        || !b.sound.start(b.desk.environment(), b.desk.monitorSource())) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(error.isEmpty() ? QStringLiteral("parec did not start") : error));
        return false;
    }
    return setUpKinds(b, workDir);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Bench b{parseOptions(app.arguments())};
    QTemporaryDir work;
    if (!setUp(b, work.path()))
        return 1;
    if (b.options.soakMinutes > 0)
        return soak(b);
    if (b.options.windowOnly)
        return windowOnly(b);

    std::map<QString, QStringList> playerCommands;
    const bool root = ::geteuid() == 0 && !b.desk.unprivileged();
    if (b.options.references && !QStandardPaths::findExecutable(QStringLiteral("cvlc")).isEmpty() && !root)
        playerCommands[QStringLiteral("VLC's player")] = {QStringLiteral("cvlc"),
                                                          QStringLiteral("--no-video")};
    if (b.options.references && !QStandardPaths::findExecutable(QStringLiteral("mpv")).isEmpty())
        playerCommands[QStringLiteral("mpv")] = {QStringLiteral("mpv"), QStringLiteral("--no-video"),
                                                 QStringLiteral("--no-terminal")};

    std::vector<StartFigures> ours;
    std::vector<ReferenceFigures> bare;
    std::map<QString, std::vector<ReferenceFigures>> players;
    for (int i = 0; i < b.options.starts; ++i) {
        std::fprintf(stderr, "start %d of %d\n", i + 1, b.options.starts);
        ours.push_back(measureProgramOnce(b));
        if (b.options.references) {
            bare.push_back(measureBareWindow(b));
            measureTwoWebViews(b, bare.back());
        }
        for (const auto &[name, command] : playerCommands)
            players[name].push_back(measurePlayer(b, command));
    }
    printTable(b, ours, bare, players);
    return 0;
}
