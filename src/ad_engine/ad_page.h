#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>

namespace tarvoni {

class AdTrafficMeter;

// The page inside an ad pane. It keeps the ad where it was put: a link the user clicks goes
// to the desktop's web browser, the pane itself never leaves the ad server, and the page
// gets no windows, dialogs, files or device permissions. It never makes a sound, and it loads
// a new page at most once every 10 seconds: a page that refreshes or moves on sooner waits
// for its turn.
class AdPage : public QWebEnginePage {
public:
    // With a `meter`, what the page fetches is counted as pane `pane`'s, each page load afresh.
    AdPage(QWebEngineProfile *profile, const QUrl &homeUrl, AdTrafficMeter *meter, int pane, QObject *parent);

    // The user has just pressed or released a mouse button over the pane.
    void noteUserClick();

    // Drops the page for good and gives back what it holds; nothing loads here again.
    void unload();
    bool isUnloaded() const { return m_unloaded; }
    // How long until the pane may start its next page load, in ms.
    int untilNextTurn() const;

    // The private profile all ad pages share: nothing is kept on disk.
    static QWebEngineProfile *sharedProfile();

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                  const QString &sourceID) override;

private:
    // Permissions, full screen, protocol handlers, files and storage quota: all refused.
    void refuseDesktopRequests();
    bool userJustClicked() const;
    void openInBrowser(const QUrl &url);
    // Whether a navigation of the main frame may go ahead now; one that may not is put off
    // until the pane's turn comes.
    bool mayLoadNow(const QUrl &url, NavigationType type);
    // Identifies the document the main frame holds; a page load commits a new one.
    QString committedDocument() const;

    QUrl m_homeUrl;
    AdTrafficMeter *m_meter;
    int m_pane;
    QElapsedTimer m_sinceUserClick;
    QElapsedTimer m_sinceLoadStarted;
    QString m_documentAtLoadStart;
    int m_redirectsInLoad = 0;
    bool m_loading = false;
    QTimer m_nextTurn;
    QUrl m_waitingUrl;
    bool m_unloaded = false;
};

} // namespace tarvoni
