// A minimal StatusNotifierItem watcher that also counts as the host: enough for a program to
// show its tray icon over D-Bus, as on KDE or on GNOME with the AppIndicator extension.
// Items are listed as "<bus name>/<object path>" and dropped when their bus name goes away.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QStringList>

#include <cstdio>

namespace {

class StatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit StatusNotifierWatcher(const QDBusConnection &bus)
        : m_bus(bus)
        , m_owners(QString(), bus, QDBusServiceWatcher::WatchForUnregistration)
    {
        connect(&m_owners, &QDBusServiceWatcher::serviceUnregistered, this,
                &StatusNotifierWatcher::dropOwner);
    }

    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString &serviceOrPath, const QDBusMessage &message)
    {
        // Either a bus name (the item at the usual path) or a path on the caller's connection.
        const bool isPath = serviceOrPath.startsWith(u'/');
        const QString owner = isPath ? message.service() : serviceOrPath;
        const QString item = owner + (isPath ? serviceOrPath : QStringLiteral("/StatusNotifierItem"));
        if (m_items.contains(item))
            return;
        m_items.append(item);
        m_owners.addWatchedService(owner);
        emit StatusNotifierItemRegistered(item);
    }

    void RegisterStatusNotifierHost(const QString &) { emit StatusNotifierHostRegistered(); }

signals:
    void StatusNotifierItemRegistered(const QString &item);
    void StatusNotifierItemUnregistered(const QString &item);
    void StatusNotifierHostRegistered();

private:
    void dropOwner(const QString &owner)
    {
        m_owners.removeWatchedService(owner);
        for (const QString &item : QStringList(m_items)) {
            if (item.section(u'/', 0, 0) == owner) {
                m_items.removeAll(item);
                emit StatusNotifierItemUnregistered(item);
            }
        }
    }

    QDBusConnection m_bus;
    QDBusServiceWatcher m_owners;
    QStringList m_items;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus\n");
        return 1;
    }
    StatusNotifierWatcher watcher(bus);
    const bool registered = bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                               QDBusConnection::ExportAllSlots
                                                   | QDBusConnection::ExportAllSignals
                                                   | QDBusConnection::ExportAllProperties)
        && bus.registerService(
            QStringLiteral("org.kde.StatusNotifierHost-%1").arg(QCoreApplication::applicationPid()))
        && bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    if (!registered) {
        std::fprintf(stderr, "could not register the watcher\n");
        return 1;
    }
    return app.exec();
}

#include "status_notifier_watcher.moc"
