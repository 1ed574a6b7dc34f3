#pragma once

#include <QtPlugin>

#include <functional>

class QUrl;
class QWidget;

namespace tarvoni {

// What the panes' web-engine module offers. The module is loaded at run time, so the program
// itself never links the web engine; the module's one instance lives as long as the process.
class AdEngine {
public:
    virtual ~AdEngine() = default;

    // Covers `pane` with a web view, a child of the pane, that loads `pageUrl`. The view shows
    // itself only while it holds a page that loaded, and calls `loadEnded` each time a load
    // ends, with whether it now shows a page.
    virtual void attachView(QWidget *pane, const QUrl &pageUrl,
                            std::function<void(bool showsPage)> loadEnded) = 0;
};

} // namespace tarvoni

#define TarvoniAdEngine_iid "com.tarvoniradio.TarvoniRadioPlayer.AdEngine/1.0"
Q_DECLARE_INTERFACE(tarvoni::AdEngine, TarvoniAdEngine_iid)
