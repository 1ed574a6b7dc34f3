// The rewrite of MMS-over-HTTP answers, fed the bytes a server sends.
#include "stream/mmsh_retimer.h"

#include <QTest>

using namespace tarvoni::stream;

namespace {

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
    packet.append(char(0x08));                         // a padding length byte, nothing else
    packet.append(char(0x5d)); // byte object number, dword offset, byte replicated length
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

class TestMmshRetimer : public QObject {
    Q_OBJECT

private slots:
    void mmsStreamsLoseTheirPrerollWait_data();
    void mmsStreamsLoseTheirPrerollWait();
    void otherAnswersPassUntouched();
};

void TestMmshRetimer::mmsStreamsLoseTheirPrerollWait_data()
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

void TestMmshRetimer::mmsStreamsLoseTheirPrerollWait()
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
    MmshRetimer whole;
    const QByteArray out = QByteArray::fromStdString(
        whole.feed(std::string_view(answer.constData(), answer.size())));
    MmshRetimer trickle;
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

void TestMmshRetimer::otherAnswersPassUntouched()
{
    const QByteArray chunks = mmshChunk('H', asfHeader(2000)) + mmshChunk('D', asfPacket(1000, 4000, false));
    for (const QByteArray &answer :
         {QByteArray("HTTP/1.0 404 Not Found\r\n\r\n") + chunks,
          QByteArray("HTTP/1.0 200 OK\r\n\r\n<ASX version=\"3.0\"></ASX>") + chunks}) {
        MmshRetimer retimer;
        QCOMPARE(QByteArray::fromStdString(retimer.feed(std::string_view(answer.constData(), answer.size()))),
                 answer);
    }
}

QTEST_APPLESS_MAIN(TestMmshRetimer)
#include "test_mmsh_retimer.moc"
