// Shoutcast/Icecast metadata as servers interleave it, and titles in the character sets they
// are sent in.
#include "stream/icy_metadata.h"

#include <QTest>

using namespace tarvoni::stream;

class TestIcyMetadata : public QObject {
    Q_OBJECT

private slots:
    void separatesAudioFromTitles();
    void findsTheTitle_data();
    void findsTheTitle();
    void decodesTitles_data();
    void decodesTitles();
};

void TestIcyMetadata::separatesAudioFromTitles()
{
    // Audio of 8 bytes between blocks: a title, an empty block, a second title.
    const std::string title1 = "StreamTitle='One';";
    const std::string title2 = "StreamTitle='Two';";
    const auto block = [](const std::string &text) {
        const size_t length = (text.size() + 15) / 16;
        return std::string(1, char(length)) + text + std::string(length * 16 - text.size(), '\0');
    };
    const std::string stream = "AAAAAAAA" + block(title1) + "BBBBBBBB" + std::string(1, '\0') + "CCCCCCCC"
        + block(title2) + "DDDD";
    // Whatever pieces the network cuts it into.
    for (size_t piece : {size_t(1), size_t(3), size_t(7), size_t(16), stream.size()}) {
        IcyMetadataReader reader(8);
        std::vector<std::string> blocks;
        std::string audio;
        for (size_t at = 0; at < stream.size(); at += piece)
            audio += reader.feed(std::string_view(stream).substr(at, piece), &blocks);
        QCOMPARE(audio, std::string("AAAAAAAABBBBBBBBCCCCCCCCDDDD"));
        QCOMPARE(blocks.size(), size_t(2));
        QCOMPARE(streamTitleBytes(blocks[0]), QByteArray("One"));
        QCOMPARE(streamTitleBytes(blocks[1]), QByteArray("Two"));
    }
}

void TestIcyMetadata::findsTheTitle_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QByteArray>("title");

    QTest::newRow("with a url") << QByteArray("StreamTitle='Artist - Song';StreamUrl='http://a.lk/';")
                                << QByteArray("Artist - Song");
    QTest::newRow("quotes and semicolons inside")
        << QByteArray("StreamTitle='Rock 'n' Roll; live';\0\0", 37) << QByteArray("Rock 'n' Roll; live");
    QTest::newRow("double quotes") << QByteArray("StreamTitle=\"Say \"hi\"\";") << QByteArray("Say \"hi\"");
    QTest::newRow("unquoted") << QByteArray("StreamTitle=Plain;StreamUrl='';") << QByteArray("Plain");
    QTest::newRow("unterminated") << QByteArray("StreamTitle='Cut off\0\0\0", 23) << QByteArray("Cut off");
    QTest::newRow("empty title") << QByteArray("StreamTitle='';") << QByteArray("");
    QTest::newRow("no title") << QByteArray("StreamUrl='http://a.lk/';") << QByteArray();
    QTest::newRow("not a field of its own") << QByteArray("XStreamTitle='x';") << QByteArray();
}

void TestIcyMetadata::findsTheTitle()
{
    QFETCH(QByteArray, block);
    QFETCH(QByteArray, title);
    const QByteArray found = streamTitleBytes(std::string_view(block.constData(), size_t(block.size())));
    QCOMPARE(found, title);
    QCOMPARE(found.isNull(), title.isNull());
}

void TestIcyMetadata::decodesTitles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("ascii") << QByteArray("Song") << QStringLiteral("Song");
    QTest::newRow("utf-8 sinhala and tamil")
        << QStringLiteral("සිංහල தமிழ்").toUtf8() << QStringLiteral("සිංහල தமிழ்");
    QTest::newRow("utf-8 accents") << QByteArray("Caf\xc3\xa9") << QStringLiteral("Café");
    QTest::newRow("latin-1") << QByteArray("Caf\xe9 del Mar") << QStringLiteral("Café del Mar");
    QTest::newRow("windows-1252 punctuation") << QByteArray("\x93Hits\x94 \x96 \x80"
                                                            "5")
                                              << QStringLiteral("“Hits” – €5");
    QTest::newRow("undefined windows-1252 byte") << QByteArray("a\x81z") << QStringLiteral("a\u0081z");
    QTest::newRow("utf-8 cut in the middle") << QByteArray("Caf\xc3") << QStringLiteral("CafÃ");
}

void TestIcyMetadata::decodesTitles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeStreamTitle(bytes), text);
}

QTEST_APPLESS_MAIN(TestIcyMetadata)
#include "test_icy_metadata.moc"
