#pragma once

// A small real window carrying the tray, wired the way the main window is: its procedure
// host, the tray module with the Qt notification area, the tray menu and its commands.

#include "tray/api_stuff.h"
#include "tray/qt_notification_area.h"
#include "tray/tray_form.h"
#include "tray/window_state.h"
#include "window/services/window_procedure_host.h"

#include <QList>
#include <QWidget>

class QAction;
class QMenu;

namespace tarvoni::test {

class TrayTestWindow final : public QWidget, public TrayForm {
    Q_OBJECT
public:
    TrayTestWindow();
    ~TrayTestWindow() override;

    // Installs the tray as the load handler does, then shows the window.
    void load();

    WindowHandle hWnd() const override { return m_handle; }
    IconHandle iconHandle() const override { return 1; }
    qint16 windowState() const override;
    void setWindowState(qint16 state) override;
    bool isVisible() const override { return QWidget::isVisible(); }
    void show() override { QWidget::show(); }
    void hide() override { QWidget::hide(); }
    void setFocus() override;
    void popupMenu(QMenu *menu) override;
    qint16 lastState() const override { return m_lastState; }
    void setTrayMenuItems(qint16 state) override;
    void unload() override;

    // Messages that reached the window's own handling.
    int handledCount(quint32 msg) const { return int(m_handled.count(msg)); }
    bool isUnloaded() const { return m_unloaded; }

    QMenu *trayMenu;
    QAction *mnuTrayRestore;
    QAction *mnuTrayMove;
    QAction *mnuTraySize;
    QAction *mnuTrayMinimize;
    QAction *mnuTrayMaximize;
    QAction *mnuTraySep;
    QAction *mnuTrayClose;
    WindowProcedureHost host;
    QtNotificationArea area;
    APIStuff module;
    TrayMenuCommands commands;

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    LResult defaultProc(quint32 msg, quint32 wParam, qint32 lParam);

    WindowHandle m_handle;
    qint16 m_lastState = 0;
    bool m_unloaded = false;
    QList<quint32> m_handled;
};

// Runs the test again inside its own D-Bus session (dbus-run-session), so that no bus of the
// machine is seen and none outlives the test. Returns only in the inner run.
void reexecOnPrivateBus(int argc, char **argv);

} // namespace tarvoni::test
