#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

namespace tarvoni {

// Asks the desktop not to suspend the machine for idleness while it is wanted: through the
// desktop portal where there is one, else the freedesktop power management, else the GNOME
// session manager; nothing where none answers. The screen may still blank. Every call but the
// last release at exit is asynchronous, so the window never waits for the bus.
class IdleInhibitor final : public QObject {
    Q_OBJECT

public:
    explicit IdleInhibitor(const QDBusConnection &bus, QObject *parent = nullptr);
    // Lets go of a held inhibition.
    ~IdleInhibitor() override;

    void setWanted(bool wanted);

    enum class Service { Portal, PowerManagement, SessionManager, None };

private:
    void request(Service service);
    void onReply(Service service, QDBusPendingCallWatcher *call);
    void release(bool wait);

    QDBusConnection m_bus;
    bool m_wanted = false;
    bool m_pending = false;
    Service m_held = Service::None;
    QString m_portalRequest; // the portal's request object, closed to release
    uint m_cookie = 0;       // what the other two services hand back
};

} // namespace tarvoni
