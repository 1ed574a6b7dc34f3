#include "window_state.h"

#include "tray/tray_form.h"
#include "window/services/window_system.h"

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
    const Qt::WindowStates sizeStates = Qt::WindowMinimized | Qt::WindowMaximized
        | Qt::WindowFullScreen;
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

void applyTrayMenuItems(qint16 state, TrayMenuItems &items)
{
    struct Row {
        bool maximize, minimize, move, restore, size;
    };
    Row row;
    if (state == 1)
        row = {true, false, false, true, false};
    else if (state == 2)
        row = {false, true, false, true, false};
    else if (state == 0)
        row = {true, true, true, false, true};
    else
        return;
    items.setItemEnabled(TrayMenuItem::Maximize, row.maximize);
    items.setItemEnabled(TrayMenuItem::Minimize, row.minimize);
    items.setItemEnabled(TrayMenuItem::Move, row.move);
    items.setItemEnabled(TrayMenuItem::Restore, row.restore);
    items.setItemEnabled(TrayMenuItem::Size, row.size);
}

qint16 initialLastState(qint16 windowState)
{
    return windowState == 1 ? qint16(0) : windowState;
}

void handleResize(TrayForm &form, qint16 &lastState)
{
    form.setTrayMenuItems(form.windowState());
    const qint16 state = form.windowState();
    if (state != 1)
        lastState = state;
}

TrayMenuCommands::TrayMenuCommands(TrayForm &form, WindowSystem &windows)
    : m_form(form), m_windows(windows)
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
