#pragma once

#include "winapi/window_messages.h"

namespace tarvoni {

class APIStuff;

// The window procedure installTrayIcon puts in front of the main window's message handling.
// Keeps nothing between calls: it is re-entered while it runs (the pop-up menu's commands and
// the window's destruction come back through it).
LResult trayMessageHook(APIStuff &module, WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam);

} // namespace tarvoni
