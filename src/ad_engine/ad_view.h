#pragma once

#include <QWebEngineView>

#include <functional>

class QWebEngineLoadingInfo;

namespace tarvoni {

class AdPage;
class AdTrafficMeter;

// The web view that covers an ad pane. It stays hidden, leaving the pane's own quiet look in
// sight, until its page has loaded, and hides again when a load fails, the page's process
// ends or the page is unloaded. It never takes the keyboard focus. `loadEnded` hears of every
// load that ends, with whether the view now shows a page.
class AdView : public QWebEngineView {
public:
    // `meter` and `paneNumber` as for AdPage.
    AdView(const QUrl &pageUrl, QWidget *pane, AdTrafficMeter *meter, int paneNumber,
           std::function<void(bool showsPage)> loadEnded);
    ~AdView() override;

    // Leaves the pane to its own quiet look and gives back the page's memory.
    void unload();
    // After unload(): loads the pane's page again, in a page of its own, at once.
    void comeBack();
    // How long until the pane may start its next page load, in ms.
    int untilNextTurn() const;
    // The renderer process the page runs in, or 0.
    qint64 rendererPid() const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadPage();
    void followLoad(const QWebEngineLoadingInfo &info);
    void keepOutOfFocus(QObject *object);

    const QUrl m_pageUrl;
    AdTrafficMeter *const m_meter;
    const int m_paneNumber;
    std::function<void(bool showsPage)> m_loadEnded;
    AdPage *m_page = nullptr;
    bool m_lastLoadFailed = false;
};

} // namespace tarvoni
