#include "qt_notification_area.h"

#include "winapi/window_system.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMenu>

namespace tarvoni {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

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
    : QObject(parent)
    , m_iconPicture(icon)
    , m_menu(menuForHostsThatDrawTheirOwn)
    , m_windows(windows)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto *watcher = new QDBusServiceWatcher(kWatcherService, bus, QDBusServiceWatcher::WatchForOwnerChange,
                                            this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &QtNotificationArea::askForHost);
    // From any sender: naming the service would make Qt look its owner up, and wait for it.
    for (const char *signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus.connect(QString(), kWatcherPath, kWatcherService, QLatin1String(signal), this,
                    SLOT(askForHost()));
    askForHost();
}

QtNotificationArea::~QtNotificationArea() = default;

bool QtNotificationArea::isAvailable() const
{
    // The kept answer first: with a host there, Qt's own check would ask it over D-Bus again.
    return m_hostRegistered || QSystemTrayIcon::isSystemTrayAvailable();
}

void QtNotificationArea::askForHost()
{
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const quint64 question = ++m_question;
    auto *call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher *answered) { takeHostAnswer(answered, question); });
}

void QtNotificationArea::takeHostAnswer(QDBusPendingCallWatcher *call, quint64 question)
{
    call->deleteLater();
    if (question != m_question)
        return;
    // No watcher on the bus is an error answer too: then there is no host.
    const QDBusMessage reply = call->reply();
    m_hostRegistered = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().first().value<QDBusVariant>().variant().toBool();
    m_hostAnswered = true;
    if (m_menuAwaitsAnswer) {
        m_menuAwaitsAnswer = false;
        giveHostItsMenu();
    }
}

// A StatusNotifierItem host may draw the icon's menu itself. It gets a menu of its own holding
// the same actions: the window's menu stays an ordinary pop-up for the hook to show.
void QtNotificationArea::giveHostItsMenu()
{
    if (!m_icon || !m_menu || !m_hostRegistered || m_icon->contextMenu())
        return;
    auto *hostMenu = new QMenu;
    hostMenu->addActions(m_menu->actions());
    connect(m_icon, &QObject::destroyed, hostMenu, &QObject::deleteLater);
    m_icon->setContextMenu(hostMenu);
}

bool QtNotificationArea::notifyIcon(quint32 message, const TrayIconRecord &record)
{
    switch (message) {
    case NIM_ADD: {
        if (m_icon)
            return false;
        m_added = record;
        m_icon = new QSystemTrayIcon(m_iconPicture, this);
        if (m_hostAnswered)
            giveHostItsMenu();
        else
            m_menuAwaitsAnswer = true;
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
        m_menuAwaitsAnswer = false;
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
    m_windows.postMessage(m_added.hWnd, m_added.uCallbackMessage, m_added.uID, qint32(mouseMessage));
}

} // namespace tarvoni
