// Which addresses the media engine may open.
#include "player/stream_scheme.h"

#include <QTest>

using namespace tarvoni;

class TestStreamScheme : public QObject {
    Q_OBJECT

private slots:
    void onlyStreamSchemesPass_data();
    void onlyStreamSchemesPass();
};

void TestStreamScheme::onlyStreamSchemesPass_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QString>("scheme");

    QTest::newRow("http") << "http://radio.lk:8000/live" << true << "http:";
    QTest::newRow("https") << "https://radio.lk/live" << true << "https:";
    QTest::newRow("mms") << "mms://radio.lk/SirasaFM" << true << "mms:";
    QTest::newRow("mmsh") << "mmsh://radio.lk/x" << true << "mmsh:";
    QTest::newRow("mmst") << "mmst://radio.lk/x" << true << "mmst:";
    QTest::newRow("icyx") << "icyx://127.0.0.1:8000/" << true << "icyx:";
    QTest::newRow("upper-case stream scheme") << "MMS://h.lk/Rav's_FM" << true << "mms:";
    QTest::newRow("file") << "file:///home/user/music.mp3" << false << "file:";
    QTest::newRow("upper-case file") << "FILE:///etc/passwd" << false << "file:";
    QTest::newRow("fd") << "fd://3" << false << "fd:";
    QTest::newRow("udp") << "udp://@:5004" << false << "udp:";
    QTest::newRow("rtp") << "rtp://@239.0.0.1:5004" << false << "rtp:";
    QTest::newRow("pulse") << "pulse://" << false << "pulse:";
    QTest::newRow("alsa") << "alsa://hw:0" << false << "alsa:";
    QTest::newRow("v4l2") << "v4l2:///dev/video0" << false << "v4l2:";
    QTest::newRow("screen") << "screen://" << false << "screen:";
    QTest::newRow("dvd") << "dvd:///dev/sr0" << false << "dvd:";
    QTest::newRow("cdda") << "cdda:///dev/cdrom" << false << "cdda:";
    QTest::newRow("smb") << "smb://host/share/a.mp3" << false << "smb:";
    QTest::newRow("sftp") << "sftp://user@host/a.mp3" << false << "sftp:";
    QTest::newRow("ftp") << "ftp://host/a.mp3" << false << "ftp:";
    QTest::newRow("imem") << "imem://" << false << "imem:";
    QTest::newRow("vlc") << "vlc://quit" << false << "vlc:";
    QTest::newRow("relative path") << "music/a.mp3" << false << "";
    QTest::newRow("relative with dots") << "../a.mp3" << false << "";
    QTest::newRow("bare path") << "/etc/passwd" << false << "";
    QTest::newRow("network path") << "//host/live" << false << "";
    QTest::newRow("drive letter") << "C:\\music\\a.mp3" << false << "c:";
    QTest::newRow("space before the scheme") << " http://radio.lk/" << false << "";
    QTest::newRow("tab before the scheme") << "\tfile:///x" << false << "";
    QTest::newRow("no host") << "http:///etc/passwd" << false << "http:";
    QTest::newRow("not hierarchical") << "http:radio.lk" << false << "http:";
    QTest::newRow("new line inside") << "http://radio.lk/\nfile:///x" << false << "http:";
    QTest::newRow("empty") << "" << false << "";
}

void TestStreamScheme::onlyStreamSchemesPass()
{
    QFETCH(QString, address);
    QFETCH(bool, allowed);
    QFETCH(QString, scheme);
    QCOMPARE(isStreamAddress(address), allowed);
    QCOMPARE(addressScheme(address), scheme);
}

QTEST_APPLESS_MAIN(TestStreamScheme)
#include "test_stream_scheme.moc"
