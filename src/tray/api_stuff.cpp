#include "api_stuff.h"

#include "tray/tray_form.h"
#include "tray/tray_message_hook.h"

#include <algorithm>
#include <cstring>

namespace tarvoni {

void storeTrayTip(TrayIconRecord &record, const QString &text)
{
    // Room for the NUL is kept: the notification area reads the tip up to it.
    const QByteArray bytes = text.left(TRAY_TIP_FIELD_SIZE - 1).toLatin1();
    std::memset(record.szTip, ' ', sizeof record.szTip);
    std::memcpy(record.szTip, bytes.constData(), size_t(bytes.size()));
    record.szTip[bytes.size()] = '\0';
}

APIStuff::APIStuff(NotificationArea &area, WindowSystem &windows)
    : m_area(area)
    , m_windows(windows)
{
}

void APIStuff::installTrayIcon(TrayForm &form, QMenu *menu)
{
    // The references first: the hook never runs without them.
    m_form = &form;
    m_menu = menu;
    m_savedProc = m_windows.setWindowProc(
        form.hWnd(), [this](WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam) {
            return trayMessageHook(*this, hwnd, msg, wParam, lParam);
        });
    m_record.uID = 0;
    m_record.cbSize = TRAY_ICON_RECORD_SIZE;
    m_record.hWnd = form.hWnd();
    m_record.hIcon = form.iconHandle();
    m_record.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    m_record.uFlags = NIF_MESSAGE | NIF_ICON;
    m_record.cbSize = TRAY_ICON_RECORD_SIZE;
    m_area.notifyIcon(NIM_ADD, m_record);
}

void APIStuff::setTrayTip(const QString &text)
{
    storeTrayTip(m_record, text);
    m_record.uFlags = NIF_TIP;
    m_area.notifyIcon(NIM_MODIFY, m_record);
}

void APIStuff::removeTrayIcon()
{
    m_record.uFlags = 0;
    m_area.notifyIcon(NIM_DELETE, m_record);
    m_form = nullptr;
}

} // namespace tarvoni
