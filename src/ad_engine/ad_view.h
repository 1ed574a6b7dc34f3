#pragma once

#include <QWebEngineView>

#include <functional>

class QWebEngineLoadingInfo;

namespace tarvoni {

class AdPage;
class AdTrafficMeter;

// The web view that covers an ad pane. It stays hidden, leaving the pane's own quiet look in
// sight, until its page has loaded, and hides again when a load fails or the page's process
// ends. It never takes the keyboard focus. `loadEnded` hears of every load that ends, with
// whether the view now shows a page.
class AdView : public QWebEngineView {
public:
    // `meter` and `paneNumber` as for AdPage.
    AdView(const QUrl &pageUrl, QWidget *pane, AdTrafficMeter *meter, int paneNumber,
           std::function<void(bool showsPage)> loadEnded);
    ~AdView() override;

    // Leaves the pane to its own quiet look for good and gives back the page's memory.
    void unload();
    // The renderer process the page runs in, or 0.
    qint64 rendererPid() const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followLoad(const QWebEngineLoadingInfo &info);
    void keepOutOfFocus(QObject *object);

    AdPage *m_page;
    std::function<void(bool showsPage)> m_loadEnded;
    bool m_lastLoadFailed = false;
};

} // namespace tarvoni
