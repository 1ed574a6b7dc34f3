// The window's state as the tray code reads and sets it, and the window's ordinary handling
// of the system commands.

#include "form1_tray_view.h"

#include "tray/api_stuff.h"

#include <QCursor>
#include <QMenu>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <utility>

namespace tarvoni {

IconHandle Form1::TrayView::iconHandle() const
{
    return IconHandle(m_form.windowIcon().cacheKey());
}

void Form1::TrayView::setFocus()
{
    m_form.raise();
    m_form.activateWindow();
    m_form.setFocus();
}

void Form1::TrayView::popupMenu(QMenu *menu)
{
    menu->exec(QCursor::pos());
}

WindowHandle Form1::hWnd() const
{
    return m_windows.hwnd();
}

qint16 Form1::windowStateValue() const
{
    return windowStateFromQt(m_stateInTray ? *m_stateInTray : windowState());
}

void Form1::setWindowStateValue(qint16 state)
{
    // A minimize asked of the window itself goes the way of the minimize system command, so
    // that where there is a tray the window hides into it instead of minimizing.
    if (state == 1 && m_tray && m_tray->isTrayAvailable()) {
        sendToSelf(WM_SYSCOMMAND, SC_MINIMIZE);
        return;
    }
    if (m_stateInTray) {
        // Hidden in the tray: the state waits for the showing (see changeEvent).
        m_stateInTray = qtWindowStates(state, *m_stateInTray);
        return;
    }
    setOwnWindowState(qtWindowStates(state, windowState()));
}

void Form1::showFromTray()
{
    // The state it was hidden with goes back just before the showing: un-minimizing maps the
    // window, and shown while still minimized it would come up minimized.
    if (m_stateInTray)
        setOwnWindowState(*std::exchange(m_stateInTray, std::nullopt));
    show();
}

void Form1::setOwnWindowState(Qt::WindowStates states)
{
    ++m_ownStateChanges;
    setWindowState(states);
    --m_ownStateChanges;
}

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || m_destroyed)
        return;

    const auto oldStates = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    const bool minimizedByOthers = (windowState() & Qt::WindowMinimized) && !(oldStates & Qt::WindowMinimized)
        && m_ownStateChanges == 0;
    if (minimizedByOthers) {
        // The window manager minimized the window: that is the minimize system command. Where
        // it hid the window into the tray, the window keeps the state it had before. Qt must
        // not be told so while the window is hidden: on X11 leaving the minimized state maps
        // the window, and the window manager would show it again at once.
        sendToSelf(WM_SYSCOMMAND, SC_MINIMIZE);
        if (isHidden()) {
            m_stateInTray = oldStates;
            return;
        }
    }
    resizeHandler();
}

// What the window does with a message nobody in front of it answered.
LResult Form1::defaultWindowProc(WindowHandle, quint32 msg, quint32 wParam, qint32)
{
    if (msg != WM_SYSCOMMAND)
        return 0;
    const Qt::WindowStates states = windowState();
    switch (wParam & 0xFFF0) {
    case SC_RESTORE:
        if (states & Qt::WindowMinimized)
            setOwnWindowState(states & ~Qt::WindowMinimized);
        else if (states & Qt::WindowMaximized)
            setOwnWindowState(states & ~Qt::WindowMaximized);
        break;
    case SC_MINIMIZE:
        setOwnWindowState(states | Qt::WindowMinimized);
        break;
    case SC_MAXIMIZE:
        setOwnWindowState((states & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        break;
    case SC_MOVE:
        if (QWindow *window = windowHandle())
            window->startSystemMove();
        break;
    case SC_SIZE:
        if (QWindow *window = windowHandle())
            window->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
        break;
    default:
        break;
    }
    return 0;
}

} // namespace tarvoni
