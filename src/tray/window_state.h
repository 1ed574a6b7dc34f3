#pragma once

#include "winapi/window_messages.h"

#include <Qt>

#include <optional>

namespace tarvoni {

class TrayForm;
class WindowSystem;

// 0 normal, 1 minimized, 2 maximized; minimized wins when Qt reports several.
qint16 windowStateFromQt(Qt::WindowStates states);
// The Qt states for window state 0, 1 or 2, keeping from current what survives the change
// (a maximized window that is minimized still comes back maximized). Other values: current.
Qt::WindowStates qtWindowStates(qint16 state, Qt::WindowStates current);

// Which of the tray menu's five state-dependent command items (not Close, not the
// separator) are enabled.
struct TrayMenuItemsEnabled {
    bool maximize;
    bool minimize;
    bool move;
    bool restore;
    bool size;
    bool operator==(const TrayMenuItemsEnabled &) const = default;
};

// The tray menu's commands that make sense in the given window state. Nothing for any state
// but 0, 1, 2: those leave every item as it is.
std::optional<TrayMenuItemsEnabled> trayMenuItemsFor(qint16 state);

// LastState when the window is loaded: its state, or 0 when it is loaded minimized.
qint16 initialLastState(qint16 windowState);

// LastState after the window's resize handler ran in `state`: that state, unless minimized.
qint16 lastStateAfterResize(qint16 state, qint16 lastState);

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
