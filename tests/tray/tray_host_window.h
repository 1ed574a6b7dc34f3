#pragma once

// The real main window on a real tray host: Form1 with a fake media player and the Qt
// notification area, loaded and shown as the program does it. The messages that get past the
// tray message hook to the window's own handling are counted.

#include "fake_media_player.h"
#include "player/station_catalogue.h"
#include "tray_qt/qt_notification_area.h"
#include "window/form1.h"

#include <QList>

#include <memory>
#include <optional>

namespace tarvoni::test {

class TrayHostWindow {
public:
    TrayHostWindow();
    TrayHostWindow(const TrayHostWindow &) = delete;
    TrayHostWindow &operator=(const TrayHostWindow &) = delete;

    Form1 &form() const { return *m_form; }
    QtNotificationArea &area() { return *m_area; }
    // Messages that reached the window's own handling.
    int handledCount(quint32 msg) const { return int(m_handled.count(msg)); }
    bool isUnloaded() const { return m_unloaded; }

private:
    // Declared before the window: the window's last message is counted, and the icon goes
    // from the area as the window goes.
    QList<quint32> m_handled;
    WindowProc m_ownHandling;
    bool m_unloaded = false;
    std::optional<QtNotificationArea> m_area;
    std::unique_ptr<Form1> m_form;
};

// Runs the test again inside its own D-Bus session (dbus-run-session), so that no bus of the
// machine is seen and none outlives the test. Returns only in the inner run.
void reexecOnPrivateBus(int argc, char **argv);

} // namespace tarvoni::test
