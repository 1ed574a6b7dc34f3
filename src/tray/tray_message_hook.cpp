#include "tray_message_hook.h"

#include "tray/api_stuff.h"
#include "tray/tray_form.h"

namespace tarvoni {

namespace {

LResult passOn(APIStuff &module, WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam)
{
    return module.windowSystem().callWindowProc(module.savedWindowProc(), hwnd, msg, wParam, lParam);
}

// Left button released over the icon: bring the window back as it was.
void restoreFromTray(TrayForm &form)
{
    form.show();
    if (form.windowState() == 1)
        form.setWindowState(form.lastState());
    form.setFocus();
}

// Right button released over the icon. The chosen command may destroy the window while the
// menu is up, so the form reference is read again afterwards.
void showTrayMenu(APIStuff &module, TrayForm &form)
{
    module.windowSystem().setForegroundWindow(form.hWnd());
    form.popupMenu(module.menuReference());
    TrayForm *const still = module.formReference();
    if (!still)
        return;
    module.windowSystem().postMessage(still->hWnd(), WM_NULL, 0, 0);
}

} // namespace

LResult trayMessageHook(APIStuff &module, WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam)
{
    if (msg == WM_NCDESTROY) {
        module.removeTrayIcon();
        return passOn(module, hwnd, msg, wParam, lParam);
    }

    TrayForm *const form = module.formReference();
    // Once the icon is removed there is no window left to act on.
    if (!form)
        return passOn(module, hwnd, msg, wParam, lParam);

    if (msg == TRAY_CALLBACK_MESSAGE) {
        if (lParam == qint32(WM_LBUTTONUP)) {
            restoreFromTray(*form);
            return 0;
        }
        if (lParam == qint32(WM_RBUTTONUP)) {
            showTrayMenu(module, *form);
            return 0;
        }
        return passOn(module, hwnd, msg, wParam, lParam);
    }

    if (msg == WM_SYSCOMMAND) {
        // Hide to the tray instead of minimizing, unless there is no tray to come back from.
        if (wParam == SC_MINIMIZE && module.isTrayAvailable()) {
            form->hide();
            form->setTrayMenuItems(1);
            return 0;
        }
        if (wParam == SC_RESTORE && !form->isVisible()) {
            form->show();
            form->setTrayMenuItems(0);
            return 0;
        }
    }
    return passOn(module, hwnd, msg, wParam, lParam);
}

} // namespace tarvoni
