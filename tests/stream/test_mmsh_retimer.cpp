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
const QByteArray kStreamPropertiesGuid = QByteArray::fromHex("9107dcb7b7a9cf118ee600c00c205365");
constexpr int kPacketSize = 128;

// An ASF header of one stream whose File Properties object declares `prerollMs`.
QByteArray asfHeader(quint64 prerollMs)
{
    QByteArray header = QByteArray::fromHex("3026b2758e66cf11a6d900aa0062ce6c");
    appendLe(header, 30 + 104 + 24, 8);
    appendLe(header, 2, 4);
    appendLe(header, 0x0201, 2);
    header += kFilePropertiesGuid;
    appendLe(header, 104, 8);
    header += QByteArray(16 + 8 * 5, '\x11'); // file id, file size, date, packet count, durations
    appendLe(header, prerollMs, 8);
    appendLe(header, 1, 4); // broadcast
    appendLe(header, kPacketSize, 4);
    appendLe(header, kPacketSize, 4);
    appendLe(header, 128000, 4);
    header += kStreamPropertiesGuid;
    appendLe(header, 24, 8);
    return header;
}

// A data packet of payloads presented at `presentationsMs`, each with the presentation time in
// its replicated data or as a compressed payload, padded to kPacketSize as servers send them.
QByteArray asfPacket(quint32 sendMs, const QList<quint32> &presentationsMs, bool compressed)
{
    const bool multiple = presentationsMs.size() > 1;
    QByteArray packet = QByteArray::fromHex("820000"); // error correction, as libVLC expects it
    packet.append(char(multiple ? 0x09 : 0x08));       // a padding length byte, payloads' lengths
    packet.append(char(0x5d)); // byte object number, dword offset, byte replicated length
    const qsizetype paddingAt = packet.size();
    packet.append(char(0));
    appendLe(packet, sendMs, 4);
    appendLe(packet, 0, 2);
    if (multiple)
        packet.append(char(0x80 | presentationsMs.size())); // word lengths
    for (const quint32 presentation : presentationsMs) {
        packet.append(char(0x81));
        packet.append(char(7));
        if (compressed) {
            appendLe(packet, presentation, 4);
            packet.append(char(1));
            packet.append(char(0)); // presentation time delta
        } else {
            appendLe(packet, 0, 4);
            packet.append(char(8));
            appendLe(packet, 20, 4);
            appendLe(packet, presentation, 4);
        }
        if (multiple)
            appendLe(packet, 6, 2);
        packet += QByteArray(6, char('a' + presentation % 26));
    }
    packet[paddingAt] = char(kPacketSize - packet.size());
    return packet + QByteArray(kPacketSize - packet.size(), '\0');
}

struct Payload {
    quint32 presentation;
    QByteArray data;
    bool operator==(const Payload &other) const
    {
        return presentation == other.presentation && data == other.data;
    }
};
struct Packet {
    quint32 send;
    QList<Payload> payloads;
};

// The data packets of an answer as libVLC's MMS access and ASF reader read them, with the
// packet size its header declares; empty packets are left out and counted.
QList<Packet> readBack(const QByteArray &answer, qsizetype packetSize, int *empty)
{
    QList<Packet> packets;
    const auto field = [](const QByteArray &p, qsizetype &at, unsigned bits, quint64 fallback) {
        static constexpr int kSizes[] = {0, 1, 2, 4};
        const int size = kSizes[bits & 3];
        const quint64 value = size ? readLe(p, at, size) : fallback;
        at += size;
        return value;
    };
    for (qsizetype at = answer.indexOf("\r\n\r\n") + 4; at + 12 <= answer.size();) {
        const qsizetype size = qsizetype(readLe(answer, at + 10, 2)) - 8;
        QByteArray data = answer.mid(at + 12, size);
        const bool isData = answer.at(at + 1) == 'D';
        at += 12 + size;
        if (!isData)
            continue;
        data.resize(std::max(data.size(), packetSize), '\0');
        for (qsizetype p = 0; p < data.size();) {
            qsizetype i = p + 3;
            const unsigned flags = quint8(data.at(i));
            const unsigned property = quint8(data.at(i + 1));
            i += 2;
            const auto declared = qsizetype(field(data, i, flags >> 5, quint64(packetSize)));
            const qsizetype length = std::max(declared, packetSize);
            field(data, i, flags >> 1, 0);
            const qsizetype padding = qsizetype(field(data, i, flags >> 3, 0)) + (length - declared);
            Packet packet{quint32(readLe(data, i, 4)), {}};
            i += 6;
            const int count = flags & 1 ? quint8(data.at(i++)) & 0x3f : 1;
            for (int n = 0; n < count; ++n) {
                ++i; // stream number
                field(data, i, property >> 4, 0);
                const quint64 offset = field(data, i, property >> 2, 0);
                const quint64 replicated = field(data, i, property, 0);
                const quint32 presentation = replicated == 1 ? quint32(offset)
                                                             : quint32(readLe(data, i + 4, 4));
                i += qsizetype(replicated);
                const qsizetype bytes = flags & 1 ? qsizetype(readLe(data, i, 2)) : p + length - padding - i;
                i += flags & 1 ? 2 : 0;
                packet.payloads.push_back({presentation, data.mid(i, bytes)});
                i += bytes;
            }
            if (count == 0)
                ++*empty;
            else
                packets.push_back(packet);
            p += length;
        }
    }
    return packets;
}

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
    QTest::addColumn<QList<quint32>>("presentations"); // of the first packet
    QTest::addColumn<quint32>("gap");                  // from the first packet's frames to the second's
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QList<quint32>>("expectedSends"); // of the packets the reader reads

    QTest::newRow("sent at presentation time")
        << quint64(2000) << 5000u << QList<quint32>{5000} << 232u << false << QList<quint32>{5100, 5332};
    QTest::newRow("sent a preroll ahead")
        << quint64(3000) << 1000u << QList<quint32>{4000} << 232u << false << QList<quint32>{4100, 4332};
    QTest::newRow("sent further ahead than the preroll")
        << quint64(3000) << 1000u << QList<quint32>{9000} << 232u << false << QList<quint32>{4000, 4232};
    QTest::newRow("compressed payloads")
        << quint64(2000) << 1000u << QList<quint32>{2500} << 232u << true << QList<quint32>{2600, 2832};
    QTest::newRow("no preroll") << quint64(0) << 1000u << QList<quint32>{2500} << 232u << false
                                << QList<quint32>{1000, 1232};
    // The first packet goes as two, its first frame alone two reader ticks ahead of the rest;
    // each packet is due a reader tick past its last frame.
    QTest::newRow("several frames a packet") << quint64(2000) << 5000u << QList<quint32>{5000, 5046, 5093}
                                             << 232u << false << QList<quint32>{4993, 5193, 5425};
    // The second packet is never due before libVLC's clock can move on two ticks past the first.
    QTest::newRow("second packet due early") << quint64(2000) << 5000u << QList<quint32>{5000, 5046, 5093}
                                             << 140u << false << QList<quint32>{4993, 5193, 5393};
}

void TestMmshRetimer::mmsStreamsLoseTheirPrerollWait()
{
    QFETCH(quint64, preroll);
    QFETCH(quint32, send);
    QFETCH(QList<quint32>, presentations);
    QFETCH(quint32, gap);
    QFETCH(bool, compressed);
    QFETCH(QList<quint32>, expectedSends);

    QList<quint32> later;
    for (const quint32 presentation : presentations)
        later << presentation + gap;
    const QByteArray head("HTTP/1.0 200 OK\r\nContent-type: application/octet-stream\r\n\r\n");
    const QByteArray header = mmshChunk('H', asfHeader(preroll));
    const QByteArray answer = head + header + mmshChunk('D', asfPacket(send, presentations, compressed))
        + mmshChunk('D', asfPacket(send + gap, later, compressed));

    // Whole, and a byte at a time as a slow server might send it: the same bytes come out.
    MmshRetimer whole;
    const QByteArray out = QByteArray::fromStdString(
        whole.feed(std::string_view(answer.constData(), answer.size())));
    MmshRetimer trickle;
    QByteArray trickled;
    for (const char byte : answer)
        trickled += QByteArray::fromStdString(trickle.feed(std::string_view(&byte, 1)));
    QCOMPARE(trickled, out);

    QCOMPARE(out.left(head.size()), head);
    const qsizetype prerollAt = out.indexOf(kFilePropertiesGuid) + 80;
    QCOMPARE(readLe(out, prerollAt, 8), quint64(0));
    QCOMPARE(whole.declaredPrerollMs(), preroll);
    const auto declaredSize = qsizetype(readLe(out, prerollAt + 12, 4));
    QCOMPARE(qsizetype(readLe(out, prerollAt + 16, 4)), declaredSize);

    // Read back as libVLC reads it: the same frames in the same order, at the expected send
    // times, and an empty packet after each real one for the reader to wait on.
    int empty = 0;
    const QList<Packet> packets = readBack(out, declaredSize, &empty);
    QList<quint32> sends;
    QList<Payload> payloads;
    for (const Packet &packet : packets) {
        sends << packet.send;
        payloads += packet.payloads;
    }
    QList<Payload> expectedPayloads;
    for (const QList<quint32> &packet : {presentations, later}) {
        for (const quint32 presentation : packet)
            expectedPayloads.push_back({presentation, QByteArray(6, char('a' + presentation % 26))});
    }
    QCOMPARE(sends, expectedSends);
    QCOMPARE(payloads, expectedPayloads);
    QCOMPARE(empty, packets.size());
}

void TestMmshRetimer::otherAnswersPassUntouched()
{
    const QByteArray chunks = mmshChunk('H', asfHeader(2000))
        + mmshChunk('D', asfPacket(1000, {4000}, false));
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
