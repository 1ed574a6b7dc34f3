// ASX playlists as stations' servers write them.
#include "playlist/asx_playlist.h"

#include <QTest>

using namespace tarvoni::playlist;

class TestAsxPlaylist : public QObject {
    Q_OBJECT

private slots:
    void readsRefs_data();
    void readsRefs();
};

void TestAsxPlaylist::readsRefs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("quotes and case")
        << "<ASX><Entry><Ref href = 'mms://a.lk/x' /></Entry><entry><REF HREF=\"http://b.lk/\"/>"
        << QStringList{"mms://a.lk/x", "http://b.lk/"};
    QTest::newRow("entities") << "<asx><ref href=\"mms://a.lk/x?a=1&amp;b=2&lt;\"/></asx>"
                              << QStringList{"mms://a.lk/x?a=1&b=2%3C"};
    QTest::newRow("apostrophe in a double-quoted address")
        << "<asx><ref href=\"mms://a.lk/Rav's_FM\"/></asx>" << QStringList{"mms://a.lk/Rav's_FM"};
    QTest::newRow("relative and padded")
        << "<asx><ref href=\"  /live  \"/></asx>" << QStringList{"http://base.lk/live"};
    QTest::newRow("empty href skipped")
        << "<asx><ref href=\"\"/><ref href=\"http://a.lk/\"/></asx>" << QStringList{"http://a.lk/"};
    QTest::newRow("no refs") << "<asx><entry><title>x</title></entry></asx>" << QStringList{};

    QString many = QStringLiteral("<asx>");
    QStringList first;
    for (int i = 0; i < 30; ++i) {
        many += QStringLiteral("<ref href=\"http://a.lk/%1\"/>").arg(i);
        if (i < 24)
            first << QStringLiteral("http://a.lk/%1").arg(i);
    }
    QTest::newRow("no more than 24") << many << first;
}

void TestAsxPlaylist::readsRefs()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QCOMPARE(asxEntries(text, QStringLiteral("http://base.lk/list")), entries);
}

QTEST_APPLESS_MAIN(TestAsxPlaylist)
#include "test_asx_playlist.moc"
