#include "ad_engine_plugin.h"

#include "ad_view.h"

#include <QQuickWindow>

#include <utility>

namespace tarvoni {

void AdEnginePlugin::attachView(QWidget *pane, const QUrl &pageUrl,
                                std::function<void(bool showsPage)> loadEnded)
{
    chooseDrawing();
    if (pane)
        new AdView(pageUrl, pane, std::move(loadEnded));
}

// The panes are small: the engine draws them in software, without the GL stack, unless Qt
// Quick has been told otherwise. Chosen before the engine makes its first surface.
void AdEnginePlugin::chooseDrawing()
{
    if (std::exchange(m_drawingChosen, true))
        return;
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace tarvoni
