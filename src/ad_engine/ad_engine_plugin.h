#pragma once

#include "ads/ad_engine.h"

#include "renderer_budget.h"

#include <QList>
#include <QObject>
#include <QPointer>

namespace tarvoni {

class AdTrafficMeter;
class AdView;

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
    void meterTraffic();
    void watchRenderers();
    QList<qint64> rendererPids() const;
    void unloadRenderer(qint64 pid, RendererBudget::Verdict verdict);

    bool m_started = false;
    AdTrafficMeter *m_meter = nullptr;
    QList<QPointer<AdView>> m_views;
};

} // namespace tarvoni
