#include "ad_panes.h"

#include "ad_engine_entry.h"
#include "ad_pane.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLibrary>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <vector>

namespace tarvoni {

namespace {

// Chromium switches that cut the engine's memory without touching its sandbox: one renderer
// process for both panes, no GPU work (the panes are small and drawn in software).
const char engineFlags[] = "--renderer-process-limit=1 --disable-gpu";

// The engine takes its settings from the environment when it starts. They are put there for
// it alone and taken back once it runs, so that programs started from here (the web browser
// an ad link opens) do not inherit them.
struct SavedVariable {
    const char *name;
    std::optional<QByteArray> value;
};

std::vector<SavedVariable> &savedEnvironment()
{
    static std::vector<SavedVariable> saved;
    return saved;
}

void setForEngine(const char *name, const QByteArray &value)
{
    auto &saved = savedEnvironment();
    const bool known = std::any_of(saved.begin(), saved.end(), [name](const SavedVariable &v) {
        return qstrcmp(v.name, name) == 0;
    });
    if (!known) {
        saved.push_back({name, qEnvironmentVariableIsSet(name)
                                   ? std::optional<QByteArray>(qgetenv(name))
                                   : std::nullopt});
    }
    qputenv(name, value);
}

void appendForEngine(const char *name, const QByteArray &value, char separator = ' ')
{
    QByteArray current = qgetenv(name);
    if (!current.isEmpty())
        current += separator;
    setForEngine(name, current + value);
}

void restoreEnvironment()
{
    for (const SavedVariable &variable : std::exchange(savedEnvironment(), {})) {
        if (variable.value)
            qputenv(variable.name, *variable.value);
        else
            qunsetenv(variable.name);
    }
}

// Where the engine part may be: next to the executable (the build tree), then the install
// directory, reached from the executable so a relocated installation still finds it.
QStringList engineCandidates()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString fileName = QStringLiteral("lib%1.so").arg(QLatin1String(adEngineLibraryName));
    return {
        QDir(appDir).filePath(fileName),
        QDir::cleanPath(appDir + QLatin1Char('/') + QStringLiteral(TARVONI_AD_ENGINE_RELATIVE_DIR)
                        + QLatin1Char('/') + fileName),
        QStringLiteral(TARVONI_AD_ENGINE_INSTALL_DIR "/") + fileName,
    };
}

// Loads the engine part once per process; it is never unloaded.
AttachAdViewFunction attachFunction()
{
    static const AttachAdViewFunction function = [] {
        QStringList errors;
        for (const QString &candidate : engineCandidates()) {
            if (!QFile::exists(candidate))
                continue;
            auto *library = new QLibrary(candidate);
            if (auto f = reinterpret_cast<AttachAdViewFunction>(library->resolve(attachAdViewSymbol)))
                return f;
            errors << library->errorString();
            delete library;
        }
        if (errors.isEmpty())
            errors << QStringLiteral("lib%1.so not found").arg(QLatin1String(adEngineLibraryName));
        std::fprintf(stderr, "Tarvoni Radio Player: the ad panes stay empty: %s\n",
                     qPrintable(errors.join(QStringLiteral("; "))));
        return AttachAdViewFunction(nullptr);
    }();
    return function;
}

void attachViews(const QList<QPointer<AdPane>> &panes)
{
    if (const AttachAdViewFunction attach = attachFunction()) {
        for (const QPointer<AdPane> &pane : panes) {
            if (pane) {
                const QUrl url = pane->pageUrl();
                attach(pane, &url);
            }
        }
    }
    // The engine has read its settings with its first page.
    restoreEnvironment();
}

// Waits for the window's first paint and only then brings in the web engine, so the window
// is on screen before the engine's start-up cost is paid. A window that is not painted soon
// (shown minimized, say) gets its panes loaded anyway.
class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher(QWidget *window, QList<QPointer<AdPane>> panes)
        : QObject(window)
        , m_window(window)
        , m_panes(std::move(panes))
    {
        // Already on screen: nothing to wait for.
        const bool exposed = window->windowHandle() && window->windowHandle()->isExposed();
        if (exposed) {
            QTimer::singleShot(0, this, [this] { attachOnce(); });
            return;
        }
        window->installEventFilter(this);
        QTimer::singleShot(fallbackMs, this, [this] { attachOnce(); });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint) {
            m_window->removeEventFilter(this);
            // After the paint has reached the screen.
            QTimer::singleShot(0, this, [this] { attachOnce(); });
        }
        return false;
    }

private:
    static constexpr int fallbackMs = 3000;

    void attachOnce()
    {
        if (m_panes.isEmpty())
            return;
        m_window->removeEventFilter(this);
        attachViews(std::exchange(m_panes, {}));
        deleteLater();
    }

    QWidget *m_window;
    QList<QPointer<AdPane>> m_panes;
};

} // namespace

void prepareAdPanes()
{
    // The engine is loaded after the application exists; it needs this set before that.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    // The panes are small and the engine draws them in software (unless Qt Quick is told
    // otherwise); nothing else in the program draws with GL, so on X11 the GL stack (some
    // 35 MB) is not loaded at all.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")
        && qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        setForEngine("QT_XCB_GL_INTEGRATION", "none");
    }
    appendForEngine("QTWEBENGINE_CHROMIUM_FLAGS", engineFlags);
    // The engine reports its set-up on every start; the program keeps no log.
    if (!qgetenv("QT_LOGGING_RULES").contains("qt.webenginecontext"))
        appendForEngine("QT_LOGGING_RULES", "qt.webenginecontext.info=false", ';');

    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        setForEngine("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fprintf(stderr, "Tarvoni Radio Player: running as root, so the ad panes' web "
                             "engine runs without its sandbox.\n");
    }
    // Without the sandbox the zygote processes only cost memory.
    if (qEnvironmentVariableIntValue("QTWEBENGINE_DISABLE_SANDBOX") != 0)
        appendForEngine("QTWEBENGINE_CHROMIUM_FLAGS", "--no-zygote");
}

void startAdPanes(QWidget *window, const QUrl &adServerBase)
{
    if (!window)
        return;
    const QString base = adServerBase.toString(QUrl::StripTrailingSlash);
    const auto page = [&base](const char *path) { return QUrl(base + QLatin1String(path)); };

    // Scriptlet1 overlaps Scriptlet2 by one pixel and lies above it.
    auto *second = new AdPane(QStringLiteral("Scriptlet2"), QRect(560, 152, 57, 121),
                              page("/3-1/2.php"), window);
    auto *first = new AdPane(QStringLiteral("Scriptlet1"), QRect(360, 152, 201, 121),
                             page("/3-1/1.php"), window);
    second->stackUnder(first);
    first->show();
    second->show();

    new FirstPaintWatcher(window, {first, second});
}

} // namespace tarvoni
