// Start-up cost of the ad panes: how soon the window first paints after exec, how long
// until both panes show their pages, and the memory (PSS) of the whole process tree then.
//
//   ad_panes_startup [--no-panes] [--engine-defaults] [--flags "<chromium switches>"]
//                    [--down] [--screenshot <file.png>]
//
// --no-panes         a plain window of the same size, for comparison
// --engine-defaults  the engine without the program's memory settings
// --flags            extra Chromium switches to try
// --down             no ad server: measures the panes' failure path instead
// --screenshot       saves the window as it looks at the end
// ADS_BENCH_VERBOSE=1 in the environment adds the PSS of each process.
// Built next to the program and its panes' engine; run it under a display, e.g.
//   xvfb-run -a build/ad_panes_startup

#include "ads/ad_panes.h"
#include "loopback_http_server.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

// PSS in kB and the number of processes of this process and all its descendants.
std::pair<qint64, int> treePss()
{
    QHash<qint64, qint64> parentOf;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!pid.toLongLong() || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        parentOf.insert(pid.toLongLong(), fields.value(1).toLongLong());
    }
    QList<qint64> tree{getpid()};
    for (int i = 0; i < tree.size(); ++i) {
        for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
            if (it.value() == tree.at(i))
                tree.append(it.key());
        }
    }
    qint64 pss = 0;
    const bool verbose = qEnvironmentVariableIsSet("ADS_BENCH_VERBOSE");
    for (qint64 pid : tree) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : rollup.readAll().split('\n')) {
            if (line.startsWith("Pss:")) {
                const qint64 kb = line.simplified().split(' ').value(1).toLongLong();
                pss += kb;
                if (verbose) {
                    QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
                    cmd.open(QIODevice::ReadOnly);
                    std::printf("  %lld kB  %s\n", kb,
                                cmd.readAll().replace('\0', ' ').left(120).constData());
                }
            }
        }
    }
    return {pss, int(tree.size())};
}

long long waitForPagesMs(bool waited, qint64 ms)
{
    return waited ? ms : -1;
}

bool panesShowPages(QWidget *window)
{
    for (const char *name : {"Scriptlet1", "Scriptlet2"}) {
        auto *pane = window->findChild<QWidget *>(QLatin1String(name));
        const auto views = pane ? pane->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)
                                : QList<QWidget *>();
        if (views.isEmpty() || !views.first()->isVisible())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    bool panes = true;
    bool engineDefaults = false;
    QByteArray extraFlags;
    bool serverDown = false;
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--no-panes")
            panes = false;
        else if (arg == "--engine-defaults")
            engineDefaults = true;
        else if (arg == "--down")
            serverDown = true;
        else if (arg == "--screenshot" && i + 1 < argc)
            screenshot = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--flags" && i + 1 < argc)
            extraFlags = argv[++i];
    }

    const QByteArray userFlags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArray userQuickBackend = qgetenv("QT_QUICK_BACKEND");
    const QByteArray userXcbGl = qgetenv("QT_XCB_GL_INTEGRATION");
    if (panes)
        tarvoni::prepareAdPanes();
    if (engineDefaults) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", userFlags);
        // Qt Quick's own default, drawing with GL.
        qputenv("QT_QUICK_BACKEND", userQuickBackend.isEmpty() ? QByteArray("rhi") : userQuickBackend);
        qputenv("QT_XCB_GL_INTEGRATION", userXcbGl);
    }
    if (!extraFlags.isEmpty())
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + ' ' + extraFlags);

    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("ADS_BENCH_VERBOSE"))
        std::printf("  application made %lld ms after main\n", sinceMain.elapsed());
    tarvoni::LoopbackHttpServer server;
    const QByteArray page = "<html><body style='margin:0;background:#fc0;font:bold 14px sans-serif'>"
                            "Ad page with a long line of text</body></html>";
    server.setPage("/3-1/1.php", {200, page});
    server.setPage("/3-1/2.php", {200, page});
    if (!server.start())
        return 1;
    const QUrl base = server.baseUrl();
    if (serverDown)
        server.close();

    QWidget window;
    window.resize(637, 581);
    QElapsedTimer sinceExec;
    qint64 firstPaintMs = -1;
    qint64 firstPaintFromMainMs = -1;
    struct PaintWatch : QObject {
        std::function<void()> onPaint;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && onPaint)
                std::exchange(onPaint, nullptr)();
            return false;
        }
    } watch;
    watch.onPaint = [&] {
        firstPaintMs = sinceExec.elapsed();
        firstPaintFromMainMs = sinceMain.elapsed();
    };
    window.installEventFilter(&watch);
    // As the program does it: the window is shown, then the panes are started.
    window.show();
    if (panes)
        tarvoni::startAdPanes(&window, base);

    qint64 pagesMs = -1;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const bool waitForPages = panes && !serverDown;
        if (firstPaintMs < 0 || (waitForPages && !panesShowPages(&window))) {
            if (sinceExec.elapsed() > 30000)
                app.exit(2);
            return;
        }
        poll.stop();
        pagesMs = sinceExec.elapsed();
        // Let the engine's processes settle before measuring.
        QTimer::singleShot(1500, &app, [&] {
            const auto [pss, processes] = treePss();
            if (!screenshot.isEmpty())
                window.grab().save(screenshot);
            std::printf("%s: first paint %lld ms after exec (%lld ms after main), pages shown "
                        "%lld ms after exec, PSS %.1f MB over %d processes\n",
                        panes ? "panes" : "plain window", firstPaintMs, firstPaintFromMainMs,
                        waitForPagesMs(panes && !serverDown, pagesMs), pss / 1024.0, processes);
            app.quit();
        });
    });
    poll.start();
    sinceExec.start();
    return app.exec();
}
