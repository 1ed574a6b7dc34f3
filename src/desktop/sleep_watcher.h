#pragma once

#include <QDBusConnection>
#include <QObject>

namespace tarvoni {

// Tells when the machine wakes from sleep, as logind announces on the system bus
// (PrepareForSleep(false)). Nothing is told where there is no logind.
class SleepWatcher final : public QObject {
    Q_OBJECT

public:
    explicit SleepWatcher(const QDBusConnection &systemBus, QObject *parent = nullptr);

signals:
    void resumed();

private slots:
    void onPrepareForSleep(bool goingToSleep);
};

} // namespace tarvoni
