#include "ad_engine_plugin.h"

#include "ad_traffic_meter.h"
#include "ad_view.h"
#include "process_usage.h"
#include "renderer_watch.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <memory>
#include <utility>

namespace tarvoni {

namespace {

Q_LOGGING_CATEGORY(lcAdEngine, "tarvoni.ads")

// What one page load may bring over the network.
constexpr qint64 kLoadBytes = 4 * 1024 * 1024;

// How long a page unloaded for the first time waits before it comes back. Tests shorten it
// (TARVONI_AD_FIRST_WAIT_MS) so as not to wait a minute.
AdReloadBackoff::Duration firstWait()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("TARVONI_AD_FIRST_WAIT_MS", &ok);
    return ok && ms > 0 ? AdReloadBackoff::Duration(ms) : AdReloadBackoff::kFirstWait;
}

// How often a pane waiting for the renderer it shared to go looks again.
constexpr int kRendererGoneLookMs = 100;

} // namespace

AdEnginePlugin::AdEnginePlugin()
    : m_backoff(firstWait())
{
    m_clock.start();
}

void AdEnginePlugin::attachView(QWidget *pane, const QUrl &pageUrl,
                                std::function<void(bool showsPage)> loadEnded)
{
    // Everything the engine reads as it starts is set up before the first view makes it start.
    if (!std::exchange(m_started, true)) {
        chooseDrawing();
        meterTraffic();
        watchRenderers();
    }
    if (!pane)
        return;
    const int number = int(m_views.size());
    m_views << new AdView(pageUrl, pane, m_meter, number, std::move(loadEnded));
    m_backoff.loaded(number, now());
    auto *comeback = new QTimer(this);
    comeback->setSingleShot(true);
    comeback->setTimerType(Qt::PreciseTimer);
    connect(comeback, &QTimer::timeout, this, [this, number] { comeBack(number); });
    m_comebacks << comeback;
}

AdReloadBackoff::Duration AdEnginePlugin::now() const
{
    return AdReloadBackoff::Duration(m_clock.elapsed());
}

void AdEnginePlugin::scheduleComebacks(const std::vector<AdReloadBackoff::Comeback> &comebacks)
{
    for (const AdReloadBackoff::Comeback &comeback : comebacks) {
        AdView *view = m_views.value(comeback.pane);
        if (!view)
            continue;
        // Coming back is a page load like any other: at most one every 10 s.
        m_comebacks.at(comeback.pane)->start(std::max(int(comeback.after.count()), view->untilNextTurn()));
    }
}

void AdEnginePlugin::comeBack(int pane)
{
    if (m_endedRenderer && processUsage(m_endedRenderer)) {
        m_comebacks.at(pane)->start(kRendererGoneLookMs);
        return;
    }
    m_endedRenderer = 0;
    if (AdView *view = m_views.value(pane)) {
        m_backoff.loaded(pane, now());
        view->comeBack();
    }
}

// The engine fetches everything through the meter's proxy on the loopback interface, the ad
// server on 127.0.0.1 too, so each pane's page load is counted and cut off past its limit. Set
// up before the engine starts, as it reads its switches then; the variable is the program's
// already, so setting it only changes its value.
void AdEnginePlugin::meterTraffic()
{
    // WebRTC would send UDP past the proxy, uncounted: it may use the proxy alone, which carries
    // no UDP, or nothing.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --force-webrtc-ip-handling-policy=disable_non_proxied_udp";
    auto meter = std::make_unique<AdTrafficMeter>(kLoadBytes, this);
    if (meter->listen()) {
        m_meter = meter.release();
        flags += " --proxy-server=http://127.0.0.1:" + QByteArray::number(m_meter->port())
            + " --proxy-bypass-list=<-loopback>";
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    if (!m_meter) {
        qCWarning(lcAdEngine, "the ad pages' traffic cannot be counted: no port on the loopback interface.");
        return;
    }
    connect(m_meter, &AdTrafficMeter::loadOverLimit, this, [this](int pane) {
        qCWarning(lcAdEngine, "an ad page brought more than %lld MB; its pane is left empty for now.",
                  kLoadBytes / (1024 * 1024));
        if (AdView *view = m_views.value(pane)) {
            view->unload();
            scheduleComebacks({m_backoff.overLoadLimit(pane, now())});
        }
    });
}

void AdEnginePlugin::watchRenderers()
{
    new RendererWatch([this] { return rendererPids(); },
                      [this](qint64 pid, RendererBudget::Verdict verdict) { unloadRenderer(pid, verdict); },
                      this);
}

QList<qint64> AdEnginePlugin::rendererPids() const
{
    QList<qint64> pids;
    for (const QPointer<AdView> &view : m_views) {
        if (view)
            pids << view->rendererPid();
    }
    return pids;
}

// The panes share one renderer process (it saves a second one's memory), so a page that takes
// too much of the machine cannot be told from its neighbour: every page in that renderer is
// unloaded, and the process ended, which gives back all it held at once; a renderer caught in
// a page's endless loop would not let its pages go by itself. They come back as AdReloadBackoff
// says, the neighbour of the page to blame at once.
void AdEnginePlugin::unloadRenderer(qint64 pid, RendererBudget::Verdict verdict)
{
    qCWarning(lcAdEngine, "an ad page %s; the ad panes it shares a renderer with are left empty for now.",
              verdict == RendererBudget::Verdict::TooBusy ? "kept a processor busy" : "took too much memory");
    std::vector<int> panes;
    for (int pane = 0; pane < m_views.size(); ++pane) {
        if (AdView *view = m_views.at(pane); view && view->rendererPid() == pid) {
            view->unload();
            panes.push_back(pane);
        }
    }
    if (descendsFrom(pid, QCoreApplication::applicationPid())) {
        ::kill(pid_t(pid), SIGKILL);
        m_endedRenderer = pid;
    }
    scheduleComebacks(m_backoff.rendererOverBudget(panes, now()));
}

// The panes are small: the engine draws them in software, without the GL stack, unless Qt
// Quick has been told otherwise. Chosen before the engine makes its first surface.
void AdEnginePlugin::chooseDrawing()
{
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace tarvoni
