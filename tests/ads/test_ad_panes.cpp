// The ad panes against a real web engine and a real HTTP server on the loopback interface.

#include "ad_engine/process_usage.h"
#include "ads/ad_pane.h"
#include "ads/ad_panes.h"
#include "loopback_http_server.h"
#include "loopback_servers.h"
#include "patience.h"
#include "private_pulse_server.h"
#include "ui_watchdog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <chrono>
#include <memory>
#include <optional>

using tarvoni::testing::kPatienceMs;
using namespace tarvoni;

namespace {

// How long a page over its budget waits before it comes back the first time (a minute in the
// program): longer than the 10 s a neighbour may have to wait for its turn.
constexpr std::chrono::seconds kFirstWait{15};

// Receives what the panes hand to the desktop's web browser.
class BrowserStandIn : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl &url) { opened << url; }
};

QByteArray htmlPage(const QByteArray &body)
{
    return "<!DOCTYPE html><html><head><style>html,body{margin:0}</style></head><body>" + body
        + "</body></html>";
}

// A link covering the whole pane, so a click anywhere lands on it.
QByteArray wholePaneLink(const QByteArray &attributes)
{
    return htmlPage("<a " + attributes
                    + " style='display:block;position:fixed;inset:0;background:#fc0'>ad</a>");
}

// Clicks the middle of the view's surface until `done`, as a user would click again when a
// click comes before the engine has drawn the page and hits nothing.
template <typename Done>
void clickUntil(QWebEngineView *view, Done done)
{
    QWidget *surface = view->focusProxy();
    for (int attempt = 0; surface && attempt < 10 && !done(); ++attempt) {
        QTest::mouseClick(surface, Qt::LeftButton, {}, surface->rect().center());
        if (QTest::qWaitFor(done, 1000))
            break;
    }
}

// The memory of its own (anonymous and shared) that the web engine's processes hold, in MB.
qint64 engineMemoryMb()
{
    // Each thread's own children: the engine starts its processes from a thread of its own.
    QByteArray pids;
    for (const QString &thread :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(QStringLiteral("/proc/self/task/%1/children").arg(thread));
        if (children.open(QIODevice::ReadOnly))
            pids += children.readAll() + ' ';
    }
    std::int64_t bytes = 0;
    for (const QByteArray &pid : pids.split(' ')) {
        if (const std::optional<RendererBudget::Sample> usage = processUsage(pid.toLongLong()))
            bytes += usage->memoryBytes;
    }
    return bytes >> 20;
}

} // namespace

class TestAdPanes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void bothPagesLoadOnceAtTheirSizesWithoutScrollBars();
    void failedLoadKeepsTheQuietPanel_data();
    void failedLoadKeepsTheQuietPanel();
    void pageComesThroughTheEnvironmentsProxy();
    void clickedLinkOpensInTheBrowser_data();
    void clickedLinkOpensInTheBrowser();
    void pageGetsNothingFromTheDesktop_data();
    void pageGetsNothingFromTheDesktop();
    void adMayChangeItselfOnTheAdServer();
    void serverRedirectBelongsToTheLoad();
    void pageReloadsAtMostOnceInTenSeconds_data();
    void pageReloadsAtMostOnceInTenSeconds();
    void adIsNeverHeard();
    void greedyPageIsUnloadedForAWhile_data();
    void greedyPageIsUnloadedForAWhile();

private:
    // Shows a window with both panes pointed at `base` and returns the view of `paneName`
    // once it has finished its first load; `loadedOk` tells whether it shows the page.
    QWebEngineView *showPanes(const QUrl &base, const char *paneName, bool *loadedOk);
    QUrl pageUrl(const char *paneName) const;

    std::unique_ptr<LoopbackHttpServer> m_server;
    std::unique_ptr<QWidget> m_window;
    // When the pane showPanes() returned first went empty after a load.
    std::optional<std::chrono::steady_clock::time_point> m_emptiedAt;
    BrowserStandIn m_browser;
    testing::PrivatePulseServer m_pulse;
    QString m_pulseError;
};

void TestAdPanes::initTestCase()
{
    // The engine finds its sound server when it first plays, long after this.
    if (m_pulse.start(&m_pulseError))
        qputenv("PULSE_SERVER", m_pulse.serverAddress().toUtf8());
}

void TestAdPanes::init()
{
    m_server = std::make_unique<LoopbackHttpServer>();
    QVERIFY(m_server->start());
    m_browser.opened.clear();
    m_emptiedAt.reset();
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_browser, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_browser, "openUrl");
}

void TestAdPanes::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    m_window.reset();
    m_server.reset();
}

QUrl TestAdPanes::pageUrl(const char *paneName) const
{
    const QString path = qstrcmp(paneName, "Scriptlet1") == 0 ? QStringLiteral("/3-1/1.php")
                                                              : QStringLiteral("/3-1/2.php");
    return QUrl(m_server->baseUrl().toString() + path);
}

QWebEngineView *TestAdPanes::showPanes(const QUrl &base, const char *paneName, bool *loadedOk)
{
    m_window = std::make_unique<QWidget>();
    m_window->resize(637, 581);
    startAdPanes(m_window.get(), base);
    // The panes bring in their engine once the window has been drawn, so nothing has loaded
    // yet and no end of a load can be missed.
    auto *pane = m_window->findChild<AdPane *>(QLatin1String(paneName));
    if (!pane)
        return nullptr;
    QSignalSpy loadsEnded(pane, &AdPane::loadEnded);
    connect(pane, &AdPane::loadEnded, this, [this](bool showsPage) {
        if (!showsPage && !m_emptiedAt)
            m_emptiedAt = std::chrono::steady_clock::now();
    });
    m_window->show();
    // The spy's own event loop, not a polling wait: the engine's work on this thread is a
    // chain of posted tasks, and a wait that sleeps between passes delays every link of it.
    if (!QTest::qWaitForWindowExposed(m_window.get()) || (loadsEnded.isEmpty() && !loadsEnded.wait(20000))) {
        return nullptr;
    }
    auto *view = pane->findChild<QWebEngineView *>();
    if (!view)
        return nullptr;
    *loadedOk = loadsEnded.first().first().toBool();
    return view;
}

void TestAdPanes::bothPagesLoadOnceAtTheirSizesWithoutScrollBars()
{
    // Both pages are far wider and taller than their panes.
    const QByteArray wide = htmlPage("<div style='width:900px;height:600px;background:#fc0'>ad</div>");
    m_server->setPage("/3-1/1.php", {200, wide});
    m_server->setPage("/3-1/2.php", {200, wide});

    bool ok = false;
    QWebEngineView *second = showPanes(m_server->baseUrl(), "Scriptlet2", &ok);
    QVERIFY(second && ok);
    auto *first = m_window->findChild<QWidget *>(QStringLiteral("Scriptlet1"))->findChild<QWebEngineView *>();
    QVERIFY(first);
    QTRY_VERIFY_WITH_TIMEOUT(first->isVisible() && second->isVisible(), kPatienceMs);

    const QList<std::pair<QWebEngineView *, QSize>> panes{{first, {201, 121}}, {second, {57, 121}}};
    for (const auto &[view, size] : panes) {
        QCOMPARE(view->size(), size);
        QCOMPARE(view->url(), pageUrl(view == first ? "Scriptlet1" : "Scriptlet2"));
        // A scroll bar would take its width out of the layout viewport.
        QVariant metrics;
        view->page()->runJavaScript(
            QStringLiteral("[innerWidth, innerHeight, document.documentElement.clientWidth,"
                           " document.documentElement.clientHeight]"),
            [&metrics](const QVariant &result) { metrics = result; });
        QTRY_VERIFY_WITH_TIMEOUT(metrics.isValid(), kPatienceMs);
        const QVariantList m = metrics.toList();
        QCOMPARE(QSize(m.value(0).toInt(), m.value(1).toInt()), size);
        QCOMPARE(QSize(m.value(2).toInt(), m.value(3).toInt()), size);
        // And the engine has drawn the page: its colour, away from the text.
        QTRY_COMPARE_WITH_TIMEOUT(view->grab().toImage().pixelColor(size.width() - 5, size.height() - 5),
                                  QColor(0xff, 0xcc, 0x00), kPatienceMs);
    }

    // Loaded once, never again; the site's icon, which nothing shows, is never asked for.
    QTest::qWait(500);
    QCOMPARE(m_server->requestCount("/3-1/1.php"), 1);
    QCOMPARE(m_server->requestCount("/3-1/2.php"), 1);
    QCOMPARE(m_server->requestCount("/favicon.ico"), 0);
}

void TestAdPanes::failedLoadKeepsTheQuietPanel_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("server down") << 0;
    QTest::newRow("server error") << 500;
    QTest::newRow("page missing") << 404;
}

void TestAdPanes::failedLoadKeepsTheQuietPanel()
{
    QFETCH(int, status);
    QUrl base = m_server->baseUrl();
    if (status == 0)
        m_server->close(); // nothing listens on that port any more
    else
        m_server->setPage("/3-1/1.php", {status, htmlPage("<h1>Internal trouble</h1>")});

    bool ok = true;
    QWebEngineView *view = showPanes(base, "Scriptlet1", &ok);
    QVERIFY(view);
    QVERIFY(!ok);
    QTest::qWait(200);
    QVERIFY(!view->isVisible());

    // The pane shows its own panel: the information panel's blue, framed.
    auto *pane = m_window->findChild<QWidget *>(QStringLiteral("Scriptlet1"));
    QVERIFY(pane->isVisible());
    const QImage image = pane->grab().toImage();
    QCOMPARE(image.pixelColor(10, 10), QColor(40, 70, 140));
    QVERIFY(image.pixelColor(0, 0) != QColor(40, 70, 140));
}

void TestAdPanes::pageComesThroughTheEnvironmentsProxy()
{
    // A network whose servers only the proxy the environment names can reach: radio.invalid
    // resolves nowhere but there.
    testing::LoopbackRadio radio;
    QString error;
    QVERIFY2(radio.start(&error), qPrintable(error));
    qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(radio.proxyPort()));
    const auto unset = qScopeGuard([] { qunsetenv("http_proxy"); });
    m_server->setPage("/3-1/1.php", {200, htmlPage("ad")});
    QUrl base = m_server->baseUrl();
    base.setHost(QStringLiteral("radio.invalid"));

    bool ok = false;
    QVERIFY(showPanes(base, "Scriptlet1", &ok));
    QVERIFY(ok);
    QCOMPARE(m_server->requestCount("/3-1/1.php"), 1);
    const QByteArray log = radio.proxyLog();
    QVERIFY2(log.contains("CONNECT radio.invalid:" + QByteArray::number(base.port()) + " HTTP/1.1\n"),
             log.constData());
}

void TestAdPanes::clickedLinkOpensInTheBrowser_data()
{
    QTest::addColumn<QByteArray>("link");
    QTest::newRow("plain link") << QByteArray("href='https://offers.example/sale'");
    QTest::newRow("link for a new window")
        << QByteArray("href='https://offers.example/sale' target='_blank'");
    QTest::newRow("script opening a window on click")
        << QByteArray("href='#' onclick=\"window.open('https://offers.example/sale');return false\"");
}

void TestAdPanes::clickedLinkOpensInTheBrowser()
{
    QFETCH(QByteArray, link);
    m_server->setPage("/3-1/1.php", {200, wholePaneLink(link)});

    bool ok = false;
    QWebEngineView *view = showPanes(m_server->baseUrl(), "Scriptlet1", &ok);
    QVERIFY(view && ok);
    QTRY_VERIFY(view->isVisible());
    QVERIFY(view->focusProxy());
    clickUntil(view, [this] { return !m_browser.opened.isEmpty(); });
    QCOMPARE(m_browser.opened, QList<QUrl>{QUrl("https://offers.example/sale")});
    QTest::qWait(300);
    QCOMPARE(m_browser.opened.size(), 1);
    QCOMPARE(view->url(), pageUrl("Scriptlet1"));
    QCOMPARE(m_server->requestCount("/3-1/1.php"), 1);
}

void TestAdPanes::pageGetsNothingFromTheDesktop_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("outcome");

    const auto settle = [](const char *promise) {
        return QByteArray(promise)
            + ".then(r => document.title = 'got ' + r,"
              " e => document.title = 'refused')";
    };
    QTest::newRow("pop-up on load") << QByteArray(
        "document.title = window.open('/popup') ? 'opened' : 'refused'")
                                    << "refused";
    QTest::newRow("navigation to another server")
        << QByteArray("location.href = 'http://localhost:' + location.port + '/away';"
                      "setTimeout(() => document.title = 'stayed', 1500)")
        << "stayed";
    QTest::newRow("later navigation to another server")
        << QByteArray("setTimeout(() => location.href = 'http://localhost:' + location.port + '/away',"
                      " 300);"
                      "setTimeout(() => document.title = 'stayed', 1500)")
        << "stayed";
    QTest::newRow("navigation to a local file")
        << QByteArray("location.href = 'file:///etc/hostname';"
                      "setTimeout(() => document.title = 'stayed', 1500)")
        << "stayed";
    QTest::newRow("reading a local file") << settle("fetch('file:///etc/hostname')") << "refused";
    QTest::newRow("location") << settle("new Promise((ok, no) =>"
                                        " navigator.geolocation.getCurrentPosition(ok, no))")
                              << "refused";
    QTest::newRow("camera and microphone")
        << settle("navigator.mediaDevices.getUserMedia({audio: true, video: true})") << "refused";
    QTest::newRow("notifications") << settle("Notification.requestPermission()") << "got denied";
    QTest::newRow("WebRTC past the proxy") << QByteArray(
        "const pc = new RTCPeerConnection({iceServers: [{urls: 'stun:127.0.0.1:' + location.port}]});"
        "let udp = 0; const show = () => document.title = pc.iceGatheringState + ' ' + udp;"
        "pc.onicecandidate = e => { udp += e.candidate?.protocol == 'udp'; show() };"
        "pc.onicegatheringstatechange = show;"
        "pc.createDataChannel('d'); pc.createOffer().then(o => pc.setLocalDescription(o))")
                                           << "complete 0";
    QTest::newRow("dialogs") << QByteArray(
        "alert('hi'); document.title = confirm('ok?') + ' ' + prompt('name?', 'x')")
                             << "false null";
}

void TestAdPanes::pageGetsNothingFromTheDesktop()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, outcome);
    m_server->setPage("/3-1/1.php", {200, htmlPage("<script>" + script + "</script>")});
    m_server->setPage("/popup", {200, htmlPage("pop-up")});
    m_server->setPage("/away", {200, htmlPage("elsewhere")});
    // Where a page's WebRTC would send its UDP, past the proxy.
    QUdpSocket udp;
    QVERIFY(udp.bind(QHostAddress::LocalHost, m_server->serverPort()));

    bool ok = false;
    QWebEngineView *view = showPanes(m_server->baseUrl(), "Scriptlet1", &ok);
    QVERIFY(view);
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), outcome, kPatienceMs);
    QVERIFY(!udp.hasPendingDatagrams());
    // What the ad tried has not cost it its place.
    QTRY_VERIFY(view->isVisible());
    QCOMPARE(view->url(), pageUrl("Scriptlet1"));
    QCOMPARE(m_server->requestCount("/popup"), 0);
    QCOMPARE(m_server->requestCount("/away"), 0);
    QVERIFY(m_browser.opened.isEmpty());
    QCOMPARE(QApplication::topLevelWidgets().size(), 1);
}

void TestAdPanes::adMayChangeItselfOnTheAdServer()
{
    m_server->setPage("/3-1/1.php",
                      {200,
                       htmlPage("<script>setTimeout(() => location.href = '/3-1/next.php',"
                                " 300)</script>")});
    m_server->setPage("/3-1/next.php", {200, htmlPage("<script>document.title = 'next'</script>")});

    bool ok = false;
    QWebEngineView *view = showPanes(m_server->baseUrl(), "Scriptlet1", &ok);
    QVERIFY(view && ok);
    // It moves on when its turn comes, ten seconds after it was loaded.
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("next"), kPatienceMs);
    QCOMPARE(view->url(), QUrl(m_server->baseUrl().toString() + "/3-1/next.php"));
    QVERIFY(view->isVisible());
    QVERIFY(m_browser.opened.isEmpty());
}

void TestAdPanes::serverRedirectBelongsToTheLoad()
{
    // The ad server sends the pane on to the ad itself within the first load.
    m_server->setRedirect("/3-1/1.php", "/3-1/creative.php");
    m_server->setPage("/3-1/creative.php", {200, htmlPage("creative")});
    bool ok = false;
    QWebEngineView *view = showPanes(m_server->baseUrl(), "Scriptlet1", &ok);
    QVERIFY(view && ok);
    QCOMPARE(view->url(), QUrl(m_server->baseUrl().toString() + "/3-1/creative.php"));
}

void TestAdPanes::pageReloadsAtMostOnceInTenSeconds_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::newRow("refresh at once") << QByteArray("<meta http-equiv='refresh' content='0'>");
    QTest::newRow("script moving on as it loads")
        << QByteArray("<script>location.href = location.href</script>");
    QTest::newRow("script reloading")
        << QByteArray("<script>setTimeout(() => location.reload(), 50)</script>");
}

void TestAdPanes::pageReloadsAtMostOnceInTenSeconds()
{
    QFETCH(QByteArray, head);
    m_server->setPage("/3-1/1.php",
                      {200, "<!DOCTYPE html><html><head>" + head + "</head><body>ad</body></html>"});
    bool ok = false;
    QElapsedTimer shown;
    shown.start();
    QVERIFY(showPanes(m_server->baseUrl(), "Scriptlet1", &ok));
    // The first load at once, the second when its turn comes ten seconds later, and not before.
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount("/3-1/1.php"), 2, kPatienceMs);
    QVERIFY2(shown.elapsed() >= 10000, qPrintable(QString::number(shown.elapsed())));
    QCOMPARE(m_server->requestCount("/3-1/2.php"), 1);
}

void TestAdPanes::adIsNeverHeard()
{
    if (!m_pulseError.isEmpty())
        QSKIP(qPrintable(m_pulseError));
    // A tone that starts with the page and starts again at a click, as the engine lets it;
    // the title says whether it runs.
    m_server->setPage("/3-1/1.php",
                      {200,
                       htmlPage("<script>const c = new AudioContext(), o = c.createOscillator();"
                                "o.connect(c.destination); o.start();"
                                "onpointerdown = () => c.resume();"
                                "setInterval(() => document.title = c.state, 100)</script>"
                                "<div style='position:fixed;inset:0;background:#fc0'></div>")});
    bool ok = false;
    QWebEngineView *view = showPanes(m_server->baseUrl(), "Scriptlet1", &ok);
    QVERIFY(view && ok);
    QTRY_VERIFY(view->isVisible());
    clickUntil(view, [view] { return view->title() == QLatin1String("running"); });
    QCOMPARE(view->title(), QStringLiteral("running"));
    QCOMPARE(m_pulse.peakOver(1500), 0);
}

void TestAdPanes::greedyPageIsUnloadedForAWhile_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("why");
    QTest::newRow("endless loop") << htmlPage("<script>setTimeout(() => { for (;;) {} }, 200)</script>")
                                  << QByteArray("an ad page kept a processor busy; the ad panes it shares a "
                                                "renderer with are left empty for now.");
    QTest::newRow("ever more memory")
        << htmlPage(
               "<script>const kept = []; setInterval(() => kept.push(new Uint8Array(16 << 20).fill(1)), 50)"
               "</script>")
        << QByteArray("an ad page took too much memory; the ad panes it shares a renderer with "
                      "are left empty for now.");
    QTest::newRow("30 MB page") << htmlPage(QByteArray(30 << 20, 'a'))
                                << QByteArray("an ad page brought more than 4 MB; its pane is left "
                                              "empty for now.");
}

void TestAdPanes::greedyPageIsUnloadedForAWhile()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, why);
    // The greedy page is in the pane set up last: of two fresh pages in a renderer over its
    // budget, that one is held back.
    m_server->setPage("/3-1/2.php", {200, body});
    m_server->setPage("/3-1/1.php", {200, htmlPage("neighbour")});
    QTest::ignoreMessage(QtWarningMsg, why.constData());
    const testing::UiWatchdog watchdog;
    bool ok = false;
    QWebEngineView *view = showPanes(m_server->baseUrl(), "Scriptlet2", &ok);
    QVERIFY(view);
    // The page goes, and what the engine still runs holds little: 15 s of one core's time, and
    // room for a machine busy with other tests. A page that broke its renderer's budget takes the renderer
    // with it.
    const QString renderer = QStringLiteral("/proc/%1").arg(view->page()->renderProcessPid());
    const bool rendererEnds = why.contains("renderer");
    QTRY_VERIFY_WITH_TIMEOUT(!view->isVisible() && QFileInfo::exists(renderer) != rendererEnds, 45000);
    QVERIFY(m_emptiedAt);
    QVERIFY2(engineMemoryMb() < 100, qPrintable(QString::number(engineMemoryMb())));
    QVERIFY2(watchdog.worstDelayMs() < 1000, qPrintable(QString::number(watchdog.worstDelayMs())));

    // The neighbour that lost its page with the renderer has it back at once (at its turn);
    // the greedy page comes back after its wait, and not before.
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount("/3-1/2.php"), 2, 60000);
    QVERIFY(m_server->lastRequestAt("/3-1/2.php") - *m_emptiedAt >= kFirstWait);
    QCOMPARE(m_server->requestCount("/3-1/1.php"), rendererEnds ? 2 : 1);
    QVERIFY(m_server->lastRequestAt("/3-1/1.php") < m_server->lastRequestAt("/3-1/2.php"));
    auto *neighbour = m_window->findChild<QWidget *>(QStringLiteral("Scriptlet1"))
                          ->findChild<QWebEngineView *>();
    QTRY_VERIFY_WITH_TIMEOUT(neighbour->isVisible(), kPatienceMs);
}

int main(int argc, char *argv[])
{
    qputenv("TARVONI_AD_FIRST_WAIT_MS",
            QByteArray::number(qint64(std::chrono::milliseconds(kFirstWait).count())));
    prepareAdPanes();
    QApplication app(argc, argv);
    TestAdPanes test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_ad_panes.moc"
