#include "window_state.h"

#include "tray/tray_form.h"
#include "winapi/window_system.h"

namespace tarvoni {

qint16 windowStateFromQt(Qt::WindowStates states)
{
    if (states.testFlag(Qt::WindowMinimized))
        return 1;
    if (states.testFlag(Qt::WindowMaximized))
        return 2;
    return 0;
}

Qt::WindowStates qtWindowStates(qint16 state, Qt::WindowStates current)
{
    const Qt::WindowStates sizeStates = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    switch (state) {
    case 0:
        return current & ~sizeStates;
    case 1:
        return current | Qt::WindowMinimized;
    case 2:
        return (current & ~sizeStates) | Qt::WindowMaximized;
    default:
        return current;
    }
}

std::optional<TrayMenuItemsEnabled> trayMenuItemsFor(qint16 state)
{
    switch (state) {
    case 1:
        return TrayMenuItemsEnabled{
            .maximize = true, .minimize = false, .move = false, .restore = true, .size = false};
    case 2:
        return TrayMenuItemsEnabled{
            .maximize = false, .minimize = true, .move = false, .restore = true, .size = false};
    case 0:
        return TrayMenuItemsEnabled{
            .maximize = true, .minimize = true, .move = true, .restore = false, .size = true};
    default:
        return std::nullopt;
    }
}

qint16 initialLastState(qint16 windowState)
{
    return windowState == 1 ? qint16(0) : windowState;
}

qint16 lastStateAfterResize(qint16 state, qint16 lastState)
{
    return state == 1 ? lastState : state;
}

TrayMenuCommands::TrayMenuCommands(TrayForm &form, WindowSystem &windows)
    : m_form(form)
    , m_windows(windows)
{
}

void TrayMenuCommands::minimize()
{
    m_form.setWindowState(1);
}

void TrayMenuCommands::restore()
{
    sendSystemCommand(SC_RESTORE);
}

void TrayMenuCommands::move()
{
    sendSystemCommand(SC_MOVE);
}

void TrayMenuCommands::size()
{
    sendSystemCommand(SC_SIZE);
}

void TrayMenuCommands::maximize()
{
    m_form.setWindowState(2);
    if (!m_form.isVisible())
        m_form.show();
}

void TrayMenuCommands::close()
{
    m_form.unload();
}

void TrayMenuCommands::sendSystemCommand(quint32 command)
{
    m_windows.sendMessage(m_form.hWnd(), WM_SYSCOMMAND, command, 0);
}

} // namespace tarvoni
