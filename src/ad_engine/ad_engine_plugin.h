#pragma once

#include "ads/ad_engine.h"

#include <QObject>

namespace tarvoni {

// The web-engine module's instance, as the program's plugin loader finds it.
class AdEnginePlugin : public QObject, public AdEngine {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TarvoniAdEngine_iid)
    Q_INTERFACES(tarvoni::AdEngine)

public:
    void attachView(QWidget *pane, const QUrl &pageUrl,
                    std::function<void(bool showsPage)> loadEnded) override;

private:
    void chooseDrawing();

    bool m_drawingChosen = false;
};

} // namespace tarvoni
