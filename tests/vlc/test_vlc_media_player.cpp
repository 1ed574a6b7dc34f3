// The libVLC media player against real servers on 127.0.0.1.
#include "loopback_servers.h"
#include "player_test_support.h"
#include "private_pulse_server.h"
#include "ui_watchdog.h"

#include "patience.h"
#include "vlc/create_media_player.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

#include <dlfcn.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace tarvoni;
using namespace tarvoni::testing;

namespace {

const QStringList kQuietOutput{QStringLiteral("--aout=adummy")};
// ALSA's null device: a real audio output with a volume, on any machine.
const QStringList kNullSink{QStringLiteral("--aout=alsa"), QStringLiteral("--alsa-audio-device=null")};

bool isPlaying(const MediaPlayer &player)
{
    return player.status().startsWith(QLatin1String("Playing"));
}

// Whether any UDP socket on this machine is bound to `port`.
bool udpPortBound(int port)
{
    const QByteArray suffix = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const char *table : {"/proc/self/net/udp", "/proc/self/net/udp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray &line : lines.mid(1)) {
            if (line.simplified().split(' ').value(1).endsWith(suffix))
                return true;
        }
    }
    return false;
}

// Tells whether anyone opened a file since the watch began.
class FileOpenWatch {
public:
    explicit FileOpenWatch(const QString &path)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS);
    }
    ~FileOpenWatch() { ::close(m_fd); }
    bool opened() const
    {
        char buffer[4096];
        return ::read(m_fd, buffer, sizeof buffer) > 0;
    }

private:
    int m_fd;
};

} // namespace

class TestVlcMediaPlayer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void playsEveryKindOfAddress_data();
    void playsEveryKindOfAddress();
    void playsMmsOverHttp();
    void playsLiveHlsWithoutPause_data();
    void playsLiveHlsWithoutPause();
    void failuresEndInPlainWords_data();
    void failuresEndInPlainWords();
    void refusesEntriesThatAreNoStream_data();
    void refusesEntriesThatAreNoStream();
    void undecodableStreamIsNoAudioStream();
    void showsServerTitlesAsPlainText();
    void followsTitleChanges();
    void switchingAwayFromSilentHostIsImmediate();
    void stopAndPlayAgain();
    void reconnectsAfterDropOrStall_data();
    void reconnectsAfterDropOrStall();
    void volumeSetBeforeSoundApplies();
    void saysWhenThereIsNoAudioOutput();
    void stoppedSoundServerHoldsNothingUp();
    void engineFailureGivesInertPlayer();

private:
    LoopbackRadio m_radio;
};

void TestVlcMediaPlayer::initTestCase()
{
    QString error;
    QVERIFY2(m_radio.start(&error), qPrintable(error));
    // The loopback server's own certificate is the one authority trusted.
    qputenv("SSL_CERT_FILE", QFile::encodeName(m_radio.certificateFile()));
    // The ALSA library keeps the configuration it reads in its globals for good. libVLC unloads
    // it with its audio output, which leaves that configuration unreachable and reported as a
    // leak under the sanitizers: held loaded, it stays reachable, as in a program that goes on.
    dlopen("libasound.so.2", RTLD_LAZY | RTLD_NODELETE);
}

void TestVlcMediaPlayer::playsEveryKindOfAddress_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("waitForBitrate");

    QTest::newRow("http with path") << "/stream?title=Path%20Tone"
                                    << "Path Tone" << true;
    QTest::newRow("http with port only") << ""
                                         << "Loopback Tone" << false;
    QTest::newRow("asx") << "/list.asx"
                         << "From ASX" << true;
    QTest::newRow("pls") << "/list.pls"
                         << "From PLS" << false;
    QTest::newRow("m3u") << "/list.m3u"
                         << "From M3U" << false;
    QTest::newRow("asx recognised by content") << "/noext"
                                               << "From ASX" << false;
    QTest::newRow("asx whose first entry is dead") << "/deadfirst.asx"
                                                   << "Second entry" << false;
    const QString scripts = QStringLiteral(
        "ශ්‍රී ලංකා සිරස FM · தமிழ் வானொலி");
    QTest::newRow("sinhala and tamil title")
        << "/stream?title=" + QString::fromLatin1(QUrl::toPercentEncoding(scripts)) << scripts << false;
    // Only the relay decodes Windows-1252: the title shows that the redirect went through it too.
    const QString latin = m_radio.tlsUrl(
        "/stream?title=Caf%C3%A9%20del%20Mar%20%E2%80%93%20Live&charset=cp1252");
    QTest::newRow("redirected to https, windows-1252 title")
        << "/moved?to=" + QString::fromLatin1(QUrl::toPercentEncoding(latin)) << "Café del Mar – Live"
        << false;
}

void TestVlcMediaPlayer::playsEveryKindOfAddress()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QFETCH(bool, waitForBitrate);

    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    StatusLog log(player.get());
    const QString address = m_radio.url(path);
    player->setUrl(address);
    player->play(); // as the window does right after setting the address: must not restart
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing: ") + title, kPatienceMs);
    QCOMPARE(player->streamTitle(), title); // what the desktop's media controls show

    QCOMPARE(player->url(), address);
    QCOMPARE(log.audioStarts, 1);
    QVERIFY2(log.texts.first().startsWith(QLatin1String("Connecting to 127.0.0.1")),
             qPrintable(log.texts.first()));
    // Never "Playing" before the first audio was decoded.
    for (qsizetype i = 0; i < log.texts.size(); ++i)
        QVERIFY2(!log.texts[i].startsWith(QLatin1String("Playing")) || log.audioDecoded[i],
                 qPrintable(log.texts[i]));

    // Once settled, the bitrate of the 128 kbit/s tone.
    if (waitForBitrate)
        QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing (128 kbps): ") + title,
                                  kPatienceMs);

    player->stop();
    QCOMPARE(player->status(), QStringLiteral("Stopped"));
    QCOMPARE(player->url(), address);
}

void TestVlcMediaPlayer::playsMmsOverHttp()
{
    MmshRadio mms;
    QString error;
    if (!mms.start(&error))
        QSKIP(qPrintable(error));
    // VLC's server sends its first packet only after its own mux delay: default patience.
    auto player = createMediaPlayer(nullptr, kQuietOutput);
    StatusLog log(player.get());
    player->setUrl(mms.mmsUrl());
    QTRY_VERIFY2_WITH_TIMEOUT(isPlaying(*player), qPrintable(log.texts.join(QLatin1String(" | "))),
                              kPatienceMs);
    QCOMPARE(player->url(), mms.mmsUrl());
    // It goes on playing: the bitrate shows once several seconds of the stream agree on it.
    QTRY_VERIFY2_WITH_TIMEOUT(player->status().contains(QLatin1String("kbps")),
                              qPrintable(log.texts.join(QLatin1String(" | "))), kPatienceMs);
    QVERIFY2(isPlaying(*player), qPrintable(log.texts.join(QLatin1String(" | "))));
    QVERIFY2(!log.contains(QStringLiteral("no audio output")),
             qPrintable(log.texts.join(QLatin1String(" | "))));
    QCOMPARE(log.audioStarts, 1);
    player->stop();
}

void TestVlcMediaPlayer::playsLiveHlsWithoutPause_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("status");

    // A sliding window of 2 s segments on a port other than 80: every reload and segment must
    // reach that port, or the sound stops within the three segments joined at. Where the server
    // keeps connections open, the reloads and segments all come on the first one.
    QTest::newRow("media playlist, one connection")
        << m_radio.url("/hls/live.m3u8?id=media&reuse=media") << "Playing";
    QTest::newRow("media playlist, AES-128, IV from the sequence")
        << m_radio.url("/hls/live.m3u8?id=aes&aes=1") << "Playing";
    // The timestamps start again every two segments, after #EXT-X-DISCONTINUITY.
    QTest::newRow("timestamps restarted") << m_radio.url("/hls/live.m3u8?id=restart&restart=2") << "Playing";
    QTest::newRow("master playlist over https, variant's bit rate")
        << m_radio.tlsUrl("/hls/master.m3u8?id=master") << "Playing (128 kbps)";
}

void TestVlcMediaPlayer::playsLiveHlsWithoutPause()
{
    QFETCH(QString, address);
    QFETCH(QString, status);

    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    StatusLog log(player.get());
    player->setUrl(address);
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), status, kPatienceMs);
    log.clear();
    // Five playlist reloads later: neither stalled nor reconnected, and still heard.
    QTest::qWait(10000);
    QVERIFY2(log.texts.isEmpty() || log.texts == QStringList{"Playing (128 kbps)"},
             qPrintable(log.texts.join(QLatin1String(" | "))));
    QCOMPARE(log.audioStarts, 0);
    player->stop();
    const QString reuse = QUrlQuery(QUrl(address)).queryItemValue(QStringLiteral("reuse"));
    if (!reuse.isEmpty()) {
        const QList<QByteArray> counted =
            loopbackGet(m_radio.port(), "/reuse?key=" + reuse.toUtf8()).split('\n').constLast().split(' ');
        QVERIFY2(counted.size() == 2 && counted[0].toInt() > 5 && counted[1] == "1",
                 counted.join(' ').constData());
    }
}

void TestVlcMediaPlayer::failuresEndInPlainWords_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");

    QTest::newRow("host not found") << "http://no-such-station.invalid/live"
                                    << "Host not found: no-such-station.invalid";
    QTest::newRow("connection refused") << QStringLiteral("http://127.0.0.1:%1/live").arg(m_radio.deadPort())
                                        << "Connection refused by 127.0.0.1";
    QTest::newRow("404") << m_radio.url("/status/404") << "Server said 404: stream not found";
    QTest::newRow("500") << m_radio.url("/status/500") << "Server said 500: server error";
    QTest::newRow("web page") << m_radio.url("/html") << "Not an audio stream";
    QTest::newRow("garbage bytes") << m_radio.url("/garbage") << "Not an audio stream";
    QTest::newRow("dead playlist") << m_radio.url("/dead.asx") << "Playlist has nothing playable";
    QTest::newRow("no answer") << QStringLiteral("http://127.0.0.1:%1/live").arg(m_radio.silentPort())
                               << "No answer from 127.0.0.1";
    QTest::newRow("no answer to the request") << m_radio.url("/silent") << "No answer from 127.0.0.1";
    QTest::newRow("reset after the request") << m_radio.url("/reset") << "127.0.0.1 closed the connection";
    QTest::newRow("station address no stream") << "file:///etc/hostname"
                                               << "Address refused: file:";
    QTest::newRow("https certificate for another host")
        << QStringLiteral("https://localhost:%1/stream").arg(QUrl(m_radio.tlsUrl({})).port())
        << "Untrusted certificate from localhost";
    const QString otherHost = QStringLiteral("https://localhost:%1/stream")
                                  .arg(QUrl(m_radio.tlsUrl({})).port());
    QTest::newRow("redirected to https, certificate for another host")
        << m_radio.url("/moved?to=" + QString::fromLatin1(QUrl::toPercentEncoding(otherHost)))
        << "Untrusted certificate from 127.0.0.1";
    QTest::newRow("hls variant no stream")
        << m_radio.url("/hls/master.m3u8?variant=file:///etc/hostname") << "Playlist entry refused: file:";
    QTest::newRow("hls segments no stream")
        << m_radio.url("/hls/live.m3u8?segment=file:///etc/hostname") << "Playlist entry refused: file:";
    const QString movedToFile = m_radio.url("/moved?to=file%3A%2F%2F%2Fetc%2Fhostname");
    QTest::newRow("hls segments redirected to no stream")
        << m_radio.url("/hls/live.m3u8?segment=" + QString::fromLatin1(QUrl::toPercentEncoding(movedToFile)))
        << "Playlist entry refused: file:";
}

void TestVlcMediaPlayer::failuresEndInPlainWords()
{
    QFETCH(QString, address);
    QFETCH(QString, expected);

    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    StatusLog log(player.get());
    UiWatchdog watchdog;
    player->setUrl(address);
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), expected, kPatienceMs);
    QCOMPARE(log.audioStarts, 0);
    QVERIFY(!log.contains(QStringLiteral("Playing")));
    // It stays failed: no retry loop after a station that never played.
    QTest::qWait(700);
    QCOMPARE(player->status(), expected);
    QVERIFY2(watchdog.worstDelayMs() < 1000, qPrintable(QString::number(watchdog.worstDelayMs())));
}

void TestVlcMediaPlayer::refusesEntriesThatAreNoStream_data()
{
    QTest::addColumn<QString>("hostile"); // listed before the station's own stream
    QTest::addColumn<bool>("streamFollows");
    QTest::addColumn<QString>("expected");

    QTest::newRow("local file first") << "file://%FILE%" << true << "Playing: Own stream";
    QTest::newRow("udp listener first") << "udp://@:%PORT%" << true << "Playing: Own stream";
    QTest::newRow("redirect to a local file first")
        << "%SERVER%/moved?to=file://%FILE%" << true << "Playing: Own stream";
    QTest::newRow("redirect to a udp listener first")
        << "%SERVER%/moved?to=udp://@:%PORT%" << true << "Playing: Own stream";
    QTest::newRow("only a local file") << "FILE://%FILE%" << false << "Playlist entry refused: file:";
}

void TestVlcMediaPlayer::refusesEntriesThatAreNoStream()
{
    QFETCH(QString, hostile);
    QFETCH(bool, streamFollows);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    const QString localFile = dir.filePath(QStringLiteral("tone.mp3"));
    QFile file(localFile);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, '\xff')) == 4096);
    file.close();
    const FileOpenWatch watch(localFile);
    const int port = freeLoopbackPort();
    hostile.replace(QLatin1String("%FILE%"), localFile)
        .replace(QLatin1String("%PORT%"), QString::number(port));
    hostile.replace(QLatin1String("%SERVER%"), m_radio.url({}));

    QString path = QStringLiteral("/hostile.asx?entry=")
        + QString::fromLatin1(QUrl::toPercentEncoding(hostile));
    if (streamFollows)
        path += QStringLiteral("&entry=")
            + QString::fromLatin1(QUrl::toPercentEncoding(m_radio.url("/stream?title=Own%20stream")));
    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    bool udpBound = false;
    QTimer udpCheck;
    connect(&udpCheck, &QTimer::timeout, this, [&] { udpBound = udpBound || udpPortBound(port); });
    udpCheck.start(5);
    player->setUrl(m_radio.url(path));
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), expected, kPatienceMs);
    QTest::qWait(300);
    QVERIFY(!watch.opened());
    QVERIFY(!udpBound);
}

void TestVlcMediaPlayer::undecodableStreamIsNoAudioStream()
{
    // Patient with silent servers, so that only the bytes themselves can end the attempt.
    vlc::VlcPlayerOptions options = testOptions();
    options.connectTimeout = std::chrono::seconds(60);
    options.undecodableTimeout = std::chrono::seconds(2);
    auto player = createMediaPlayer(nullptr, kQuietOutput, options);
    StatusLog log(player.get());
    player->setUrl(m_radio.url("/garbage"));
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Not an audio stream"), kPatienceMs);
    QCOMPARE(log.audioStarts, 0);
}

void TestVlcMediaPlayer::showsServerTitlesAsPlainText()
{
    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    player->setUrl(m_radio.url("/markup"));
    // Markup kept as text, the bell and the escape character removed.
    QTRY_COMPARE_WITH_TIMEOUT(player->status(),
                              QStringLiteral("Playing: <b>Bold</b> & <i>friends</i>[31m live"), kPatienceMs);
}

void TestVlcMediaPlayer::followsTitleChanges()
{
    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    player->setUrl(m_radio.url("/changing"));
    QTRY_VERIFY_WITH_TIMEOUT(player->status().contains(QLatin1String("Song 1")), kPatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(player->status().contains(QLatin1String("Song 2")), kPatienceMs);
}

// Shorter than any wait on a host that never answers (the connect timeout is 4 s), and long
// enough for a busy machine.
constexpr qint64 kNeverWaitsOnTheNetworkMs = 2000;

void TestVlcMediaPlayer::switchingAwayFromSilentHostIsImmediate()
{
    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    StatusLog log(player.get());
    UiWatchdog watchdog;

    player->setUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_radio.silentPort()));
    QTest::qWait(500);
    QElapsedTimer call;
    call.start();
    player->setUrl(m_radio.url("/stream?title=Rescued"));
    QVERIFY2(call.elapsed() < kNeverWaitsOnTheNetworkMs, qPrintable(QString::number(call.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing: Rescued"), kPatienceMs);
    QVERIFY(!log.contains(QStringLiteral("No answer")));

    // Stopping while connected to a host that never answers does not block either.
    player->setUrl(m_radio.url("/silent"));
    QTest::qWait(500);
    call.restart();
    player->stop();
    QVERIFY2(call.elapsed() < kNeverWaitsOnTheNetworkMs, qPrintable(QString::number(call.elapsed())));
    QCOMPARE(player->status(), QStringLiteral("Stopped"));
    QTest::qWait(300);
    QVERIFY2(watchdog.worstDelayMs() < 1000, qPrintable(QString::number(watchdog.worstDelayMs())));
}

void TestVlcMediaPlayer::stopAndPlayAgain()
{
    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    StatusLog log(player.get());
    player->play(); // nothing to play yet: nothing happens
    QCOMPARE(player->status(), QStringLiteral("Ready"));

    player->setUrl(m_radio.url("/stream"));
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), kPatienceMs);
    log.clear();
    player->play(); // already playing: goes on without reconnecting
    QTest::qWait(300);
    QVERIFY(!log.contains(QStringLiteral("Connecting")));

    player->stop();
    QCOMPARE(player->status(), QStringLiteral("Stopped"));
    QTest::qWait(500);
    QCOMPARE(player->status(), QStringLiteral("Stopped"));
    player->play(); // the address is kept
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), kPatienceMs);
    QCOMPARE(log.audioStarts, 1);
}

void TestVlcMediaPlayer::reconnectsAfterDropOrStall_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("expectedWaits");

    // The server stays down after the drop until the test sees the second wait, so the first
    // retry is refused and the second, 2 s after it, plays however long the drop took to notice.
    QTest::newRow("dropped") << "/drop?after=3&down=hold"
                             << QStringList{"Stream lost; reconnecting in 1 s (attempt 1)",
                                            "Stream lost; reconnecting in 2 s (attempt 2)"};
    QTest::newRow("stalled") << "/stall?after=3"
                             << QStringList{"Stream stalled; reconnecting in 1 s (attempt 1)"};
    QTest::newRow("hls playlist stops moving")
        << "/hls/live.m3u8?id=frozen&freeze=2"
        << QStringList{"Stream stalled; reconnecting in 1 s (attempt 1)"};
}

void TestVlcMediaPlayer::reconnectsAfterDropOrStall()
{
    QFETCH(QString, path);
    QFETCH(QStringList, expectedWaits);

    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    StatusLog log(player.get());
    UiWatchdog watchdog;
    const QString address = m_radio.url(path);
    player->setUrl(address);
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), kPatienceMs);
    if (path.contains(QLatin1String("down=hold"))) {
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(expectedWaits.last()), 60000);
        m_radio.bringDroppedStreamsUp();
    }
    QTRY_COMPARE_WITH_TIMEOUT(log.audioStarts, 2, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), kPatienceMs);

    QStringList waits;
    for (const QString &text : std::as_const(log.texts)) {
        if (text.contains(QLatin1String("reconnecting in")))
            waits << text;
    }
    QCOMPARE(waits, expectedWaits);
    QVERIFY(log.contains(QStringLiteral("Reconnecting to 127.0.0.1 (attempt 1)...")));
    QCOMPARE(player->url(), address);
    QVERIFY2(watchdog.worstDelayMs() < 1000, qPrintable(QString::number(watchdog.worstDelayMs())));

    // Stop ends the reconnecting for good.
    player->stop();
    QTest::qWait(1500);
    QCOMPARE(player->status(), QStringLiteral("Stopped"));
}

void TestVlcMediaPlayer::volumeSetBeforeSoundApplies()
{
    auto player = createMediaPlayer(nullptr, kNullSink, testOptions());
    auto *vlcPlayer = qobject_cast<vlc::VlcMediaPlayer *>(player.get());
    QVERIFY(vlcPlayer);
    QCOMPARE(player->volume(), 50);
    player->setVolume(25);
    player->setUrl(m_radio.url("/stream"));
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), kPatienceMs);
    QCOMPARE(vlcPlayer->engineVolume(), 25);
    // A change made while libVLC is still starting its audio output is applied once it runs.
    player->setVolume(80);
    QTRY_COMPARE_WITH_TIMEOUT(vlcPlayer->engineVolume(), 80, kPatienceMs);
    player->setVolume(130);
    QCOMPARE(player->volume(), 100);
    QTRY_COMPARE_WITH_TIMEOUT(vlcPlayer->engineVolume(), 100, kPatienceMs);
    // The null sink plays, so there is an audio output to speak of.
    QTest::qWait(1500);
    QVERIFY2(!player->status().contains(QLatin1String("no audio output")), qPrintable(player->status()));
}

void TestVlcMediaPlayer::saysWhenThereIsNoAudioOutput()
{
    if (QFileInfo::exists(QStringLiteral("/dev/snd")) || qEnvironmentVariableIsSet("PULSE_SERVER"))
        QSKIP("this machine has a sound device");
    // What the program meets on a machine without a sound card: the system's ALSA default.
    auto player = createMediaPlayer(nullptr, {QStringLiteral("--aout=alsa")}, testOptions());
    player->setUrl(m_radio.url("/stream?title=Unheard"));
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing, no audio output: Unheard"),
                              kPatienceMs);
}

void TestVlcMediaPlayer::stoppedSoundServerHoldsNothingUp()
{
    PrivatePulseServer pulse;
    QString error;
    if (!pulse.start(&error))
        QSKIP(qPrintable(error));
    const QByteArray previous = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", pulse.serverAddress().toUtf8());
    const auto restore = qScopeGuard([&] {
        if (previous.isEmpty())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", previous);
    });

    pulse.freeze();
    auto player = createMediaPlayer(nullptr, {QStringLiteral("--aout=pulse")}, testOptions());
    UiWatchdog watchdog;
    player->setUrl(m_radio.url("/stream?title=Heard%20later"));
    QCOMPARE(player->status(), QStringLiteral("Connecting to 127.0.0.1..."));
    QTRY_COMPARE_WITH_TIMEOUT(
        player->status(), QStringLiteral("No audio output: the sound system does not answer"), kPatienceMs);
    // Switching, the volume and stopping meanwhile wait for nothing either.
    player->setUrl(m_radio.url("/stream?title=Heard%20at%20last"));
    QCOMPARE(player->status(), QStringLiteral("Connecting to 127.0.0.1..."));
    player->setVolume(60);
    QVERIFY2(watchdog.worstDelayMs() < 1000, qPrintable(QString::number(watchdog.worstDelayMs())));

    // Once the sound server answers again, the station is heard through it.
    pulse.thaw();
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing: Heard at last"), kPatienceMs);
    QCOMPARE(player->volume(), 60);
    QVERIFY2(watchdog.worstDelayMs() < 1000, qPrintable(QString::number(watchdog.worstDelayMs())));

    // A sound server that stops answering while a station plays holds up no volume change.
    pulse.freeze();
    player->setVolume(70);
    QTest::qWait(1500);
    player->setVolume(20);
    pulse.thaw();
    QVERIFY2(watchdog.worstDelayMs() < 1000, qPrintable(QString::number(watchdog.worstDelayMs())));
}

void TestVlcMediaPlayer::engineFailureGivesInertPlayer()
{
    auto player = createMediaPlayer(nullptr, {QStringLiteral("--no-such-engine-option")});
    QVERIFY(player);
    QSignalSpy changes(player.get(), &MediaPlayer::statusChanged);
    // The engine starts on a thread of its own: its failure is announced once, when known.
    QTRY_VERIFY2(player->status().startsWith(QLatin1String("Playback unavailable: ")),
                 qPrintable(player->status()));
    QCOMPARE(changes.count(), 1);
    const QString status = player->status();
    player->setUrl(m_radio.url("/stream"));
    player->play();
    player->setVolume(40);
    player->stop();
    QCOMPARE(player->url(), m_radio.url("/stream"));
    QCOMPARE(player->volume(), 40);
    QCOMPARE(player->status(), status);
    QTest::qWait(50);
    QCOMPARE(changes.count(), 1);
}

QTEST_GUILESS_MAIN(TestVlcMediaPlayer)
#include "test_vlc_media_player.moc"
