// The real program under Xvfb, with a StatusNotifierItem tray host on a private D-Bus session
// and a loopback radio server: the tray tip follows the station, the status line reaches
// playing, and the exit button leaves no icon and no process behind.

#include "loopback_servers.h"
#include "status_notifier_client.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>

using namespace tarvoni::test;
using tarvoni::testing::LoopbackRadio;

namespace {

// The window opens with its client area's top-left corner here, and no window manager runs.
constexpr QPoint kClientOrigin{292, 83};

// The tip of the one tray icon, as a host reads it.
QString trayTip()
{
    const QStringList items = registeredItems();
    if (items.size() != 1)
        return QStringLiteral("<%1 items>").arg(items.size());
    const qsizetype slash = items.first().indexOf(u'/');
    return toolTipTitle(items.first().left(slash), items.first().mid(slash));
}

bool clickAt(QPoint clientPoint)
{
    const QPoint screen = kClientOrigin + clientPoint;
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("mousemove"), QString::number(screen.x()), QString::number(screen.y()),
                              QStringLiteral("click"), QStringLiteral("1")})
        == 0;
}

} // namespace

class TestProgramEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startsWithItsTip();
    void stationPlaysAndTipFollows();
    void exitLeavesNothingBehind();
    void brokenMediaEngineStillOpensTheWindow();

private:
    QStringList outputLines();

    QProcess m_host;
    QProcess m_program;
    LoopbackRadio m_radio;
    QStringList m_lines;
};

void TestProgramEndToEnd::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
    m_host.setProcessChannelMode(QProcess::ForwardedChannels);
    m_host.start(QStringLiteral(TARVONI_STATUS_NOTIFIER_WATCHER), {});
    QVERIFY(m_host.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(kStatusNotifierWatcher).value(), 10000);

    QString error;
    QVERIFY2(m_radio.start(&error), qPrintable(error));

    m_program.setProcessChannelMode(QProcess::SeparateChannels);
    m_program.setReadChannel(QProcess::StandardOutput);
    m_program.setProcessEnvironment([] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }());
    m_program.start(QStringLiteral(TARVONI_LOOPBACK_PLAYER), {QString::number(m_radio.port())});
    QVERIFY(m_program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(outputLines().contains(QStringLiteral("shown")), 20000);
}

void TestProgramEndToEnd::cleanupTestCase()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished(5000);
    }
    m_host.terminate();
    if (!m_host.waitForFinished(5000))
        m_host.kill();
}

QStringList TestProgramEndToEnd::outputLines()
{
    while (m_program.canReadLine())
        m_lines << QString::fromUtf8(m_program.readLine()).trimmed();
    return m_lines;
}

void TestProgramEndToEnd::startsWithItsTip()
{
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems().size(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(trayTip(), QStringLiteral("Tarvoni Radio Player"), 5000);
}

void TestProgramEndToEnd::stationPlaysAndTipFollows()
{
    // lbnonstop sits in row 5, column 6 of the station grid: an .asx playlist on the server.
    QVERIFY(clickAt({448 + 40, 456 + 40}));
    QTRY_COMPARE_WITH_TIMEOUT(trayTip(), QStringLiteral("Non-stop / Baila Channel - Tarvoni Radio Player"), 10000);
    auto playing = [this] {
        const QStringList lines = outputLines();
        return !lines.isEmpty() && lines.last().startsWith(QLatin1String("status: Playing"));
    };
    QTRY_VERIFY_WITH_TIMEOUT(playing(), 30000);
}

void TestProgramEndToEnd::exitLeavesNothingBehind()
{
    QVERIFY(clickAt({584 + 16, 96 + 12}));
    QVERIFY2(m_program.waitForFinished(15000), "the program is still running after Exit");
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems(), QStringList(), 10000);
}

void TestProgramEndToEnd::brokenMediaEngineStillOpensTheWindow()
{
    QProcess program;
    program.setProcessEnvironment(m_program.processEnvironment());
    program.start(QStringLiteral(TARVONI_LOOPBACK_PLAYER),
                  {QString::number(m_radio.port()), QStringLiteral("9"), QStringLiteral("--broken-engine")});
    QVERIFY(program.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += program.readAllStandardOutput()).contains("status: Playback unavailable: "), 20000);
    QVERIFY(out.contains("shown\n"));
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += program.readAllStandardError()).contains("Playback unavailable: "), 5000);

    // The window works on without sound, and still ends cleanly.
    QVERIFY(clickAt({8 + 40, 104 + 40}));
    QVERIFY(clickAt({584 + 16, 96 + 12}));
    QVERIFY2(program.waitForFinished(15000), "the program is still running after Exit");
    QCOMPARE(program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestProgramEndToEnd)
#include "test_program_end_to_end.moc"
