#include "window_procedure_host.h"

#include <QMetaObject>
#include <QPointer>

#include <utility>

namespace tarvoni {

WindowProcedureHost::WindowProcedureHost(WindowHandle hwnd, WindowProc defaultProc,
                                         std::function<void()> bringToForeground)
    : m_hwnd(hwnd)
    , m_current(std::move(defaultProc))
    , m_bringToForeground(std::move(bringToForeground))
    , m_queue(std::make_unique<QObject>())
{
}

WindowProcedureHost::~WindowProcedureHost() = default;

WindowProc WindowProcedureHost::setWindowProc(WindowHandle hwnd, WindowProc proc)
{
    if (hwnd != m_hwnd)
        return {};
    return std::exchange(m_current, std::move(proc));
}

LResult WindowProcedureHost::callWindowProc(const WindowProc &proc, WindowHandle hwnd, quint32 msg,
                                            quint32 wParam, qint32 lParam)
{
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LResult WindowProcedureHost::sendMessage(WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam)
{
    if (hwnd != m_hwnd)
        return 0;
    // A copy: the procedure may replace itself, or be re-entered, while it runs.
    const WindowProc proc = m_current;
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

void WindowProcedureHost::postMessage(WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam)
{
    if (hwnd != m_hwnd)
        return;
    // Queued to m_queue: if the host is destroyed first, Qt discards the call with it.
    QMetaObject::invokeMethod(
        m_queue.get(), [this, hwnd, msg, wParam, lParam] { sendMessage(hwnd, msg, wParam, lParam); },
        Qt::QueuedConnection);
}

void WindowProcedureHost::setForegroundWindow(WindowHandle hwnd)
{
    if (hwnd == m_hwnd && m_bringToForeground)
        m_bringToForeground();
}

} // namespace tarvoni
