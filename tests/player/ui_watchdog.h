#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace tarvoni::testing {

// Measures how late the UI thread's event loop answers a timer: a blocked UI thread shows
// up as a long worst delay.
class UiWatchdog : public QObject {
    Q_OBJECT

public:
    UiWatchdog();
    qint64 worstDelayMs() const { return m_worst; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_worst = 0;
};

} // namespace tarvoni::testing
