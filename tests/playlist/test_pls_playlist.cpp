// PLS playlists as Shoutcast and Icecast servers write them.
#include "playlist/pls_playlist.h"

#include <QTest>

using namespace tarvoni::playlist;

class TestPlsPlaylist : public QObject {
    Q_OBJECT

private slots:
    void readsFiles_data();
    void readsFiles();
};

void TestPlsPlaylist::readsFiles_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("files in order, titles left")
        << "[playlist]\r\nNumberOfEntries=2\r\nFile1=http://a.lk/1\r\nTitle1=x\r\n"
           "file2 = http://a.lk/2 \r\nLength2=-1\r\n"
        << QStringList{"http://a.lk/1", "http://a.lk/2"};
    QTest::newRow("relative") << "[playlist]\nFile1=/2\n" << QStringList{"http://base.lk/2"};
    QTest::newRow("not numbered") << "[playlist]\nFile=http://a.lk/\nFileX=http://b.lk/\n" << QStringList{};
    QTest::newRow("no files") << "[playlist]\nNumberOfEntries=0\n" << QStringList{};

    QString many = QStringLiteral("[playlist]\n");
    QStringList first;
    for (int i = 1; i <= 30; ++i) {
        many += QStringLiteral("File%1=http://a.lk/%1\n").arg(i);
        if (i <= 24)
            first << QStringLiteral("http://a.lk/%1").arg(i);
    }
    QTest::newRow("no more than 24") << many << first;
}

void TestPlsPlaylist::readsFiles()
{
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QCOMPARE(plsEntries(text, QStringLiteral("http://base.lk/list")), entries);
}

QTEST_APPLESS_MAIN(TestPlsPlaylist)
#include "test_pls_playlist.moc"
