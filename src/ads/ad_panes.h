#pragma once

#include <QUrl>

class QWidget;

namespace tarvoni {

// The two advertisement panes, Scriptlet1 and Scriptlet2. The web engine behind them is
// loaded only once the window has been shown, so the window comes up as fast as one
// without them.

// Call before the QApplication is created and before the program starts any thread (it adds
// to the environment): engine attributes, Chromium flags, and the sandbox switch that the
// engine needs when the program runs as root.
void prepareAdPanes();

// Creates Scriptlet1 and Scriptlet2 (each an AdPane) as children of `window` at their places
// and starts loading adServerBase + "/3-1/1.php" and "/3-1/2.php" once the window has been
// shown. Never throws; when the web engine cannot be loaded the panes keep their quiet
// built-in look and one line goes to stderr.
void startAdPanes(QWidget *window, const QUrl &adServerBase);

} // namespace tarvoni
