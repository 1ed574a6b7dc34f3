#include "ad_panes.h"

#include "ad_engine_loader.h"
#include "ad_pane.h"
#include "engine_settings.h"
#include "first_paint_watcher.h"

#include <QPointer>
#include <QWidget>

namespace tarvoni {

namespace {

void attachViews(const QList<QPointer<AdPane>> &panes)
{
    if (AdEngine *engine = adEngine()) {
        for (const QPointer<AdPane> &pane : panes) {
            if (pane)
                pane->attachView(*engine);
        }
    }
    // The engine has read its settings with its first page.
    forgetEngineSettings();
}

} // namespace

void prepareAdPanes()
{
    prepareEngineSettings();
}

void startAdPanes(QWidget *window, const QUrl &adServerBase)
{
    if (!window)
        return;
    const QString base = adServerBase.toString(QUrl::StripTrailingSlash);
    const auto page = [&base](const char *path) { return QUrl(base + QLatin1String(path)); };

    // Scriptlet1 overlaps Scriptlet2 by one pixel and lies above it.
    auto *second = new AdPane(QStringLiteral("Scriptlet2"), QRect(560, 152, 57, 121), page("/3-1/2.php"),
                              window);
    auto *first = new AdPane(QStringLiteral("Scriptlet1"), QRect(360, 152, 201, 121), page("/3-1/1.php"),
                             window);
    second->stackUnder(first);
    first->show();
    second->show();

    // The window is on screen before the engine's start-up cost is paid.
    const QList<QPointer<AdPane>> panes{first, second};
    new FirstPaintWatcher(window, [panes] { attachViews(panes); });
}

} // namespace tarvoni
