#pragma once

#include <QUrl>
#include <QWidget>

namespace tarvoni {

class AdEngine;

// The place of one ad pane on the window. It paints a quiet panel of its own, which is what
// the user sees while the ad loads, when it cannot be loaded, and when no web engine is
// available; the web view, once attached, covers it only while it shows a page.
class AdPane : public QWidget {
    Q_OBJECT

public:
    AdPane(const QString &name, const QRect &geometry, const QUrl &pageUrl, QWidget *parent);

    QUrl pageUrl() const { return m_pageUrl; }

    // Puts `engine`'s web view over the pane, loading the pane's page.
    void attachView(AdEngine &engine);

signals:
    // A load of the pane's page (or of one it went on to) has ended; `showsPage` tells whether
    // the pane now shows it or its own panel.
    void loadEnded(bool showsPage);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QUrl m_pageUrl;
};

} // namespace tarvoni
