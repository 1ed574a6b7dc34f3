#include "ui_watchdog.h"

#include <algorithm>

namespace tarvoni::testing {

UiWatchdog::UiWatchdog()
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this,
            [this] { m_worst = std::max(m_worst, m_since.restart() - 20); });
    m_since.start();
    m_timer.start();
}

} // namespace tarvoni::testing
