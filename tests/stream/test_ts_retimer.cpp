// The transport stream clock's move up to the sound, fed the segments an HLS server sends.
#include "stream/ts_retimer.h"

#include <QTest>

#include <optional>
#include <vector>

using namespace tarvoni::stream;

namespace {

constexpr int64_t kWrap = int64_t(1) << 33;
constexpr int64_t kLead = 63000; // FFmpeg's 0.7 s, at 90 kHz

constexpr int64_t kFrame = 1920; // an AAC frame of 1024 samples at 48 kHz

// One 188-byte packet of PID 256 with continuity counter `cc`: with a PCR when `pcr` is given,
// starting a sound PES with that PTS (and DTS) when `pts` is given and then `frames` AAC frames
// (ADTS), the rest filled with payload.
std::string packet(std::optional<int64_t> pcr, std::optional<int64_t> pts = {}, int frames = 0, int cc = 0,
                   std::optional<int64_t> dts = {})
{
    std::string p{'\x47', char(pts ? 0x41 : 0x01), '\x00', char((pcr ? 0x30 : 0x10) | cc)};
    if (pcr) {
        const int64_t b = *pcr;
        p += {'\x07',
              '\x10',
              char(b >> 25),
              char(b >> 17),
              char(b >> 9),
              char(b >> 1),
              char((b & 1) << 7 | 0x7e),
              '\x00'};
    }
    const auto stamp = [&p](int prefix, int64_t t) {
        p += {char(prefix | ((t >> 29) & 0x0e)), char(t >> 22), char(((t >> 14) & 0xfe) | 1), char(t >> 7),
              char(((t << 1) & 0xfe) | 1)};
    };
    if (pts && dts) {
        p += std::string("\0\0\1\xc0\0\0\x80\xc0\x0a", 9);
        stamp(0x31, *pts);
        stamp(0x11, *dts);
    } else if (pts) {
        p += std::string("\0\0\1\xc0\0\0\x80\x80\x05", 9);
        stamp(0x21, *pts);
    }
    for (int i = 0; i < frames; ++i) // 24 bytes each, stereo
        p += std::string("\xff\xf1\x4c\x80\x03\x1f\xfc", 7) + std::string(17, '\0');
    p.resize(188, '\xaa');
    return p;
}

// Feeds each segment in pieces of `piece` bytes and ends it; the clock restarts before the
// segment numbered `restart`.
std::string relay(TsRetimer &retimer, const std::vector<std::string> &segments, size_t piece,
                  size_t restart = 0)
{
    std::string out;
    for (const std::string &segment : segments) {
        if (restart > 0 && &segment == &segments[restart])
            retimer.restartClock();
        for (size_t at = 0; at < segment.size(); at += piece)
            out += retimer.feed(std::string_view(segment).substr(at, piece));
        out += retimer.endSegment();
    }
    return out;
}

} // namespace

class TestTsRetimer : public QObject {
    Q_OBJECT

private slots:
    void movesEveryPcrByTheLead_data()
    {
        QTest::addColumn<int64_t>("start");
        QTest::addColumn<qsizetype>("piece");
        QTest::newRow("whole segments") << int64_t(900000) << qsizetype(100000);
        QTest::newRow("a byte at a time") << int64_t(900000) << qsizetype(1);
        QTest::newRow("odd pieces") << int64_t(900000) << qsizetype(77);
        QTest::newRow("past 33 bits") << kWrap - 1000 << qsizetype(500);
    }
    void movesEveryPcrByTheLead()
    {
        QFETCH(int64_t, start);
        QFETCH(qsizetype, piece);
        const std::string first = packet(start, start + kLead) + packet({}) + packet(start + 9000);
        const std::string second = packet((start + 180000) % kWrap) + packet({}, start + 180000 + kLead);
        TsRetimer retimer;
        // Only the PCRs change: PES headers, payload and stuffing stay as they came.
        const auto moved = [](int64_t pcr) { return (pcr + kLead) % kWrap; };
        const std::string expected = packet(moved(start), start + kLead) + packet({})
            + packet(moved(start + 9000)) + packet(moved(start + 180000))
            + packet({}, start + 180000 + kLead);
        QCOMPARE(relay(retimer, {first, second}, size_t(piece)), expected);
        QVERIFY(retimer.retiming());
    }

    // After a discontinuity the sound goes on where it was: right after the last PES's AAC
    // frames, or one step on from it when they cannot be counted; the lead is found anew, and
    // the continuity counters go on too.
    void goesOnAcrossARestart_data()
    {
        QTest::addColumn<int64_t>("start");   // the first segment's first PCR
        QTest::addColumn<int64_t>("restart"); // the second one's
        QTest::addColumn<int64_t>("lead");    // the second one's
        QTest::addColumn<int>("frames");      // in the last PES before the restart
        QTest::newRow("back to the start") << int64_t(900000) << int64_t(1000) << kLead << 3;
        QTest::newRow("minutes on, another lead")
            << int64_t(900000) << int64_t(90000 * 600) << 2 * kLead << 3;
        QTest::newRow("over 33 bits, not AAC") << kWrap - 5000 << int64_t(1000) << kLead << 0;
        QTest::newRow("back over 33 bits") << int64_t(1000) << kWrap - 2000 << kLead << 2;
        // Timestamps that went on anyway stay as they are.
        QTest::newRow("no jump") << int64_t(900000) << 900000 + 3600 + 3 * kFrame << kLead << 3;
    }
    void goesOnAcrossARestart()
    {
        QFETCH(int64_t, start);
        QFETCH(int64_t, restart);
        QFETCH(int64_t, lead);
        QFETCH(int, frames);
        const auto at = [](int64_t time) { return time % kWrap; };
        const std::string first = packet(start, at(start + kLead), 0, 0)
            + packet({}, at(start + kLead + 3600), frames, 1);
        const std::string second = packet(restart, at(restart + lead), 0, 7, at(restart + lead - 900))
            + packet(at(restart + 9000), {}, 0, 8);
        const int64_t end = at(start + kLead + 3600 + (frames > 0 ? frames * kFrame : 3600));
        const std::string expected = packet(at(start + kLead), at(start + kLead), 0, 0)
            + packet({}, at(start + kLead + 3600), frames, 1)
            + packet(at(end), end, 0, 2, at(end + kWrap - 900)) + packet(at(end + 9000), {}, 0, 3);
        TsRetimer retimer;
        QCOMPARE(relay(retimer, {first, second}, 61, 1), expected);
    }

    void leavesAStreamWithoutALeadAlone_data()
    {
        QTest::addColumn<std::vector<std::string>>("segments");
        QTest::newRow("sound due before its clock")
            << std::vector<std::string>{packet(90000, 80000) + packet(99000)};
        QTest::newRow("a lead of minutes")
            << std::vector<std::string>{packet(90000, 90000 * 200) + packet(99000)};
        QTest::newRow("no PTS in a whole segment")
            << std::vector<std::string>{packet(90000) + packet({}), packet(99000, 99000 + kLead)};
        QTest::newRow("not a transport stream (packed audio with an ID3 tag)") << std::vector<std::string>{
            std::string("ID3\x04\0\0\0\0\0\0", 10) + packet(90000, 90000 + kLead)};
    }
    void leavesAStreamWithoutALeadAlone()
    {
        QFETCH(std::vector<std::string>, segments);
        TsRetimer retimer;
        std::string all;
        for (const std::string &segment : segments)
            all += segment;
        QCOMPARE(relay(retimer, segments, 50), all);
        QVERIFY(!retimer.retiming());
    }

    // A segment cut off mid-packet passes as it came; the next one is retimed again.
    void findsItsRhythmAgainAfterACutSegment()
    {
        const std::string first = packet(90000, 90000 + kLead);
        const std::string cut = packet(99000).substr(0, 100);
        const std::string next = packet(108000);
        TsRetimer retimer;
        const std::string expected = packet(90000 + kLead, 90000 + kLead) + cut + packet(108000 + kLead);
        QCOMPARE(relay(retimer, {first, cut, next}, 64), expected);
    }
};

QTEST_GUILESS_MAIN(TestTsRetimer)
#include "test_ts_retimer.moc"
