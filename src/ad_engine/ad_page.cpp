#include "ad_page.h"

#include "ad_traffic_meter.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineQuotaRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

#include <algorithm>
#include <utility>

namespace tarvoni {

namespace {

// How long after a real mouse click a link navigation still counts as the user's.
constexpr qint64 clickWindowMs = 1500;

// A pane starts a new page load at most this often.
constexpr std::chrono::milliseconds kLoadInterval{10000};

// The server redirects one load may follow, as many as a browser would.
constexpr int kMaxRedirects = 20;

bool isWebAddress(const QUrl &url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// Inner frames of an ad may also hold inline documents; nothing from the local machine.
bool isFrameAddress(const QUrl &url)
{
    static const QStringList schemes{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("about"),
                                     QStringLiteral("data"), QStringLiteral("blob")};
    return schemes.contains(url.scheme());
}

void applyAdSettings(QWebEngineSettings *settings)
{
    using S = QWebEngineSettings;
    settings->setAttribute(S::ShowScrollBars, false);
    settings->setAttribute(S::JavascriptCanOpenWindows, false);
    settings->setAttribute(S::JavascriptCanAccessClipboard, false);
    settings->setAttribute(S::JavascriptCanPaste, false);
    settings->setAttribute(S::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(S::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(S::PluginsEnabled, false);
    settings->setAttribute(S::PdfViewerEnabled, false);
    settings->setAttribute(S::WebGLEnabled, false);
    settings->setAttribute(S::FullScreenSupportEnabled, false);
    settings->setAttribute(S::ScreenCaptureEnabled, false);
    settings->setAttribute(S::AllowGeolocationOnInsecureOrigins, false);
    settings->setAttribute(S::AllowWindowActivationFromJavaScript, false);
    settings->setAttribute(S::WebRTCPublicInterfacesOnly, true);
    settings->setAttribute(S::PlaybackRequiresUserGesture, true);
    settings->setAttribute(S::FocusOnNavigationEnabled, false);
    settings->setAttribute(S::LinksIncludedInFocusChain, false);
    settings->setAttribute(S::NavigateOnDropEnabled, false);
    settings->setAttribute(S::HyperlinkAuditingEnabled, false);
    // Nothing shows a page's icon: it is not fetched.
    settings->setAttribute(S::AutoLoadIconsForPage, false);
    settings->setAttribute(S::TouchIconsEnabled, false);
    // A failed load leaves the pane to its own quiet look instead of the engine's page.
    settings->setAttribute(S::ErrorPageEnabled, false);
    settings->setUnknownUrlSchemePolicy(S::DisallowUnknownUrlSchemes);
}

// Tells the traffic meter what the page is about to fetch, so that the proxy can put it down
// to the right pane.
class RequestNoter : public QWebEngineUrlRequestInterceptor {
public:
    RequestNoter(AdTrafficMeter *meter, int pane, QObject *parent)
        : QWebEngineUrlRequestInterceptor(parent)
        , m_meter(meter)
        , m_pane(pane)
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        m_meter->noteRequest(m_pane, info.requestUrl());
    }

private:
    AdTrafficMeter *m_meter;
    int m_pane;
};

} // namespace

AdPage::AdPage(QWebEngineProfile *profile, const QUrl &homeUrl, AdTrafficMeter *meter, int pane,
               QObject *parent)
    : QWebEnginePage(profile, parent)
    , m_homeUrl(homeUrl)
    , m_meter(meter)
    , m_pane(pane)
{
    if (m_meter)
        setUrlRequestInterceptor(new RequestNoter(m_meter, m_pane, this));
    // The radio is the only thing the program plays: the page's sound, WebAudio included, is
    // muted before it has loaded anything.
    setAudioMuted(true);
    applyAdSettings(settings());
    refuseDesktopRequests();
    m_nextTurn.setSingleShot(true);
    // A coarse timer may fire up to 5 % early, before the turn has come.
    m_nextTurn.setTimerType(Qt::PreciseTimer);
    connect(&m_nextTurn, &QTimer::timeout, this, [this] {
        if (!m_unloaded)
            load(m_waitingUrl);
    });
    connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        m_loading = info.status() == QWebEngineLoadingInfo::LoadStartedStatus;
    });
    // A link meant for a new window goes to the browser when the user clicked it; the
    // request itself is left unanswered, so no window is made.
    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest &request) {
        if (request.isUserInitiated() && userJustClicked())
            openInBrowser(request.requestedUrl());
    });
}

void AdPage::refuseDesktopRequests()
{
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::quotaRequested, this,
            [](QWebEngineQuotaRequest request) { request.reject(); });
}

QWebEngineProfile *AdPage::sharedProfile()
{
    // No storage name: an off-the-record profile that writes nothing to disk. It lives as
    // long as the application, after every page that uses it.
    static QWebEngineProfile *profile = [] {
        auto *p = new QWebEngineProfile(QCoreApplication::instance());
        p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        p->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        p->setSpellCheckEnabled(false);
        applyAdSettings(p->settings());
        return p;
    }();
    return profile;
}

void AdPage::noteUserClick()
{
    m_sinceUserClick.start();
}

bool AdPage::userJustClicked() const
{
    return m_sinceUserClick.isValid() && m_sinceUserClick.elapsed() < clickWindowMs;
}

void AdPage::openInBrowser(const QUrl &url)
{
    if (isWebAddress(url))
        QDesktopServices::openUrl(url);
}

bool AdPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    // Scripts navigate with the same type as links, so only a real click counts.
    if (type == NavigationTypeLinkClicked && userJustClicked()) {
        openInBrowser(url);
        return false;
    }
    if (!isMainFrame)
        return isFrameAddress(url);
    if (!isWebAddress(url) || m_unloaded)
        return false;
    // The pane loads its ad and lets it refresh itself on the ad server; it never goes
    // anywhere else. Scripted page changes come as redirects, so redirects are held to the
    // ad server too.
    if (type != NavigationTypeTyped && url.host() != m_homeUrl.host())
        return false;
    return mayLoadNow(url, type);
}

bool AdPage::mayLoadNow(const QUrl &url, NavigationType type)
{
    // A server's redirect comes while the load it answers is under way and before any new
    // document has come of it. A page's own script navigates with the same type, but only
    // from a document it has.
    if (type == NavigationTypeRedirect && m_loading && committedDocument() == m_documentAtLoadStart)
        return ++m_redirectsInLoad <= kMaxRedirects;
    // The pane's own loads (the first one, and each page that waited for its turn) come
    // typed and go ahead; a page's refresh, reload or move waits until the last load started
    // kLoadInterval ago. Only the newest of those waiting goes ahead then.
    if (type != NavigationTypeTyped && m_sinceLoadStarted.isValid()
        && m_sinceLoadStarted.elapsed() < kLoadInterval.count()) {
        m_waitingUrl = url;
        if (!m_nextTurn.isActive())
            m_nextTurn.start(int(kLoadInterval.count() - m_sinceLoadStarted.elapsed()));
        return false;
    }
    m_nextTurn.stop();
    m_sinceLoadStarted.start();
    m_documentAtLoadStart = committedDocument();
    m_redirectsInLoad = 0;
    // What the new page brings is counted afresh, from its own first request.
    if (m_meter)
        m_meter->startLoad(m_pane);
    return true;
}

int AdPage::untilNextTurn() const
{
    if (!m_sinceLoadStarted.isValid())
        return 0;
    return int(std::max<qint64>(0, kLoadInterval.count() - m_sinceLoadStarted.elapsed()));
}

QString AdPage::committedDocument() const
{
    // Each commit of the main frame adds a history entry or replaces the current one, and
    // stamps it with the time it was visited.
    const QWebEngineHistoryItem current = history()->currentItem();
    return QStringLiteral("%1 %2 %3")
        .arg(history()->count())
        .arg(current.lastVisited().toMSecsSinceEpoch())
        .arg(current.url().toString());
}

void AdPage::unload()
{
    if (std::exchange(m_unloaded, true))
        return;
    m_nextTurn.stop();
    triggerAction(Stop);
    // A hidden page may be discarded: its document and script go, and so does their memory.
    setVisible(false);
    setLifecycleState(LifecycleState::Discarded);
}

QWebEnginePage *AdPage::createWindow(WebWindowType)
{
    return nullptr;
}

QStringList AdPage::chooseFiles(FileSelectionMode, const QStringList &, const QStringList &)
{
    return {};
}

void AdPage::javaScriptAlert(const QUrl &, const QString &)
{
}

bool AdPage::javaScriptConfirm(const QUrl &, const QString &)
{
    return false;
}

bool AdPage::javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *)
{
    return false;
}

void AdPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int, const QString &)
{
    // An ad's console output is none of the user's business.
}

} // namespace tarvoni
