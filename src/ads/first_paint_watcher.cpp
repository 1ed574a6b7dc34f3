#include "first_paint_watcher.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace tarvoni {

FirstPaintWatcher::FirstPaintWatcher(QWidget *window, std::function<void()> afterFirstPaint)
    : QObject(window)
    , m_window(window)
    , m_afterFirstPaint(std::move(afterFirstPaint))
{
    const bool exposed = window->windowHandle() && window->windowHandle()->isExposed();
    if (exposed) {
        QTimer::singleShot(0, this, [this] { callOnce(); });
        return;
    }
    window->installEventFilter(this);
    QTimer::singleShot(kFallbackMs, this, [this] { callOnce(); });
}

bool FirstPaintWatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Paint) {
        m_window->removeEventFilter(this);
        // After the paint has reached the screen.
        QTimer::singleShot(0, this, [this] { callOnce(); });
    }
    return false;
}

void FirstPaintWatcher::callOnce()
{
    if (!m_afterFirstPaint)
        return;
    m_window->removeEventFilter(this);
    std::exchange(m_afterFirstPaint, nullptr)();
    deleteLater();
}

} // namespace tarvoni
