#pragma once

#include "winapi/window_system.h"

#include <QObject>

#include <functional>
#include <memory>

namespace tarvoni {

// The one window's replaceable procedure on Qt. The window translates what it receives from Qt
// (a minimize request, its destruction, ...) into sendMessage(); whatever the procedure in
// force passes on ends in defaultProc, which does the window's ordinary handling.
class WindowProcedureHost final : public WindowSystem {
public:
    WindowProcedureHost(WindowHandle hwnd, WindowProc defaultProc, std::function<void()> bringToForeground);
    ~WindowProcedureHost() override;

    WindowHandle hwnd() const { return m_hwnd; }
    const WindowProc &currentProc() const { return m_current; }

    WindowProc setWindowProc(WindowHandle hwnd, WindowProc proc) override;
    LResult callWindowProc(const WindowProc &proc, WindowHandle hwnd, quint32 msg, quint32 wParam,
                           qint32 lParam) override;
    LResult sendMessage(WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam) override;
    void postMessage(WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam) override;
    void setForegroundWindow(WindowHandle hwnd) override;

private:
    WindowHandle m_hwnd;
    WindowProc m_current;
    std::function<void()> m_bringToForeground;
    // Posted messages are queued to this object; they die with it when the host goes.
    std::unique_ptr<QObject> m_queue;
};

} // namespace tarvoni
