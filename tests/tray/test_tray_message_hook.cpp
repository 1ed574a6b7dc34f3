#include "tray_fakes.h"

#include "tray/api_stuff.h"
#include "tray/tray_message_hook.h"

#include <QTest>

using namespace tarvoni;
using namespace tarvoni::test;

namespace {

QMenu *const kMenu = reinterpret_cast<QMenu *>(quintptr(0x3e9)); // only handed to popupMenu

// The main window with the tray icon installed on it, as after the load handler.
struct Installed {
    explicit Installed(qint16 state = 0, qint16 lastState = 0, bool trayAvailable = true)
        : form(state)
        , module(area, form.host)
        , commands(form, form.host)
    {
        area.available = trayAvailable;
        form.lastStateValue = lastState;
        module.installTrayIcon(form, kMenu);
        area.calls.clear();
    }
    LResult send(quint32 msg, quint32 wParam, qint32 lParam)
    {
        return form.host.sendMessage(kWindow, msg, wParam, lParam);
    }
    LResult rightClick() { return send(TRAY_CALLBACK_MESSAGE, 0, qint32(WM_RBUTTONUP)); }

    FakeForm form;
    FakeNotificationArea area;
    APIStuff module;
    TrayMenuCommands commands;
};

// One message to the hook: the window before the call, the message, and what the call leaves
// behind.
struct HookCase {
    const char *name = "";
    quint32 msg = 0;
    quint32 wParam = 0;
    qint32 lParam = 0;
    bool tray = true; // a notification area to come back from
    bool visible = true;
    qint16 state = 0;
    qint16 lastState = 0;
    bool passedOn = false; // reached the window's own handling, with its result
    bool visibleAfter = true;
    qint16 stateAfter = 0;
    QList<qint16> itemStates = {}; // setTrayMenuItems calls, in order
    int focusCalls = 0;
};

} // namespace

Q_DECLARE_METATYPE(HookCase)

class TestTrayMessageHook : public QObject {
    Q_OBJECT
private slots:
    void dispatch_data();
    void dispatch();
    void hookIsReachedOnlyThroughTheWindowsProcedure();
    void rightClickDismissedPostsOneNull();
    void rightClickEndingInClosePostsNothing();
    void rightClickRestoreRunsNested();
    void rightClickMinimize();
    void finalDestroyMessage();
    void messagesAfterTheWindowIsGone();
};

void TestTrayMessageHook::dispatch_data()
{
    QTest::addColumn<HookCase>("c");
    const quint32 cb = TRAY_CALLBACK_MESSAGE;
    const quint32 sc = WM_SYSCOMMAND;
    const QList<HookCase> cases{
        // Left button released over the icon.
        {.name = "left up, shown normal", .msg = cb, .lParam = qint32(WM_LBUTTONUP), .focusCalls = 1},
        {.name = "left up, shown maximized",
         .msg = cb,
         .lParam = qint32(WM_LBUTTONUP),
         .state = 2,
         .lastState = 2,
         .stateAfter = 2,
         .focusCalls = 1},
        {.name = "left up, hidden maximized",
         .msg = cb,
         .lParam = qint32(WM_LBUTTONUP),
         .visible = false,
         .state = 2,
         .lastState = 2,
         .stateAfter = 2,
         .focusCalls = 1},
        {.name = "left up, minimized from maximized",
         .msg = cb,
         .lParam = qint32(WM_LBUTTONUP),
         .state = 1,
         .lastState = 2,
         .stateAfter = 2,
         .itemStates = {2},
         .focusCalls = 1},
        {.name = "left up, minimized from normal",
         .msg = cb,
         .lParam = qint32(WM_LBUTTONUP),
         .state = 1,
         .itemStates = {0},
         .focusCalls = 1},
        {.name = "left up, icon id not looked at",
         .msg = cb,
         .wParam = 7,
         .lParam = qint32(WM_LBUTTONUP),
         .visible = false,
         .focusCalls = 1},
        // Every other tray notification goes on unchanged.
        {.name = "left down",
         .msg = cb,
         .lParam = qint32(WM_LBUTTONDOWN),
         .visible = false,
         .passedOn = true,
         .visibleAfter = false},
        {.name = "left double click",
         .msg = cb,
         .lParam = qint32(WM_LBUTTONDBLCLK),
         .visible = false,
         .passedOn = true,
         .visibleAfter = false},
        {.name = "right down",
         .msg = cb,
         .lParam = qint32(WM_RBUTTONDOWN),
         .visible = false,
         .passedOn = true,
         .visibleAfter = false},
        {.name = "mouse move",
         .msg = cb,
         .lParam = qint32(WM_MOUSEMOVE),
         .visible = false,
         .passedOn = true,
         .visibleAfter = false},
        {.name = "middle up",
         .msg = cb,
         .lParam = qint32(WM_MBUTTONUP),
         .visible = false,
         .passedOn = true,
         .visibleAfter = false},
        {.name = "right up in wParam",
         .msg = cb,
         .wParam = WM_RBUTTONUP,
         .visible = false,
         .passedOn = true,
         .visibleAfter = false},

        // Minimize: hidden to the tray, state kept.
        {.name = "minimize, normal",
         .msg = sc,
         .wParam = SC_MINIMIZE,
         .visibleAfter = false,
         .itemStates = {1}},
        {.name = "minimize, maximized",
         .msg = sc,
         .wParam = SC_MINIMIZE,
         .state = 2,
         .lastState = 2,
         .visibleAfter = false,
         .stateAfter = 2,
         .itemStates = {1}},
        {.name = "minimize, low bits set", .msg = sc, .wParam = SC_MINIMIZE | 0x2, .passedOn = true},
        {.name = "minimize, all low bits set", .msg = sc, .wParam = SC_MINIMIZE | 0xF, .passedOn = true},
        // With no tray to come back from, the window minimizes as usual.
        {.name = "minimize, no tray",
         .msg = sc,
         .wParam = SC_MINIMIZE,
         .tray = false,
         .passedOn = true,
         .stateAfter = 1,
         .itemStates = {1}},

        // Restore: only a hidden window is the hook's business.
        {.name = "restore, hidden normal",
         .msg = sc,
         .wParam = SC_RESTORE,
         .visible = false,
         .itemStates = {0}},
        {.name = "restore, hidden maximized",
         .msg = sc,
         .wParam = SC_RESTORE,
         .visible = false,
         .state = 2,
         .lastState = 2,
         .stateAfter = 2,
         .itemStates = {0}},
        {.name = "restore, hidden, no tray",
         .msg = sc,
         .wParam = SC_RESTORE,
         .tray = false,
         .visible = false,
         .itemStates = {0}},
        {.name = "restore, visible",
         .msg = sc,
         .wParam = SC_RESTORE,
         .state = 1,
         .passedOn = true,
         .itemStates = {0}},
        {.name = "restore, hidden, low bits set",
         .msg = sc,
         .wParam = SC_RESTORE | 0x1,
         .visible = false,
         .passedOn = true,
         .visibleAfter = false},
        {.name = "move", .msg = sc, .wParam = SC_MOVE, .passedOn = true},
        {.name = "size", .msg = sc, .wParam = SC_SIZE, .passedOn = true},
        {.name = "maximize", .msg = sc, .wParam = SC_MAXIMIZE, .passedOn = true},

        {.name = "unrelated message", .msg = 0x0F, .passedOn = true},
        {.name = "unrelated message with the callback's values",
         .msg = WM_LBUTTONUP,
         .lParam = qint32(WM_LBUTTONUP),
         .visible = false,
         .passedOn = true,
         .visibleAfter = false},
    };
    for (const HookCase &c : cases)
        QTest::newRow(c.name) << c;
}

void TestTrayMessageHook::dispatch()
{
    QFETCH(HookCase, c);
    Installed w(c.state, c.lastState, c.tray);
    w.form.visible = c.visible;
    const LResult result = w.send(c.msg, c.wParam, c.lParam);

    const Message message{c.msg, c.wParam, c.lParam};
    QCOMPARE(result, c.passedOn ? kDefaultResult : 0);
    QCOMPARE(w.form.defaultHandled, c.passedOn ? QList<Message>{message} : QList<Message>{});
    QCOMPARE(w.form.visible, c.visibleAfter);
    QCOMPARE(w.form.state, c.stateAfter);
    QCOMPARE(w.form.itemStates, c.itemStates);
    QCOMPARE(w.form.focusCalls, c.focusCalls);
    QCOMPARE(w.form.lastStateValue, c.stateAfter == 1 ? c.lastState : c.stateAfter);
    QVERIFY(w.area.calls.isEmpty());
    w.form.deliverPosted();
    QCOMPARE(w.form.defaultHandled.size(), c.passedOn ? 1 : 0);
}

void TestTrayMessageHook::hookIsReachedOnlyThroughTheWindowsProcedure()
{
    Installed w;
    w.form.visible = false;
    // A message for another window does not reach this one's procedure.
    QCOMPARE(w.form.host.sendMessage(kWindow + 1, TRAY_CALLBACK_MESSAGE, 0, qint32(WM_LBUTTONUP)), 0);
    QVERIFY(!w.form.visible);
    w.send(TRAY_CALLBACK_MESSAGE, 0, qint32(WM_LBUTTONUP));
    QVERIFY(w.form.visible);
}

void TestTrayMessageHook::rightClickDismissedPostsOneNull()
{
    Installed w;
    int foregroundAtPopup = -1;
    w.form.onPopup = [&] { foregroundAtPopup = w.form.foregroundCalls; };
    QCOMPARE(w.rightClick(), 0);
    QCOMPARE(foregroundAtPopup, 1);
    QCOMPARE(w.form.poppedUpMenu, kMenu);
    QVERIFY(w.form.defaultHandled.isEmpty()); // posted, not sent
    w.form.deliverPosted();
    QCOMPARE(w.form.defaultHandled, QList<Message>({{WM_NULL, 0, 0}}));
    QVERIFY(w.area.calls.isEmpty());
}

void TestTrayMessageHook::rightClickEndingInClosePostsNothing()
{
    Installed w;
    w.form.onPopup = [&] { w.commands.close(); };
    QCOMPARE(w.rightClick(), 0);
    QVERIFY(w.form.destroyed);
    QVERIFY(!w.module.formReference());
    QCOMPARE(w.area.calls.size(), 1);
    QCOMPARE(w.area.calls.first().message, NIM_DELETE);
    w.form.deliverPosted();
    QCOMPARE(w.form.defaultHandled, QList<Message>({{WM_NCDESTROY, 0, 0}}));
}

void TestTrayMessageHook::rightClickRestoreRunsNested()
{
    Installed w(2, 2);
    w.send(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    QVERIFY(!w.form.visible);
    w.form.itemStates.clear();
    w.form.onPopup = [&] { w.commands.restore(); };
    QCOMPARE(w.rightClick(), 0);
    // Shown maximized as it was hidden, with the items for state 0.
    QVERIFY(w.form.visible);
    QCOMPARE(w.form.state, qint16(2));
    QCOMPARE(w.form.itemStates, QList<qint16>{0});
    QCOMPARE(w.form.items, QStringLiteral("11101"));
    w.form.deliverPosted();
    QCOMPARE(w.form.defaultHandled, QList<Message>({{WM_NULL, 0, 0}}));
}

void TestTrayMessageHook::rightClickMinimize()
{
    Installed w(2, 2);
    w.form.onPopup = [&] { w.commands.minimize(); };
    QCOMPARE(w.rightClick(), 0);
    QCOMPARE(w.form.state, qint16(1));
    QCOMPARE(w.form.lastStateValue, qint16(2));
    QCOMPARE(w.form.items, QStringLiteral("10010"));
    // A left click then brings it back maximized.
    w.send(TRAY_CALLBACK_MESSAGE, 0, qint32(WM_LBUTTONUP));
    QCOMPARE(w.form.state, qint16(2));
}

void TestTrayMessageHook::finalDestroyMessage()
{
    Installed w;
    QCOMPARE(w.send(WM_NCDESTROY, 0, 0), kDefaultResult);
    QCOMPARE(w.form.defaultHandled, QList<Message>({{WM_NCDESTROY, 0, 0}}));
    QVERIFY(!w.module.formReference());
    QCOMPARE(w.module.menuReference(), kMenu);
    QCOMPARE(w.area.calls.size(), 1);
    QCOMPARE(w.area.calls.first().message, NIM_DELETE);
    QCOMPARE(w.area.calls.first().record.hWnd, kWindow);
    QCOMPARE(w.area.calls.first().record.uID, 0u);
}

void TestTrayMessageHook::messagesAfterTheWindowIsGone()
{
    Installed w;
    w.send(WM_NCDESTROY, 0, 0);
    w.form.defaultHandled.clear();
    w.form.visible = false;
    // A click queued before the icon went away finds no window to act on.
    QCOMPARE(w.send(TRAY_CALLBACK_MESSAGE, 0, qint32(WM_LBUTTONUP)), kDefaultResult);
    QCOMPARE(w.rightClick(), kDefaultResult);
    QVERIFY(!w.form.visible);
    QVERIFY(!w.form.poppedUpMenu);
    QCOMPARE(w.form.defaultHandled.size(), 2);
}

QTEST_GUILESS_MAIN(TestTrayMessageHook)
#include "test_tray_message_hook.moc"
