// The stream probe: what a server's answer says, and a server that never finishes answering.
#include "loopback_servers.h"

#include "patience.h"
#include "playlist/stream_probe.h"

#include <QTest>
#include <future>
#include <thread>

using tarvoni::testing::kPatienceMs;
using namespace tarvoni;
using namespace tarvoni::playlist;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(tarvoni::FailureReport)

class TestStreamProbe : public QObject {
    Q_OBJECT

private slots:
    void classifiesServerAnswers_data();
    void classifiesServerAnswers();
    void givesUpOnATricklingServer();
};

void TestStreamProbe::classifiesServerAnswers_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<FailureReport>("report");

    QTest::newRow("404") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>")
                         << FailureReport{Failure::ServerStatus, 404};
    QTest::newRow("500") << QByteArray("HTTP/1.0 500 Internal Server Error\r\n\r\n")
                         << FailureReport{Failure::ServerStatus, 500};
    QTest::newRow("shoutcast refusal")
        << QByteArray("ICY 401 Service Unavailable\r\n\r\n") << FailureReport{Failure::ServerStatus, 401};
    QTest::newRow("web page") << QByteArray(
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<!DOCTYPE html>")
                              << FailureReport{Failure::NotAudio, 0};
    QTest::newRow("undecodable audio") << QByteArray("ICY 200 OK\r\ncontent-type: audio/mpeg\r\n\r\n\x01\x02")
                                       << FailureReport{Failure::NotAudio, 0};
    QTest::newRow("not http at all") << QByteArray("\x89PNG\r\n\x1a\n")
                                     << FailureReport{Failure::NotAudio, 0};
    for (const char *status : {"0", "+404", "4040", "040", "-500", "40x"})
        QTest::newRow(status) << QByteArray("HTTP/1.0 ") + status + " Error\r\n\r\n"
                              << FailureReport{Failure::NotAudio, 0};
}

void TestStreamProbe::classifiesServerAnswers()
{
    QFETCH(QByteArray, head);
    QFETCH(FailureReport, report);
    QCOMPARE(classifyResponse(head), report);
}

void TestStreamProbe::givesUpOnATricklingServer()
{
    tarvoni::testing::LoopbackRadio radio;
    QString error;
    QVERIFY2(radio.start(&error), qPrintable(error));
    // A byte a second comes well within each wait; only the probe's own end stops it.
    std::packaged_task<ProbeResult()> task(
        [url = radio.url(QStringLiteral("/trickle"))] { return probeStream(url, 1500ms); });
    auto probe = task.get_future();
    std::thread(std::move(task)).detach(); // a probe that never ends must not hold the test
    QTRY_VERIFY_WITH_TIMEOUT(probe.wait_for(0s) == std::future_status::ready, kPatienceMs);
    QCOMPARE(probe.get().failure, (FailureReport{Failure::NotAudio, 0}));
}

QTEST_GUILESS_MAIN(TestStreamProbe)
#include "test_stream_probe.moc"
