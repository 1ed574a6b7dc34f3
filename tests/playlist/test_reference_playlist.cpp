// The "[Reference]" files Windows Media servers answer with.
#include "playlist/reference_playlist.h"

#include <QTest>

using namespace tarvoni::playlist;

class TestReferencePlaylist : public QObject {
    Q_OBJECT

private slots:
    void readsRefs_data();
    void readsRefs();
};

void TestReferencePlaylist::readsRefs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("two refs")
        << "[Reference]\r\nRef1=http://a.lk/live?MSWMExt=.asf\r\nRef2=mms://a.lk/live\r\n"
        << QStringList{"http://a.lk/live?MSWMExt=.asf", "mms://a.lk/live"};
    QTest::newRow("pls lines are no refs") << "[Reference]\nFile1=http://a.lk/\n" << QStringList{};
    QTest::newRow("relative") << "[Reference]\nref1=live\n" << QStringList{"http://base.lk/live"};

    QString many = QStringLiteral("[Reference]\n");
    for (int i = 1; i <= 25; ++i)
        many += QStringLiteral("Ref%1=http://a.lk/%1\n").arg(i);
    QStringList first;
    for (int i = 1; i <= 24; ++i)
        first << QStringLiteral("http://a.lk/%1").arg(i);
    QTest::newRow("no more than 24") << many << first;
}

void TestReferencePlaylist::readsRefs()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QCOMPARE(referenceEntries(text, QStringLiteral("http://base.lk/list")), entries);
}

QTEST_APPLESS_MAIN(TestReferencePlaylist)
#include "test_reference_playlist.moc"
