#include "qt_notification_area.h"

#include "window/services/window_system.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>

namespace tarvoni {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// Whether a StatusNotifierItem host is running on the session bus; Qt then shows the icon
// through it, and the host, not Qt, decides what a right click does.
bool statusNotifierHostRegistered()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()
        || !bus.interface()->isServiceRegistered(kWatcherService).value())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

bool sameIcon(const TrayIconRecord &a, const TrayIconRecord &b)
{
    return a.hWnd == b.hWnd && a.uID == b.uID;
}

} // namespace

quint32 mouseMessageForActivation(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return WM_LBUTTONUP;
    case QSystemTrayIcon::Context:
        return WM_RBUTTONUP;
    case QSystemTrayIcon::DoubleClick:
        return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::MiddleClick:
        return WM_MBUTTONUP;
    case QSystemTrayIcon::Unknown:
        break;
    }
    return 0;
}

QtNotificationArea::QtNotificationArea(const QIcon &icon, QMenu *menuForHostsThatDrawTheirOwn,
                                       WindowSystem &windows, QObject *parent)
    : QObject(parent), m_iconPicture(icon), m_menu(menuForHostsThatDrawTheirOwn),
      m_windows(windows)
{
}

QtNotificationArea::~QtNotificationArea() = default;

bool QtNotificationArea::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable() || statusNotifierHostRegistered();
}

bool QtNotificationArea::notifyIcon(quint32 message, const TrayIconRecord &record)
{
    switch (message) {
    case NIM_ADD: {
        if (m_icon)
            return false;
        m_added = record;
        m_icon = new QSystemTrayIcon(m_iconPicture, this);
        if (m_menu && statusNotifierHostRegistered()) {
            // Such a host may draw the menu itself. It gets a menu of its own holding the same
            // actions: the window's menu stays an ordinary pop-up for the hook to show.
            auto *hostMenu = new QMenu;
            hostMenu->addActions(m_menu->actions());
            connect(m_icon, &QObject::destroyed, hostMenu, &QObject::deleteLater);
            m_icon->setContextMenu(hostMenu);
        }
        connect(m_icon, &QSystemTrayIcon::activated, this, &QtNotificationArea::onActivated);
        m_icon->show();
        return true;
    }
    case NIM_MODIFY:
        if (!m_icon || !sameIcon(m_added, record))
            return false;
        if (record.uFlags & NIF_MESSAGE)
            m_added.uCallbackMessage = record.uCallbackMessage;
        if (record.uFlags & NIF_TIP)
            m_icon->setToolTip(trayTipText(record));
        return true;
    case NIM_DELETE:
        if (!m_icon || !sameIcon(m_added, record))
            return false;
        m_icon->hide();
        // Later: the request may come from inside one of the icon's own signals.
        m_icon->deleteLater();
        m_icon = nullptr;
        return true;
    default:
        return false;
    }
}

void QtNotificationArea::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    const quint32 mouseMessage = mouseMessageForActivation(reason);
    if (mouseMessage == 0 || !m_icon)
        return;
    m_windows.postMessage(m_added.hWnd, m_added.uCallbackMessage, m_added.uID,
                          qint32(mouseMessage));
}

} // namespace tarvoni
