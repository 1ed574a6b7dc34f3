#include "ad_view.h"

#include "ad_page.h"

#include <QChildEvent>
#include <QWebEngineLoadingInfo>

namespace tarvoni {

AdView::AdView(const QUrl &pageUrl, QWidget *pane, AdTrafficMeter *meter, int paneNumber,
               std::function<void(bool showsPage)> loadEnded)
    : QWebEngineView(pane)
    , m_pageUrl(pageUrl)
    , m_meter(meter)
    , m_paneNumber(paneNumber)
    , m_loadEnded(std::move(loadEnded))
{
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setGeometry(pane->rect());
    hide();
    loadPage();
}

void AdView::loadPage()
{
    m_page = new AdPage(AdPage::sharedProfile(), m_pageUrl, m_meter, m_paneNumber, this);
    m_lastLoadFailed = false;
    setPage(m_page);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &AdView::followLoad);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this, [this] { hide(); });
    m_page->load(m_pageUrl);
}

AdView::~AdView()
{
    // The page goes after this part of the view; what it reports on its way out is not heard.
    m_page->disconnect(this);
}

void AdView::unload()
{
    if (m_page->isUnloaded())
        return;
    hide();
    m_page->unload();
    // Whatever load was under way has ended, with the pane's own look.
    if (m_loadEnded)
        m_loadEnded(false);
}

void AdView::comeBack()
{
    if (!m_page->isUnloaded())
        return;
    // A fresh page: the one unloaded stays discarded, and no history of it comes back.
    AdPage *unloaded = m_page;
    unloaded->disconnect(this);
    loadPage();
    unloaded->deleteLater();
}

int AdView::untilNextTurn() const
{
    return m_page->untilNextTurn();
}

qint64 AdView::rendererPid() const
{
    return m_page->isUnloaded() ? 0 : m_page->renderProcessPid();
}

void AdView::followLoad(const QWebEngineLoadingInfo &info)
{
    if (m_page->isUnloaded())
        return;
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        m_lastLoadFailed = info.isErrorPage();
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        m_lastLoadFailed = true;
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        // A navigation the pane refused stops the load it interrupted; the ad that was
        // already there stays, so it is shown unless nothing good was ever committed.
        if (m_page->url().isEmpty())
            m_lastLoadFailed = true;
        break;
    }
    setVisible(!m_lastLoadFailed);
    if (m_loadEnded)
        m_loadEnded(!m_lastLoadFailed);
}

bool AdView::event(QEvent *event)
{
    // The engine puts its drawing surface into the view as a child widget; it must not be
    // a tab stop either, and its mouse clicks are what tells a user's link from a script's.
    if (event->type() == QEvent::ChildAdded)
        keepOutOfFocus(static_cast<QChildEvent *>(event)->child());
    return QWebEngineView::event(event);
}

bool AdView::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        m_page->noteUserClick();
        break;
    case QEvent::ChildAdded:
        keepOutOfFocus(static_cast<QChildEvent *>(event)->child());
        break;
    default:
        break;
    }
    return QWebEngineView::eventFilter(watched, event);
}

void AdView::keepOutOfFocus(QObject *object)
{
    if (auto *widget = qobject_cast<QWidget *>(object)) {
        widget->setFocusPolicy(Qt::NoFocus);
        widget->installEventFilter(this);
    }
}

} // namespace tarvoni
