#include "sleep_watcher.h"

namespace tarvoni {

SleepWatcher::SleepWatcher(const QDBusConnection &systemBus, QObject *parent)
    : QObject(parent)
{
    QDBusConnection bus = systemBus;
    if (bus.isConnected())
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(onPrepareForSleep(bool)));
}

void SleepWatcher::onPrepareForSleep(bool goingToSleep)
{
    if (!goingToSleep)
        emit resumed();
}

} // namespace tarvoni
