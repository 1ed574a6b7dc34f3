// How a playing stream's counters read: stalled, without an audio output, its bitrate.
#include "player/stream_health.h"

#include <QTest>

using namespace tarvoni;
using std::chrono::milliseconds;

namespace {

// One reading every half second from the first audio, as the player takes them.
struct Readings {
    qint64 bytesPerReading = 8000; // 0: nothing arrives any more
    qint64 playedPerReading = 10;  // 0: nothing reaches a device
    qint64 lostPerReading = 0;
    QList<double> kbps; // the engine's estimates, one a reading; the last repeats
};

} // namespace

Q_DECLARE_METATYPE(Readings)

class TestStreamHealth : public QObject {
    Q_OBJECT

private slots:
    void readsStreamHealth_data();
    void readsStreamHealth();
};

void TestStreamHealth::readsStreamHealth_data()
{
    QTest::addColumn<Readings>("readings");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("stalled");
    QTest::addColumn<bool>("audioOutput");
    QTest::addColumn<int>("kbps");

    QTest::newRow("healthy, settled at 128") << Readings{8000, 10, 0, {128.4}} << 10 << false << true << 128;
    QTest::newRow("too early for a bitrate") << Readings{8000, 10, 0, {128.4}} << 7 << false << true << 0;
    QTest::newRow("bitrate still moving")
        << Readings{8000, 10, 0, {90, 128, 160, 100, 140, 96, 130, 170, 95}} << 10 << false << true << 0;
    QTest::newRow("odd bitrate") << Readings{8000, 10, 0, {104.6}} << 10 << false << true << 105;
    QTest::newRow("no bitrate known") << Readings{8000, 10, 0, {0}} << 10 << false << true << 0;
    QTest::newRow("nothing arrives: stalled at 3 s") << Readings{0, 10, 0, {128}} << 7 << true << true << 0;
    QTest::newRow("nothing arrives: not yet at 2.5 s")
        << Readings{0, 10, 0, {128}} << 6 << false << true << 0;
    QTest::newRow("decoded, never played, dropped")
        << Readings{8000, 0, 5, {128}} << 3 << false << false << 0;
    QTest::newRow("decoded, not played yet, early") << Readings{8000, 0, 0, {128}} << 2 << false << true << 0;
    QTest::newRow("decoded, never played, late") << Readings{8000, 0, 0, {128}} << 4 << false << false << 0;
}

void TestStreamHealth::readsStreamHealth()
{
    QFETCH(Readings, readings);
    QFETCH(int, count);
    QFETCH(bool, stalled);
    QFETCH(bool, audioOutput);
    QFETCH(int, kbps);

    StreamHealth health(milliseconds(3000));
    StreamStats stats;
    for (int i = 0; i < count; ++i) {
        stats.readBytes += readings.bytesPerReading;
        stats.playedBuffers += readings.playedPerReading;
        stats.lostBuffers += readings.lostPerReading;
        stats.demuxKbps = readings.kbps.at(std::min<qsizetype>(i, readings.kbps.size() - 1));
        health.read(stats, milliseconds(500 * i));
    }
    QCOMPARE(health.stalled(), stalled);
    QCOMPARE(health.audioOutput(), audioOutput);
    QCOMPARE(health.kbps(), kbps);
}

QTEST_APPLESS_MAIN(TestStreamHealth)
#include "test_stream_health.moc"
