#pragma once

#include <QWebEngineView>

class QWebEngineLoadingInfo;

namespace tarvoni {

class AdPage;

// The web view that covers an ad pane. It stays hidden, leaving the pane's own quiet look in
// sight, until its page has loaded, and hides again when a load fails or the page's process
// ends. It never takes the keyboard focus.
class AdView : public QWebEngineView {
public:
    AdView(const QUrl &pageUrl, QWidget *pane);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followLoad(const QWebEngineLoadingInfo &info);
    void keepOutOfFocus(QObject *object);

    AdPage *m_page;
    bool m_lastLoadFailed = false;
};

} // namespace tarvoni
