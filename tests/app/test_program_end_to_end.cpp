// The real program under Xvfb, on a private D-Bus session with a StatusNotifierItem tray host
// and a loopback radio server: the tray tip follows the station, the status line reaches
// playing, the desktop's media controls (MPRIS, also through playerctl) act as the window's own
// controls, playing holds off idle suspend, a wake from sleep reconnects, the window manager's
// minimize hides into either kind of tray, the exit button leaves nothing behind, and a normal
// start and exit write nothing on stderr.

#include "loopback_http_server.h"
#include "loopback_servers.h"
#include "patience.h"
#include "status_notifier_client.h"
#include "window_manager.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using tarvoni::testing::kPatienceMs;
using namespace tarvoni::test;
using tarvoni::testing::LoopbackRadio;
using tarvoni::testing::startWindowManager;

namespace {

// The window opens with its client area's top-left corner here when no window manager runs.
constexpr QPoint kClientOrigin{292, 83};
constexpr QPoint kMini{520 + 30, 96 + 12};
constexpr QPoint kExit{584 + 16, 96 + 12};

const QString kMpris = QStringLiteral("org.mpris.MediaPlayer2.TarvoniRadioPlayer");
const QString kMprisPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPowerManagement = QStringLiteral("org.freedesktop.PowerManagement");

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
                             {QStringLiteral("mousemove"), QString::number(screen.x()),
                              QString::number(screen.y()), QStringLiteral("click"), QStringLiteral("1")})
        == 0;
}

QString run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString playerctl(const QStringList &args)
{
    return run(QStringLiteral("playerctl"),
               QStringList{QStringLiteral("-p"), QStringLiteral("TarvoniRadioPlayer")} + args);
}

// "IsViewable" or "IsUnMapped", as the X server has the window.
QString mapState(const QString &window)
{
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    return QRegularExpression(QStringLiteral("Map State: (\\w+)")).match(info).captured(1);
}

// "Normal" or "Iconic" as the window manager has it; empty for a withdrawn window.
QString managedState(const QString &window)
{
    const QString info = run(QStringLiteral("xprop"),
                             {QStringLiteral("-id"), window, QStringLiteral("WM_STATE")});
    return QRegularExpression(QStringLiteral("window state: (\\w+)")).match(info).captured(1);
}

// D-Bus values as plain Qt ones: maps and string lists unwrapped, object paths as text.
QVariant plain(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return plain(value.value<QDBusVariant>().variant());
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        if (argument.currentType() == QDBusArgument::MapType) {
            QVariantMap map;
            argument >> map;
            for (QVariant &entry : map)
                entry = plain(entry);
            return map;
        }
        QStringList list;
        argument >> list;
        return list;
    }
    if (value.userType() == QMetaType::QVariantMap) {
        QVariantMap map = value.toMap();
        for (QVariant &entry : map)
            entry = plain(entry);
        return map;
    }
    return value;
}

QVariant mprisProperty(const QString &interface, const QString &name)
{
    return plain(busProperty(kMpris, kMprisPath, interface, name));
}

QDBusMessage mprisCall(const QString &interface, const QString &method, const QVariantList &args = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(kMpris, kMprisPath, interface, method);
    call.setArguments(args);
    return callAndWait(call);
}

bool setVolume(double volume)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kMpris, kMprisPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    call << kPlayer << QStringLiteral("Volume") << QVariant::fromValue(QDBusVariant(volume));
    return callAndWait(call).type() == QDBusMessage::ReplyMessage;
}

QVariantMap expectedMetadata(const QString &station, const QString &text, const QString &title)
{
    return {{QStringLiteral("mpris:trackid"),
             QStringLiteral("/com/tarvoniradio/TarvoniRadioPlayer/station/") + station},
            {QStringLiteral("xesam:title"), title},
            {QStringLiteral("xesam:artist"), QStringList{text}}};
}

} // namespace

// The desktop portal's and the power management's idle inhibition, writing down each request
// and each release.
class FakePortalRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    FakePortalRequest(QStringList &log, QObject *parent)
        : QObject(parent)
        , m_log(log)
    {
    }
public slots:
    void Close()
    {
        m_log << QStringLiteral("portal release");
        deleteLater();
    }

private:
    QStringList &m_log;
};

class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")
public:
    explicit FakePortal(QStringList &log)
        : m_log(log)
    {
    }
public slots:
    QDBusObjectPath Inhibit(const QString &, uint flags, const QVariantMap &)
    {
        m_log << QStringLiteral("portal inhibit %1").arg(flags);
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/test/t%1")
                                 .arg(++m_requests);
        QDBusConnection::sessionBus().registerObject(path, new FakePortalRequest(m_log, this),
                                                     QDBusConnection::ExportAllSlots);
        return QDBusObjectPath(path);
    }

private:
    QStringList &m_log;
    int m_requests = 0;
};

class FakePowerManagement : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.PowerManagement.Inhibit")
public:
    explicit FakePowerManagement(QStringList &log)
        : m_log(log)
    {
    }
public slots:
    uint Inhibit(const QString &, const QString &)
    {
        m_log << QStringLiteral("power management inhibit");
        return 7;
    }
    void UnInhibit(uint cookie) { m_log << QStringLiteral("power management release %1").arg(cookie); }

private:
    QStringList &m_log;
};

class TestProgramEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void startsWithItsTipAndMediaControls();
    void stationPlaysEverywhere_data();
    void stationPlaysEverywhere();
    void mediaControlsActAsTheWindowsControls_data();
    void mediaControlsActAsTheWindowsControls();
    void wakingFromSleepReconnectsAtOnce();
    void windowManagerMinimize_data();
    void windowManagerMinimize();
    void exitLeavesNothingBehind();
    void normalStartWritesNothingOnStderr();
    void brokenMediaEngineStillOpensTheWindow();
    void greedyAdLeavesTheStationPlaying();
    void withoutSessionBus();

    void onPropertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &);

private:
    bool startHost();
    bool startProgram(const QProcessEnvironment &env = {});
    QStringList outputLines();
    QString last(const QString &prefix);
    QProcessEnvironment programEnvironment() const;
    bool announced(const QString &name, const QVariant &value) const;

    QProcess m_host;
    QProcess m_windowManager;
    QProcess m_tray;
    QProcess m_program;
    LoopbackRadio m_radio;
    quint16 m_adPort = 9; // nothing listens there
    QStringList m_lines;
    QString m_window;
    QList<QVariantMap> m_announced;
    QStringList m_inhibitLog;
    FakePortal m_portal{m_inhibitLog};
    FakePowerManagement m_powerManagement{m_inhibitLog};
};

void TestProgramEndToEnd::initTestCase()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY2(bus.isConnected(), "run under dbus-run-session");
    QVERIFY(startHost());
    QString error;
    QVERIFY2(m_radio.start(&error), qPrintable(error));

    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &m_portal,
                               QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"), &m_powerManagement,
                               QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(kPowerManagement));
    // The program is given this bus as its system bus too, where this test is logind.
    QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.login1")));
    QVERIFY(bus.connect(QString(), kMprisPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                        QStringLiteral("PropertiesChanged"), this,
                        SLOT(onPropertiesChanged(QString, QVariantMap, QStringList))));
}

void TestProgramEndToEnd::cleanupTestCase()
{
    m_host.terminate();
    if (!m_host.waitForFinished(5000))
        m_host.kill();
}

void TestProgramEndToEnd::cleanup()
{
    for (QProcess *process : {&m_program, &m_tray, &m_windowManager}) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    m_adPort = 9;
    if (m_host.state() == QProcess::NotRunning)
        QVERIFY(startHost());
    QDBusConnection::sessionBus().unregisterService(kPortal);
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems(), QStringList(), kPatienceMs);
    // The bus lets go of a killed program's names a moment after it ends; until then the next
    // program would take its instance name instead of the player's.
    QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kMpris).value(),
                             kPatienceMs);
}

bool TestProgramEndToEnd::startHost()
{
    m_host.setProcessChannelMode(QProcess::ForwardedChannels);
    m_host.start(QStringLiteral(TARVONI_STATUS_NOTIFIER_WATCHER), {});
    return m_host.waitForStarted()
        && QTest::qWaitFor(
               [] {
                   return QDBusConnection::sessionBus()
                       .interface()
                       ->isServiceRegistered(kStatusNotifierWatcher)
                       .value();
               },
               10000);
}

QProcessEnvironment TestProgramEndToEnd::programEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
               env.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")));
    return env;
}

// Starts the program on the loopback radio and waits until its window is shown and its media
// controls are on the bus.
bool TestProgramEndToEnd::startProgram(const QProcessEnvironment &env)
{
    m_lines.clear();
    m_announced.clear();
    m_inhibitLog.clear();
    m_program.setProcessChannelMode(QProcess::SeparateChannels);
    m_program.setReadChannel(QProcess::StandardOutput);
    m_program.setProcessEnvironment(env.isEmpty() ? programEnvironment() : env);
    m_program.start(QStringLiteral(TARVONI_LOOPBACK_PLAYER),
                    {QString::number(m_radio.port()), QString::number(m_adPort)});
    const auto windowShown = [this] { return !last(QStringLiteral("window ")).isEmpty(); };
    const bool shown = m_program.waitForStarted()
        && QTest::qWaitFor([&] { return windowShown() || m_program.state() == QProcess::NotRunning; }, 20000)
        && windowShown();
    if (!shown) {
        const QString how = m_program.state() != QProcess::NotRunning ? QStringLiteral("still running")
            : m_program.exitStatus() == QProcess::CrashExit
            ? QStringLiteral("it crashed")
            : QStringLiteral("it ended with %1").arg(m_program.exitCode());
        qWarning("the program showed no window (%s); it wrote: %s", qPrintable(how),
                 m_program.readAllStandardError().constData());
        return false;
    }
    m_window = last(QStringLiteral("window ")).mid(7);
    return !env.isEmpty()
        || QTest::qWaitFor(
            [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kMpris).value(); },
            10000);
}

QStringList TestProgramEndToEnd::outputLines()
{
    while (m_program.canReadLine())
        m_lines << QString::fromUtf8(m_program.readLine()).trimmed();
    return m_lines;
}

// The last line the program wrote that starts with prefix, or empty.
QString TestProgramEndToEnd::last(const QString &prefix)
{
    const QStringList lines = outputLines();
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->startsWith(prefix))
            return *it;
    }
    return {};
}

void TestProgramEndToEnd::onPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                              const QStringList &)
{
    if (interface == kPlayer)
        m_announced << plain(changed).toMap();
}

bool TestProgramEndToEnd::announced(const QString &name, const QVariant &value) const
{
    for (const QVariantMap &changed : m_announced) {
        if (changed.contains(name) && changed.value(name) == value)
            return true;
    }
    return false;
}

void TestProgramEndToEnd::startsWithItsTipAndMediaControls()
{
    QVERIFY(startProgram());
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems().size(), 1, kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(trayTip(), QStringLiteral("Tarvoni Radio Player"), kPatienceMs);

    const QVariantMap root{
        {QStringLiteral("Identity"), QStringLiteral("Tarvoni Radio Player")},
        {QStringLiteral("DesktopEntry"), QStringLiteral("com.tarvoniradio.TarvoniRadioPlayer")},
        {QStringLiteral("CanRaise"), true},
        {QStringLiteral("CanQuit"), true},
        {QStringLiteral("HasTrackList"), false},
        {QStringLiteral("SupportedUriSchemes"), QStringList()},
        {QStringLiteral("SupportedMimeTypes"), QStringList()}};
    const QVariantMap player{{QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")},
                             {QStringLiteral("Volume"), 0.25},
                             {QStringLiteral("Metadata"), QVariantMap()},
                             {QStringLiteral("Position"), qlonglong(0)},
                             {QStringLiteral("Rate"), 1.0},
                             {QStringLiteral("MinimumRate"), 1.0},
                             {QStringLiteral("MaximumRate"), 1.0},
                             {QStringLiteral("CanPlay"), true},
                             {QStringLiteral("CanPause"), true},
                             {QStringLiteral("CanControl"), true},
                             {QStringLiteral("CanGoNext"), true},
                             {QStringLiteral("CanGoPrevious"), true},
                             {QStringLiteral("CanSeek"), false}};
    for (const auto &[interface, expected] : {std::pair{kRoot, root}, std::pair{kPlayer, player}}) {
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(mprisProperty(interface, it.key()), it.value());
    }
    QCOMPARE(playerctl({QStringLiteral("status")}), QStringLiteral("Stopped"));
    QCOMPARE(playerctl({QStringLiteral("volume")}).toDouble(), 0.25);
    QCOMPARE(m_inhibitLog, QStringList());
}

void TestProgramEndToEnd::stationPlaysEverywhere_data()
{
    QTest::addColumn<bool>("portal");
    QTest::addColumn<QString>("service");
    QTest::newRow("desktop portal") << true << QStringLiteral("portal");
    QTest::newRow("power management") << false << QStringLiteral("power management");
}

void TestProgramEndToEnd::stationPlaysEverywhere()
{
    QFETCH(bool, portal);
    QFETCH(QString, service);
    if (portal)
        QVERIFY(QDBusConnection::sessionBus().registerService(kPortal));
    QVERIFY(startProgram());
    const QString inhibited = portal ? QStringLiteral("portal inhibit 4")
                                     : QStringLiteral("power management inhibit");
    const QString released = portal ? QStringLiteral("portal release")
                                    : QStringLiteral("power management release 7");

    // lbnonstop sits in row 5, column 6 of the station grid: an .asx playlist on the server,
    // whose entry's stream sends the title "From ASX".
    QVERIFY(clickAt({448 + 40, 456 + 40}));
    QTRY_COMPARE_WITH_TIMEOUT(trayTip(), QStringLiteral("Non-stop / Baila Channel - Tarvoni Radio Player"),
                              kPatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("status:")).startsWith(QLatin1String("status: Playing")),
                             kPatienceMs);
    const QVariantMap metadata = expectedMetadata(
        QStringLiteral("lbnonstop"), QStringLiteral("Non-stop / Baila Channel"), QStringLiteral("From ASX"));
    QTRY_VERIFY_WITH_TIMEOUT(announced(QStringLiteral("Metadata"), metadata), kPatienceMs);
    QVERIFY(announced(QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")));
    QCOMPARE(playerctl({QStringLiteral("status")}), QStringLiteral("Playing"));
    QCOMPARE(playerctl({QStringLiteral("metadata"), QStringLiteral("--format"),
                        QStringLiteral("{{title}}|{{artist}}|{{mpris:artUrl}}")}),
             QStringLiteral("From ASX|Non-stop / Baila Channel|")); // not installed: no logo file to offer
    QTRY_COMPARE_WITH_TIMEOUT(m_inhibitLog, QStringList{inhibited}, kPatienceMs);

    // play-pause stops and releases; again, it plays and holds off suspend once more.
    m_announced.clear();
    playerctl({QStringLiteral("play-pause")});
    QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("view:")).contains(QLatin1String(" play=shown ")),
                             kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(last(QStringLiteral("status:")), QStringLiteral("status: Stopped"),
                              kPatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(announced(QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")),
                             kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_inhibitLog, (QStringList{inhibited, released}), kPatienceMs);
    playerctl({QStringLiteral("play-pause")});
    QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("status:")).startsWith(QLatin1String("status: Playing")),
                             kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_inhibitLog, (QStringList{inhibited, released, inhibited}), kPatienceMs);

    // Quit ends the program as the tray menu's Close does, letting go on the way out.
    QCOMPARE(mprisCall(kRoot, QStringLiteral("Quit")).type(), QDBusMessage::ReplyMessage);
    // Waiting with the event loop running: the program's last release comes to this process.
    QTRY_COMPARE_WITH_TIMEOUT(m_program.state(), QProcess::NotRunning, kPatienceMs);
    QCOMPARE(m_program.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_inhibitLog, (QStringList{inhibited, released, inhibited, released}),
                              kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems(), QStringList(), kPatienceMs);
}

void TestProgramEndToEnd::mediaControlsActAsTheWindowsControls_data()
{
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("view");   // what the window then shows
    QTest::addColumn<QString>("status"); // the player's status line starts so ("" not looked at)
    QTest::addColumn<QString>("playback");

    const QString dj = QStringLiteral(
        "view: station=DJ / Remix Channel play=%1 hint=hidden volume=25% window=shown");
    const QString playing = QStringLiteral("status: Playing");
    const QString stopped = QStringLiteral("status: Stopped");
    QTest::newRow("Previous at start: the last station")
        << QStringList{"Previous"} << dj.arg("hidden") << playing << "Playing";
    QTest::newRow("Next after the last: the first")
        << QStringList{"Previous", "Next"}
        << "view: station=Asura FM play=hidden hint=hidden volume=25% window=shown"
        << "status: Server said 404"
        << "Stopped"; // a failure ends playback
    QTest::newRow("playerctl next at start: the first station")
        << QStringList{"playerctl next"}
        << "view: station=Asura FM play=hidden hint=hidden volume=25% window=shown"
        << "status: Server said 404"
        << "Stopped";
    QTest::newRow("Stop") << QStringList{"Previous", "Stop"} << dj.arg("shown") << stopped << "Stopped";
    QTest::newRow("Pause stops") << QStringList{"Previous", "Pause"} << dj.arg("shown") << stopped
                                 << "Stopped";
    QTest::newRow("PlayPause stops") << QStringList{"Previous", "PlayPause"} << dj.arg("shown") << stopped
                                     << "Stopped";
    QTest::newRow("PlayPause plays") << QStringList{"Previous", "Stop", "PlayPause"} << dj.arg("hidden")
                                     << playing << "Playing";
    QTest::newRow("Play after Stop") << QStringList{"Previous", "Stop", "Play"} << dj.arg("hidden") << playing
                                     << "Playing";
    QTest::newRow("Play with no station: the hint")
        << QStringList{"Play"} << "view: station= play=hidden hint=shown volume=25% window=shown"
        << ""
        << "Stopped";
    QTest::newRow("Volume") << QStringList{"Volume 0.9"}
                            << "view: station= play=shown hint=hidden volume=90% window=shown"
                            << ""
                            << "Stopped";
    QTest::newRow("Volume beyond the bar")
        << QStringList{"Volume 1.7"} << "view: station= play=shown hint=hidden volume=100% window=shown"
        << ""
        << "Stopped";
    QTest::newRow("Raise from the tray")
        << QStringList{"mini", "Raise"} << "view: station= play=shown hint=hidden volume=25% window=shown"
        << ""
        << "Stopped";
}

void TestProgramEndToEnd::mediaControlsActAsTheWindowsControls()
{
    QFETCH(QStringList, requests);
    QFETCH(QString, view);
    QFETCH(QString, status);
    QFETCH(QString, playback);
    QVERIFY(startProgram());
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems().size(), 1, kPatienceMs);

    for (const QString &request : requests) {
        if (request == QLatin1String("mini")) {
            QVERIFY(clickAt(kMini));
            QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("view:")).endsWith(QLatin1String("window=hidden")),
                                     kPatienceMs);
        } else if (request.startsWith(QLatin1String("playerctl "))) {
            playerctl(request.mid(10).split(u' '));
        } else if (request.startsWith(QLatin1String("Volume "))) {
            QVERIFY(setVolume(request.mid(7).toDouble()));
        } else {
            const QString interface = request == QLatin1String("Raise") ? kRoot : kPlayer;
            QCOMPARE(mprisCall(interface, request).type(), QDBusMessage::ReplyMessage);
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(last(QStringLiteral("view:")), view, kPatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(status.isEmpty() || last(QStringLiteral("status:")).startsWith(status),
                             kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(mprisProperty(kPlayer, QStringLiteral("PlaybackStatus")).toString(), playback,
                              kPatienceMs);
    // Held while playing (no portal here, so by the power management), released otherwise.
    const bool playing = playback == QLatin1String("Playing");
    QTRY_COMPARE_WITH_TIMEOUT(m_inhibitLog.size() % 2, playing ? 1 : 0, kPatienceMs);
    if (playing)
        QCOMPARE(m_inhibitLog.last(), QStringLiteral("power management inhibit"));
    QCOMPARE(announced(QStringLiteral("PlaybackStatus"), playback), playing || !status.isEmpty());

    const QString station = view.section(QStringLiteral("station="), 1)
                                .section(QStringLiteral(" play="), 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(trayTip(),
                              station.isEmpty() ? QStringLiteral("Tarvoni Radio Player")
                                                : station + QStringLiteral(" - Tarvoni Radio Player"),
                              kPatienceMs);
    const double volume = view.section(QStringLiteral("volume="), 1).section(u'%', 0, 0).toInt() / 100.0;
    QCOMPARE(mprisProperty(kPlayer, QStringLiteral("Volume")).toDouble(), volume);
    if (volume != 0.25)
        QVERIFY(announced(QStringLiteral("Volume"), volume));
}

void TestProgramEndToEnd::wakingFromSleepReconnectsAtOnce()
{
    QVERIFY(startProgram());
    QCOMPARE(mprisCall(kPlayer, QStringLiteral("Previous")).type(), QDBusMessage::ReplyMessage);
    QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("status:")).startsWith(QLatin1String("status: Playing")),
                             kPatienceMs);

    const qsizetype before = outputLines().size();
    QDBusMessage resumed = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                      QStringLiteral("org.freedesktop.login1.Manager"),
                                                      QStringLiteral("PrepareForSleep"));
    resumed << false;
    QVERIFY(QDBusConnection::sessionBus().send(resumed));
    QTRY_VERIFY_WITH_TIMEOUT(
        outputLines().mid(before).contains(QStringLiteral("status: Connecting to 127.0.0.1...")),
        kPatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("status:")).startsWith(QLatin1String("status: Playing")),
                             kPatienceMs);
}

void TestProgramEndToEnd::windowManagerMinimize_data()
{
    QTest::addColumn<QString>("tray");
    QTest::newRow("status notifier host") << QStringLiteral("status notifier");
    QTest::newRow("XEmbed tray") << QStringLiteral("xembed");
    QTest::newRow("no tray") << QStringLiteral("none");
}

void TestProgramEndToEnd::windowManagerMinimize()
{
    QFETCH(QString, tray);
    if (tray != QLatin1String("status notifier")) {
        m_host.terminate();
        QVERIFY(m_host.waitForFinished(5000));
    }
    QString error;
    QVERIFY2(startWindowManager(m_windowManager, &error), qPrintable(error));
    if (tray == QLatin1String("xembed")) {
        m_tray.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("bottom")});
        QVERIFY2(m_tray.waitForStarted(), "trayer is needed for this test");
        QTRY_VERIFY_WITH_TIMEOUT(!run(QStringLiteral("xdotool"), {"search", "--class", "trayer"}).isEmpty(),
                                 kPatienceMs);
    }
    QVERIFY(startProgram());
    QTRY_COMPARE_WITH_TIMEOUT(managedState(m_window), QStringLiteral("Normal"), kPatienceMs);

    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), m_window}), 0);
    if (tray == QLatin1String("none")) {
        // Minimized as usual, and still there to be brought back.
        QTRY_COMPARE_WITH_TIMEOUT(managedState(m_window), QStringLiteral("Iconic"), kPatienceMs);
        QTest::qWait(1000);
        QCOMPARE(managedState(m_window), QStringLiteral("Iconic"));
        QVERIFY(last(QStringLiteral("view:")).endsWith(QLatin1String("window=shown")));
    } else {
        // Hidden into the tray, and it stays there.
        QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("view:")).endsWith(QLatin1String("window=hidden")),
                                 kPatienceMs);
        QTest::qWait(1000);
        QCOMPARE(mapState(m_window), QStringLiteral("IsUnMapped"));
        QCOMPARE(managedState(m_window), QString());
        QVERIFY(last(QStringLiteral("view:")).endsWith(QLatin1String("window=hidden")));
    }
    QVERIFY(!m_program.readAllStandardError().contains("no system tray found")
            || tray == QLatin1String("none"));

    // Raise, as the tray icon's left click, brings it back in its normal state.
    QCOMPARE(mprisCall(kRoot, QStringLiteral("Raise")).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE_WITH_TIMEOUT(managedState(m_window), QStringLiteral("Normal"), kPatienceMs);
    QCOMPARE(mapState(m_window), QStringLiteral("IsViewable"));
    QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("view:")).endsWith(QLatin1String("window=shown")),
                             kPatienceMs);
}

void TestProgramEndToEnd::exitLeavesNothingBehind()
{
    QVERIFY(startProgram());
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems().size(), 1, kPatienceMs);
    QVERIFY(clickAt(kExit));
    QVERIFY2(m_program.waitForFinished(15000), "the program is still running after Exit");
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems(), QStringList(), kPatienceMs);
    QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kMpris).value());
}

void TestProgramEndToEnd::normalStartWritesNothingOnStderr()
{
    // As on a desktop session: a runtime directory and a tray host.
    QTemporaryDir runtimeDir;
    QVERIFY(QFile::setPermissions(runtimeDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment env = programEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    QVERIFY(startProgram(env));
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems().size(), 1, kPatienceMs);
    // The ad panes' web engine starts its helper processes once it runs.
    const QString pid = QString::number(m_program.processId());
    QTRY_VERIFY_WITH_TIMEOUT(!run(QStringLiteral("pgrep"), {"-P", pid, "-f", "QtWebEngineProcess"}).isEmpty(),
                             kPatienceMs);
    QTest::qWait(1000);
    QVERIFY(clickAt(kExit));
    QVERIFY2(m_program.waitForFinished(15000), "the program is still running after Exit");
    QCOMPARE(m_program.exitCode(), 0);

    // Run as root, the engine's sandbox is off, and the program says so.
    const QString expected = geteuid() == 0
        ? QStringLiteral(
            "tarvoni.ads: running as root, so the ad panes' web engine runs without its sandbox.")
        : QString();
    QCOMPARE(QString::fromUtf8(m_program.readAllStandardError()).trimmed(), expected);
}

void TestProgramEndToEnd::greedyAdLeavesTheStationPlaying()
{
    // One ad keeps a processor busy for good, beside an ordinary one.
    tarvoni::LoopbackHttpServer ads;
    QVERIFY(ads.start());
    ads.setPage("/3-1/1.php", {200, "<script>setTimeout(() => { for (;;) {} }, 500)</script>"});
    ads.setPage("/3-1/2.php", {200, "<p>ad</p>"});
    m_adPort = ads.serverPort();
    QVERIFY(startProgram());
    QVERIFY(clickAt({448 + 40, 456 + 40}));
    QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("status:")).startsWith(QLatin1String("status: Playing")),
                             kPatienceMs);
    const qsizetype playingFrom = outputLines().size();

    // Until the ad's renderer has had its 15 s and is ended, twice (the panes come back, and the
    // busy ad is caught again), the window answers at once: a volume set over the bus shows in it.
    QByteArray err;
    QElapsedTimer waited;
    waited.start();
    for (int volume = 30; (err += m_program.readAllStandardError()).count("kept a processor busy") < 2;
         volume = volume % 90 + 1) {
        QVERIFY2(waited.elapsed() < 120000, err.constData());
        playerctl({QStringLiteral("volume"), QString::number(volume / 100.0)});
        QTRY_VERIFY_WITH_TIMEOUT(
            last(QStringLiteral("view:")).contains(QStringLiteral(" volume=%1% ").arg(volume)), kPatienceMs);
        QTest::qWait(500);
    }
    // And the station played throughout.
    QTest::qWait(1000);
    for (const QString &line : outputLines().mid(playingFrom)) {
        if (line.startsWith(QLatin1String("status:")))
            QVERIFY2(line.startsWith(QLatin1String("status: Playing")), qPrintable(line));
    }
    QCOMPARE(playerctl({QStringLiteral("status")}), QStringLiteral("Playing"));
}

void TestProgramEndToEnd::brokenMediaEngineStillOpensTheWindow()
{
    QProcess program;
    program.setProcessEnvironment(programEnvironment());
    program.start(QStringLiteral(TARVONI_LOOPBACK_PLAYER),
                  {QString::number(m_radio.port()), QStringLiteral("9"), QStringLiteral("--broken-engine")});
    QVERIFY(program.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT(
        (out += program.readAllStandardOutput()).contains("status: Playback unavailable: "), kPatienceMs);
    QVERIFY(out.contains("shown\n"));
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += program.readAllStandardError()).contains("Playback unavailable: "),
                             kPatienceMs);

    // The window works on without sound, and still ends cleanly.
    QVERIFY(clickAt({8 + 40, 104 + 40}));
    QVERIFY(clickAt(kExit));
    QVERIFY2(program.waitForFinished(15000), "the program is still running after Exit");
    QCOMPARE(program.exitCode(), 0);
}

void TestProgramEndToEnd::withoutSessionBus()
{
    QProcessEnvironment env = programEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    QVERIFY(startProgram(env));
    QVERIFY(clickAt({8 + 40, 104 + 40}));
    QTRY_VERIFY_WITH_TIMEOUT(last(QStringLiteral("view:")).contains(QLatin1String("station=Asura FM")),
                             kPatienceMs);
    QVERIFY(clickAt(kExit));
    QVERIFY2(m_program.waitForFinished(15000), "the program is still running after Exit");
    QCOMPARE(m_program.exitCode(), 0);
    QCOMPARE(
        QString::fromUtf8(m_program.readAllStandardError()).count(QStringLiteral("no D-Bus session bus")), 1);
}

QTEST_GUILESS_MAIN(TestProgramEndToEnd)
#include "test_program_end_to_end.moc"
