#pragma once

#include "window/services/window_messages.h"

#include <Qt>

namespace tarvoni {

class TrayForm;
class WindowSystem;

// 0 normal, 1 minimized, 2 maximized; minimized wins when Qt reports several.
qint16 windowStateFromQt(Qt::WindowStates states);
// The Qt states for window state 0, 1 or 2, keeping from current what survives the change
// (a maximized window that is minimized still comes back maximized). Other values: current.
Qt::WindowStates qtWindowStates(qint16 state, Qt::WindowStates current);

enum class TrayMenuItem { Maximize, Minimize, Move, Restore, Size };

// The tray menu's five state-dependent command items (not Close, not the separator).
class TrayMenuItems {
public:
    virtual ~TrayMenuItems() = default;
    virtual void setItemEnabled(TrayMenuItem item, bool enabled) = 0;
};

// Enables the tray menu's commands that make sense in the given window state, in the order
// Maximize, Minimize, Move, Restore, Size. Any state but 0, 1, 2 leaves every item alone.
void applyTrayMenuItems(qint16 state, TrayMenuItems &items);

// LastState when the window is loaded: its state, or 0 when it is loaded minimized.
qint16 initialLastState(qint16 windowState);

// The window's resize handler: items for the current state, then lastState unless minimized.
void handleResize(TrayForm &form, qint16 &lastState);

// Click handlers of mini and of the tray menu's commands.
class TrayMenuCommands {
public:
    TrayMenuCommands(TrayForm &form, WindowSystem &windows);

    void minimize(); // mini and mnuTrayMinimize
    void restore();  // mnuTrayRestore
    void move();     // mnuTrayMove
    void size();     // mnuTraySize
    void maximize(); // mnuTrayMaximize
    void close();    // mnuTrayClose

private:
    void sendSystemCommand(quint32 command);

    TrayForm &m_form;
    WindowSystem &m_windows;
};

} // namespace tarvoni
