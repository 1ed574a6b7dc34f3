#pragma once

// Stand-ins for the main window and the notification area, for driving the tray code
// without a display. The window system itself is the real WindowProcedureHost.

#include "tray/notification_area.h"
#include "tray/tray_form.h"
#include "tray/window_state.h"
#include "winapi/window_procedure_host.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <functional>

namespace tarvoni::test {

constexpr WindowHandle kWindow = 0x4d2;
constexpr IconHandle kIcon = 0x1f4;
// What the window's ordinary handling answers, so a passed-on message can be recognised.
constexpr LResult kDefaultResult = 0x5150;

struct Message {
    quint32 msg;
    quint32 wParam;
    qint32 lParam;
    bool operator==(const Message &) const = default;
};

// The tray menu's five state-dependent items as "MaxMinMovResSiz" flags, such as "10010"
// (1 enabled).
inline QString itemsPattern(const TrayMenuItemsEnabled &enabled)
{
    QString text;
    for (bool on : {enabled.maximize, enabled.minimize, enabled.move, enabled.restore, enabled.size})
        text += on ? u'1' : u'0';
    return text;
}

// The main window's behaviour as the tray code relies on it: setting the state raises the
// resize handler, show and hide keep the state, unloading sends WM_NCDESTROY through the
// window's procedure. Every message the window's own handling gets is logged.
class FakeForm final : public TrayForm {
public:
    explicit FakeForm(qint16 startState = 0)
        : host(
            kWindow,
            [this](WindowHandle, quint32 msg, quint32 wParam, qint32 lParam) {
                return defaultProc(msg, wParam, lParam);
            },
            [this] { ++foregroundCalls; })
        , state(startState)
        , lastStateValue(initialLastState(startState))
    {
    }

    WindowHandle hWnd() const override { return kWindow; }
    IconHandle iconHandle() const override { return kIcon; }
    qint16 windowState() const override { return state; }
    void setWindowState(qint16 newState) override
    {
        if (newState == state)
            return;
        state = newState;
        // The window's resize handler.
        setTrayMenuItems(state);
        lastStateValue = lastStateAfterResize(state, lastStateValue);
    }
    bool isVisible() const override { return visible; }
    void show() override
    {
        visible = true;
        ++showCalls;
    }
    void hide() override { visible = false; }
    void setFocus() override { ++focusCalls; }
    void popupMenu(QMenu *menu) override
    {
        poppedUpMenu = menu;
        if (onPopup)
            onPopup();
    }
    qint16 lastState() const override { return lastStateValue; }
    void setTrayMenuItems(qint16 forState) override
    {
        itemStates.append(forState);
        if (const auto enabled = trayMenuItemsFor(forState))
            items = itemsPattern(*enabled);
    }
    void unload() override
    {
        host.sendMessage(kWindow, WM_NCDESTROY, 0, 0);
        destroyed = true;
    }

    // Delivers the messages posted to the window so far.
    void deliverPosted() { QCoreApplication::sendPostedEvents(); }

    WindowProcedureHost host;
    qint16 state;
    qint16 lastStateValue;
    bool visible = true;
    bool destroyed = false;
    int showCalls = 0;
    int focusCalls = 0;
    int foregroundCalls = 0;
    QMenu *poppedUpMenu = nullptr;
    std::function<void()> onPopup;
    QList<qint16> itemStates;
    QString items = QStringLiteral("-----"); // '-' while never set
    QList<Message> defaultHandled;

private:
    LResult defaultProc(quint32 msg, quint32 wParam, qint32 lParam)
    {
        defaultHandled.append({msg, wParam, lParam});
        if (msg == WM_SYSCOMMAND && wParam == SC_MINIMIZE)
            setWindowState(1);
        else if (msg == WM_SYSCOMMAND && wParam == SC_RESTORE)
            setWindowState(0);
        return kDefaultResult;
    }
};

// Records every request with a copy of the record as it was at the call.
class FakeNotificationArea final : public NotificationArea {
public:
    struct Call {
        quint32 message;
        TrayIconRecord record;
    };

    bool notifyIcon(quint32 message, const TrayIconRecord &record) override
    {
        calls.append({message, record});
        return true;
    }
    bool isAvailable() const override { return available; }

    QList<Call> calls;
    bool available = true;
};

} // namespace tarvoni::test
