// The libVLC media player against real servers on 127.0.0.1.
#include "loopback_servers.h"
#include "player_test_support.h"

#include "player/vlc/create_media_player.h"
#include "player/vlc/mmsh_retimer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

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

void appendLe(QByteArray &to, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        to.append(char((value >> (8 * i)) & 0xff));
}

quint64 readLe(const QByteArray &from, qsizetype at, int bytes)
{
    quint64 value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= quint64(quint8(from.at(at + i))) << (8 * i);
    return value;
}

QByteArray mmshChunk(char type, const QByteArray &data)
{
    QByteArray chunk("$");
    chunk.append(type);
    appendLe(chunk, quint64(data.size() + 8), 2);
    appendLe(chunk, 0, 4); // sequence
    appendLe(chunk, 0, 2);
    appendLe(chunk, quint64(data.size() + 8), 2);
    return chunk + data;
}

const QByteArray kFilePropertiesGuid = QByteArray::fromHex("a1dcab8c47a9cf118ee400c00c205365");

// An ASF header whose File Properties object declares `prerollMs`.
QByteArray asfHeader(quint64 prerollMs)
{
    QByteArray header = QByteArray::fromHex("3026b2758e66cf11a6d900aa0062ce6c");
    appendLe(header, 30 + 104, 8);
    appendLe(header, 1, 4);
    appendLe(header, 0x0201, 2);
    header += kFilePropertiesGuid;
    appendLe(header, 104, 8);
    header += QByteArray(16 + 8 * 5, '\x11'); // file id, file size, date, packet count, durations
    appendLe(header, prerollMs, 8);
    appendLe(header, 1, 4); // broadcast
    appendLe(header, 64, 4);
    appendLe(header, 64, 4);
    appendLe(header, 128000, 4);
    return header;
}

// A data packet with one payload presented at `presentationMs`, either with the presentation
// time in its replicated data or as a compressed payload.
QByteArray asfPacket(quint32 sendMs, quint32 presentationMs, bool compressed)
{
    QByteArray packet = QByteArray::fromHex("820000"); // error correction, as libVLC expects it
    packet.append(char(0x08));                          // a padding length byte, nothing else
    packet.append(char(0x5d));                          // byte object number, dword offset, byte replicated length
    packet.append(char(0));
    appendLe(packet, sendMs, 4);
    appendLe(packet, 0, 2);
    packet.append(char(0x81));
    packet.append(char(7));
    if (compressed) {
        appendLe(packet, presentationMs, 4);
        packet.append(char(1));
        packet.append(char(0)); // presentation time delta
    } else {
        appendLe(packet, 0, 4);
        packet.append(char(8));
        appendLe(packet, 20, 4);
        appendLe(packet, presentationMs, 4);
    }
    return packet + QByteArray(20, '\x55');
}

// Where the send time of the data chunk starting at `chunkAt` lies.
constexpr qsizetype kSendTimeInChunk = 12 + 3 + 3;

} // namespace

class TestVlcMediaPlayer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void playsEveryKindOfAddress_data();
    void playsEveryKindOfAddress();
    void playsMmsOverHttp();
    void mmsStreamsLoseTheirPrerollWait_data();
    void mmsStreamsLoseTheirPrerollWait();
    void otherAnswersPassUntouched();
    void failuresEndInPlainWords_data();
    void failuresEndInPlainWords();
    void showsServerTitlesAsPlainText();
    void followsTitleChanges();
    void switchingAwayFromSilentHostIsImmediate();
    void stopAndPlayAgain();
    void reconnectsAfterDropOrStall_data();
    void reconnectsAfterDropOrStall();
    void volumeSetBeforeSoundApplies();
    void saysWhenThereIsNoAudioOutput();
    void engineFailureGivesInertPlayer();

private:
    LoopbackRadio m_radio;
};

void TestVlcMediaPlayer::initTestCase()
{
    QString error;
    QVERIFY2(m_radio.start(&error), qPrintable(error));
}

void TestVlcMediaPlayer::playsEveryKindOfAddress_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("waitForBitrate");

    QTest::newRow("http with path") << "/stream?title=Path%20Tone" << "Path Tone" << true;
    QTest::newRow("http with port only") << "" << "Loopback Tone" << false;
    QTest::newRow("asx") << "/list.asx" << "From ASX" << true;
    QTest::newRow("pls") << "/list.pls" << "From PLS" << false;
    QTest::newRow("m3u") << "/list.m3u" << "From M3U" << false;
    QTest::newRow("asx recognised by content") << "/noext" << "From ASX" << false;
    QTest::newRow("asx whose first entry is dead") << "/deadfirst.asx" << "Second entry" << false;
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
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing: ") + title, 5000);

    QCOMPARE(player->url(), address);
    QCOMPARE(log.audioStarts, 1);
    QVERIFY2(log.texts.first().startsWith(QLatin1String("Connecting to 127.0.0.1")), qPrintable(log.texts.first()));
    // Never "Playing" before the first audio was decoded.
    for (qsizetype i = 0; i < log.texts.size(); ++i)
        QVERIFY2(!log.texts[i].startsWith(QLatin1String("Playing")) || log.audioDecoded[i], qPrintable(log.texts[i]));

    // Once settled, the bitrate of the 128 kbit/s tone.
    if (waitForBitrate)
        QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing (128 kbps): ") + title, 10000);

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
    QTRY_VERIFY2_WITH_TIMEOUT(isPlaying(*player), qPrintable(log.texts.join(QLatin1String(" | "))), 20000);
    QCOMPARE(player->url(), mms.mmsUrl());
    // It goes on playing: the bitrate shows once several seconds of the stream agree on it.
    QTRY_VERIFY2_WITH_TIMEOUT(player->status().contains(QLatin1String("kbps")),
                              qPrintable(log.texts.join(QLatin1String(" | "))), 20000);
    QVERIFY2(isPlaying(*player), qPrintable(log.texts.join(QLatin1String(" | "))));
    QVERIFY2(!log.contains(QStringLiteral("no audio output")), qPrintable(log.texts.join(QLatin1String(" | "))));
    QCOMPARE(log.audioStarts, 1);
    player->stop();
}

void TestVlcMediaPlayer::mmsStreamsLoseTheirPrerollWait_data()
{
    QTest::addColumn<quint64>("preroll");
    QTest::addColumn<quint32>("send");
    QTest::addColumn<quint32>("presentation");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<quint32>("expectedShift");

    QTest::newRow("sent at presentation time") << quint64(2000) << 5000u << 5000u << false << 0u;
    QTest::newRow("sent a preroll ahead") << quint64(3000) << 1000u << 4000u << false << 3000u;
    QTest::newRow("sent further ahead than the preroll") << quint64(3000) << 1000u << 9000u << false << 3000u;
    QTest::newRow("compressed payloads") << quint64(2000) << 1000u << 2500u << true << 1500u;
    QTest::newRow("no preroll") << quint64(0) << 1000u << 2500u << false << 0u;
}

void TestVlcMediaPlayer::mmsStreamsLoseTheirPrerollWait()
{
    QFETCH(quint64, preroll);
    QFETCH(quint32, send);
    QFETCH(quint32, presentation);
    QFETCH(bool, compressed);
    QFETCH(quint32, expectedShift);

    const QByteArray head("HTTP/1.0 200 OK\r\nContent-type: application/octet-stream\r\n\r\n");
    const QByteArray header = mmshChunk('H', asfHeader(preroll));
    const QByteArray first = mmshChunk('D', asfPacket(send, presentation, compressed));
    const QByteArray second = mmshChunk('D', asfPacket(send + 232, presentation + 232, compressed));
    const QByteArray answer = head + header + first + second;

    // Whole, and a byte at a time as a slow server might send it: the same bytes come out.
    vlc::MmshRetimer whole;
    const QByteArray out = QByteArray::fromStdString(whole.feed(std::string_view(answer.constData(), answer.size())));
    vlc::MmshRetimer trickle;
    QByteArray trickled;
    for (const char byte : answer)
        trickled += QByteArray::fromStdString(trickle.feed(std::string_view(&byte, 1)));
    QCOMPARE(trickled, out);
    QCOMPARE(out.size(), answer.size());

    QCOMPARE(out.left(head.size()), head);
    const qsizetype prerollAt = out.indexOf(kFilePropertiesGuid) + 80;
    QCOMPARE(readLe(out, prerollAt, 8), quint64(0));
    QCOMPARE(whole.declaredPrerollMs(), preroll);
    const qsizetype firstAt = head.size() + header.size();
    const qsizetype secondAt = firstAt + first.size();
    QCOMPARE(quint32(readLe(out, firstAt + kSendTimeInChunk, 4)), send + expectedShift);
    QCOMPARE(quint32(readLe(out, secondAt + kSendTimeInChunk, 4)), send + 232 + expectedShift);
    // Nothing but the preroll and the send times changes.
    QByteArray expected = answer;
    expected.replace(prerollAt, 8, QByteArray(8, '\0'));
    expected.replace(firstAt + kSendTimeInChunk, 4, out.mid(firstAt + kSendTimeInChunk, 4));
    expected.replace(secondAt + kSendTimeInChunk, 4, out.mid(secondAt + kSendTimeInChunk, 4));
    QCOMPARE(out, expected);
}

void TestVlcMediaPlayer::otherAnswersPassUntouched()
{
    const QByteArray chunks = mmshChunk('H', asfHeader(2000)) + mmshChunk('D', asfPacket(1000, 4000, false));
    for (const QByteArray &answer : {QByteArray("HTTP/1.0 404 Not Found\r\n\r\n") + chunks,
                                     QByteArray("HTTP/1.0 200 OK\r\n\r\n<ASX version=\"3.0\"></ASX>") + chunks}) {
        vlc::MmshRetimer retimer;
        QCOMPARE(QByteArray::fromStdString(retimer.feed(std::string_view(answer.constData(), answer.size()))), answer);
    }
}

void TestVlcMediaPlayer::failuresEndInPlainWords_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");

    QTest::newRow("host not found") << "http://no-such-station.invalid/live" << "Host not found: no-such-station.invalid";
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
}

void TestVlcMediaPlayer::failuresEndInPlainWords()
{
    QFETCH(QString, address);
    QFETCH(QString, expected);

    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    StatusLog log(player.get());
    UiWatchdog watchdog;
    player->setUrl(address);
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), expected, 20000);
    QCOMPARE(log.audioStarts, 0);
    QVERIFY(!log.contains(QStringLiteral("Playing")));
    // It stays failed: no retry loop after a station that never played.
    QTest::qWait(700);
    QCOMPARE(player->status(), expected);
    QVERIFY2(watchdog.worstDelayMs() < 1000, qPrintable(QString::number(watchdog.worstDelayMs())));
}

void TestVlcMediaPlayer::showsServerTitlesAsPlainText()
{
    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    player->setUrl(m_radio.url("/markup"));
    // Markup kept as text, the bell and the escape character removed.
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing: <b>Bold</b> & <i>friends</i>[31m live"), 15000);
}

void TestVlcMediaPlayer::followsTitleChanges()
{
    auto player = createMediaPlayer(nullptr, kQuietOutput, testOptions());
    player->setUrl(m_radio.url("/changing"));
    QTRY_VERIFY_WITH_TIMEOUT(player->status().contains(QLatin1String("Song 1")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(player->status().contains(QLatin1String("Song 2")), 15000);
}

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
    QVERIFY2(call.elapsed() < 250, qPrintable(QString::number(call.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing: Rescued"), 15000);
    QVERIFY(!log.contains(QStringLiteral("No answer")));

    // Stopping while connected to a host that never answers does not block either.
    player->setUrl(m_radio.url("/silent"));
    QTest::qWait(500);
    call.restart();
    player->stop();
    QVERIFY2(call.elapsed() < 250, qPrintable(QString::number(call.elapsed())));
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
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), 15000);
    log.clear();
    player->play(); // already playing: goes on without reconnecting
    QTest::qWait(300);
    QVERIFY(!log.contains(QStringLiteral("Connecting")));

    player->stop();
    QCOMPARE(player->status(), QStringLiteral("Stopped"));
    QTest::qWait(500);
    QCOMPARE(player->status(), QStringLiteral("Stopped"));
    player->play(); // the address is kept
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), 15000);
    QCOMPARE(log.audioStarts, 1);
}

void TestVlcMediaPlayer::reconnectsAfterDropOrStall_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("expectedWaits");

    // The server is down for 3.5 s after the drop; the player notices the drop once its
    // buffer has run out (about 1.5 s later), so its first retry is refused and the second,
    // 2 s after that, plays.
    QTest::newRow("dropped") << "/drop?after=3&down=3.5"
                             << QStringList{"Stream lost; reconnecting in 1 s (attempt 1)",
                                            "Stream lost; reconnecting in 2 s (attempt 2)"};
    QTest::newRow("stalled") << "/stall?after=3" << QStringList{"Stream stalled; reconnecting in 1 s (attempt 1)"};
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
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(log.audioStarts, 2, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), 5000);

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
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(*player), 15000);
    QCOMPARE(vlcPlayer->engineVolume(), 25);
    // The engine may be starting its audio output again just then, and report the new
    // volume a moment later.
    player->setVolume(80);
    QTRY_COMPARE(vlcPlayer->engineVolume(), 80);
    player->setVolume(130);
    QCOMPARE(player->volume(), 100);
    QTRY_COMPARE(vlcPlayer->engineVolume(), 100);
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
    QTRY_COMPARE_WITH_TIMEOUT(player->status(), QStringLiteral("Playing, no audio output: Unheard"), 15000);
}

void TestVlcMediaPlayer::engineFailureGivesInertPlayer()
{
    auto player = createMediaPlayer(nullptr, {QStringLiteral("--no-such-engine-option")});
    QVERIFY(player);
    QVERIFY2(player->status().startsWith(QLatin1String("Playback unavailable: ")), qPrintable(player->status()));
    const QString status = player->status();
    QSignalSpy changes(player.get(), &MediaPlayer::statusChanged);
    player->setUrl(m_radio.url("/stream"));
    player->play();
    player->setVolume(40);
    player->stop();
    QCOMPARE(player->url(), m_radio.url("/stream"));
    QCOMPARE(player->volume(), 40);
    QCOMPARE(player->status(), status);
    QCOMPARE(changes.count(), 0);
    QTRY_COMPARE(changes.count(), 1); // announced once, when the event loop runs
    QTest::qWait(50);
    QCOMPARE(changes.count(), 1);
}

QTEST_GUILESS_MAIN(TestVlcMediaPlayer)
#include "test_vlc_media_player.moc"
