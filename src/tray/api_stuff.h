#pragma once

#include "tray/notification_area.h"
#include "winapi/window_system.h"

class QMenu;

namespace tarvoni {

class TrayForm;

// The tray module: the one tray icon record, the window procedure the tray message hook
// displaced, and the references to the main window and to its tray menu.
class APIStuff {
public:
    APIStuff(NotificationArea &area, WindowSystem &windows);
    APIStuff(const APIStuff &) = delete;
    APIStuff &operator=(const APIStuff &) = delete;

    // Puts the tray message hook in front of the window's message handling, then adds the icon.
    void installTrayIcon(TrayForm &form, QMenu *menu);
    // At most 63 characters of text are kept, so the tip always ends in its NUL.
    void setTrayTip(const QString &text);
    // Deletes the icon and lets go of the window; the hook stays the window's procedure.
    void removeTrayIcon();

    const TrayIconRecord &record() const { return m_record; }
    // Empty (nullptr) before install and after remove.
    TrayForm *formReference() const { return m_form; }
    QMenu *menuReference() const { return m_menu; }
    const WindowProc &savedWindowProc() const { return m_savedProc; }
    NotificationArea &notificationArea() const { return m_area; }
    WindowSystem &windowSystem() const { return m_windows; }
    // Whether hiding the window to the tray leaves a way back to it.
    bool isTrayAvailable() const { return m_area.isAvailable(); }

private:
    NotificationArea &m_area;
    WindowSystem &m_windows;
    TrayIconRecord m_record;
    WindowProc m_savedProc;
    TrayForm *m_form = nullptr;
    QMenu *m_menu = nullptr;
};

// Stores text as the record's tip: at most 63 characters, then NUL, the rest spaces.
void storeTrayTip(TrayIconRecord &record, const QString &text);

} // namespace tarvoni
