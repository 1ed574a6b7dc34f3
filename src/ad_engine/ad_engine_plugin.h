#pragma once

#include "ads/ad_engine.h"

#include "ad_reload_backoff.h"
#include "renderer_budget.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>

class QTimer;

namespace tarvoni {

class AdTrafficMeter;
class AdView;

// The web-engine module's instance, as the program's plugin loader finds it.
class AdEnginePlugin : public QObject, public AdEngine {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TarvoniAdEngine_iid)
    Q_INTERFACES(tarvoni::AdEngine)

public:
    AdEnginePlugin();

    void attachView(QWidget *pane, const QUrl &pageUrl,
                    std::function<void(bool showsPage)> loadEnded) override;

private:
    void chooseDrawing();
    void meterTraffic();
    void watchRenderers();
    QList<qint64> rendererPids() const;
    void unloadRenderer(qint64 pid, RendererBudget::Verdict verdict);
    // Brings unloaded panes back when their time comes, each at its turn.
    void scheduleComebacks(const std::vector<AdReloadBackoff::Comeback> &comebacks);
    void comeBack(int pane);
    AdReloadBackoff::Duration now() const;

    bool m_started = false;
    AdTrafficMeter *m_meter = nullptr;
    QList<QPointer<AdView>> m_views;
    QList<QTimer *> m_comebacks; // one a pane
    AdReloadBackoff m_backoff;
    QElapsedTimer m_clock;
    // The renderer last ended: a pane comes back once it has gone, so that the new page is not
    // put into a process about to die.
    qint64 m_endedRenderer = 0;
};

} // namespace tarvoni
