#pragma once

#include "winapi/window_messages.h"

class QMenu;

namespace tarvoni {

// The main window as the tray code sees it: a generic window plus the two public members
// that only the main window has (lastState, setTrayMenuItems).
class TrayForm {
public:
    virtual ~TrayForm() = default;

    virtual WindowHandle hWnd() const = 0;
    virtual IconHandle iconHandle() const = 0;
    // 0 normal, 1 minimized, 2 maximized.
    virtual qint16 windowState() const = 0;
    // Changes the state; the window's resize handler runs on the change.
    virtual void setWindowState(qint16 state) = 0;
    virtual bool isVisible() const = 0;
    // Neither show nor hide changes the window state.
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void setFocus() = 0;
    // Returns after dismissal or after the chosen item's handler ran.
    virtual void popupMenu(QMenu *menu) = 0;
    virtual qint16 lastState() const = 0;
    virtual void setTrayMenuItems(qint16 state) = 0;
    // Destroys the window; its WM_NCDESTROY goes through the window procedure.
    virtual void unload() = 0;
};

} // namespace tarvoni
