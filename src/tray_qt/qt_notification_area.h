#pragma once

#include "tray/notification_area.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QDBusPendingCallWatcher;
class QMenu;

namespace tarvoni {

class WindowSystem;

// The notification area on Qt: one QSystemTrayIcon, for XEmbed trays and for
// StatusNotifierItem hosts alike. Clicks on the icon come back to the record's window as
// its callback message, as WM_LBUTTONUP (left) and WM_RBUTTONUP (right) in lParam.
// Whether a StatusNotifierItem host runs is asked over D-Bus without waiting, at start and
// whenever the watcher comes, goes or announces a host, and the last answer is kept: a
// minimize never waits on the bus.
class QtNotificationArea final : public QObject, public NotificationArea {
    Q_OBJECT
public:
    // menuForHostsThatDrawTheirOwn is exported to hosts that draw the icon's menu themselves.
    QtNotificationArea(const QIcon &icon, QMenu *menuForHostsThatDrawTheirOwn, WindowSystem &windows,
                       QObject *parent = nullptr);
    ~QtNotificationArea() override;

    bool notifyIcon(quint32 message, const TrayIconRecord &record) override;
    bool isAvailable() const override;

    // The icon while it is added, for tests; nullptr otherwise.
    QSystemTrayIcon *trayIcon() const { return m_icon; }
    // The last answer of the StatusNotifier watcher on the session bus, for tests.
    bool hostRegistered() const { return m_hostRegistered; }

private slots:
    void askForHost();

private:
    void takeHostAnswer(QDBusPendingCallWatcher *call, quint64 question);
    void giveHostItsMenu();
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QIcon m_iconPicture;
    QPointer<QMenu> m_menu;
    WindowSystem &m_windows;
    QSystemTrayIcon *m_icon = nullptr;
    TrayIconRecord m_added;
    quint64 m_question = 0; // the latest question to the watcher; older answers are stale
    bool m_hostAnswered = false;
    bool m_hostRegistered = false;
    bool m_menuAwaitsAnswer = false; // the icon was added before the first answer came
};

// The mouse message a tray icon activation stands for (0 for none).
quint32 mouseMessageForActivation(QSystemTrayIcon::ActivationReason reason);

} // namespace tarvoni
