#pragma once

#include "tray/notification_area.h"

#include <QList>

namespace tarvoni::test {

// A notification area that keeps what it was last told, and can say there is no tray.
class RecordingNotificationArea final : public NotificationArea {
public:
    bool notifyIcon(quint32 message, const TrayIconRecord &record) override
    {
        messages.append(message);
        last = record;
        return true;
    }
    bool isAvailable() const override { return available; }

    QList<quint32> messages;
    TrayIconRecord last;
    bool available = true;
};

} // namespace tarvoni::test
