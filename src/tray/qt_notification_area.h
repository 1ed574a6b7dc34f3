#pragma once

#include "tray/notification_area.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QMenu;

namespace tarvoni {

class WindowSystem;

// The notification area on Qt: one QSystemTrayIcon, for XEmbed trays and for
// StatusNotifierItem hosts alike. Clicks on the icon come back to the record's window as
// its callback message, as WM_LBUTTONUP (left) and WM_RBUTTONUP (right) in lParam.
class QtNotificationArea final : public QObject, public NotificationArea {
    Q_OBJECT
public:
    // menuForHostsThatDrawTheirOwn is exported to hosts that draw the icon's menu themselves.
    QtNotificationArea(const QIcon &icon, QMenu *menuForHostsThatDrawTheirOwn,
                       WindowSystem &windows, QObject *parent = nullptr);
    ~QtNotificationArea() override;

    bool notifyIcon(quint32 message, const TrayIconRecord &record) override;
    bool isAvailable() const override;

    // The icon while it is added, for tests; nullptr otherwise.
    QSystemTrayIcon *trayIcon() const { return m_icon; }

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QIcon m_iconPicture;
    QPointer<QMenu> m_menu;
    WindowSystem &m_windows;
    QSystemTrayIcon *m_icon = nullptr;
    TrayIconRecord m_added;
};

// The mouse message a tray icon activation stands for (0 for none).
quint32 mouseMessageForActivation(QSystemTrayIcon::ActivationReason reason);

} // namespace tarvoni
