#pragma once

#include "winapi/window_messages.h"

namespace tarvoni {

// The few window-system calls the program makes directly on its window's message handling.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Puts proc in front of the window's message handling; returns the procedure it replaced.
    virtual WindowProc setWindowProc(WindowHandle hwnd, WindowProc proc) = 0;
    // Runs proc on the message and returns its result (0 for an empty procedure).
    virtual LResult callWindowProc(const WindowProc &proc, WindowHandle hwnd, quint32 msg, quint32 wParam,
                                   qint32 lParam) = 0;
    // Synchronous, through the window's current procedure.
    virtual LResult sendMessage(WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam) = 0;
    // Queued to the event loop; delivered through the procedure in force at delivery.
    virtual void postMessage(WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam) = 0;
    virtual void setForegroundWindow(WindowHandle hwnd) = 0;
};

} // namespace tarvoni
