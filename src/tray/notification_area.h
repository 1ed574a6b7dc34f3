#pragma once

#include "winapi/window_messages.h"

#include <QString>

namespace tarvoni {

// Notification-area requests.
constexpr quint32 NIM_ADD = 0;
constexpr quint32 NIM_MODIFY = 1;
constexpr quint32 NIM_DELETE = 2;

// Which fields of the record a request carries.
constexpr quint32 NIF_MESSAGE = 1;
constexpr quint32 NIF_ICON = 2;
constexpr quint32 NIF_TIP = 4;

// Size of the record in its 32-bit, single-byte-text layout (six 32-bit fields and the tip).
constexpr quint32 TRAY_ICON_RECORD_SIZE = 88;
constexpr int TRAY_TIP_FIELD_SIZE = 64;

// The one tray icon's record. The tip is single-byte text (Latin-1), NUL-terminated.
struct TrayIconRecord {
    quint32 cbSize = 0;
    WindowHandle hWnd = 0;
    quint32 uID = 0;
    quint32 uFlags = 0;
    quint32 uCallbackMessage = 0;
    IconHandle hIcon = 0;
    char szTip[TRAY_TIP_FIELD_SIZE] = {};
};

// The tip as shown: the field's text up to its NUL, never beyond the field.
QString trayTipText(const TrayIconRecord &record);

// The desktop's notification area. An icon is identified by the record's hWnd and uID; mouse
// activity over it reaches hWnd as uCallbackMessage with the mouse message in lParam.
class NotificationArea {
public:
    virtual ~NotificationArea() = default;
    // NIM_ADD, NIM_MODIFY (the fields named in uFlags) or NIM_DELETE.
    virtual bool notifyIcon(quint32 message, const TrayIconRecord &record) = 0;
    // Whether the desktop has a notification area that can show the icon.
    virtual bool isAvailable() const = 0;
};

} // namespace tarvoni
