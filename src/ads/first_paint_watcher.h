#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace tarvoni {

// Calls `afterFirstPaint` once, when `window` has been painted and the paint has reached the
// screen, so that work done then does not hold the window back. A window already on screen
// gets the call at once from the event loop; one that is not painted soon (shown minimized,
// say) gets it anyway after a while. The watcher belongs to the window and deletes itself
// once it has called.
class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher(QWidget *window, std::function<void()> afterFirstPaint);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int kFallbackMs = 3000;

    void callOnce();

    QWidget *m_window;
    std::function<void()> m_afterFirstPaint;
};

} // namespace tarvoni
