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
        : form(state), module(area, form.host), commands(form, form.host)
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

} // namespace

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
    QTest::addColumn<quint32>("msg");
    QTest::addColumn<quint32>("wParam");
    QTest::addColumn<qint32>("lParam");
    QTest::addColumn<bool>("tray");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("lastState");
    // What the call leaves behind.
    QTest::addColumn<bool>("passedOn"); // reached the window's own handling, with its result
    QTest::addColumn<bool>("visibleAfter");
    QTest::addColumn<int>("stateAfter");
    QTest::addColumn<QList<qint16>>("itemStates"); // setTrayMenuItems calls, in order
    QTest::addColumn<int>("focusCalls");

    const quint32 cb = TRAY_CALLBACK_MESSAGE;
    const quint32 sc = WM_SYSCOMMAND;
    const QList<qint16> none;
    auto row = [](const char *name) { return &QTest::newRow(name); };

    // Left button released over the icon.
    *row("left up, shown normal") << cb << 0u << qint32(WM_LBUTTONUP) << true << true << 0 << 0
                                  << false << true << 0 << none << 1;
    *row("left up, shown maximized") << cb << 0u << qint32(WM_LBUTTONUP) << true << true << 2 << 2
                                     << false << true << 2 << none << 1;
    *row("left up, hidden maximized") << cb << 0u << qint32(WM_LBUTTONUP) << true << false << 2
                                      << 2 << false << true << 2 << none << 1;
    *row("left up, minimized from maximized")
        << cb << 0u << qint32(WM_LBUTTONUP) << true << true << 1 << 2 << false << true << 2
        << QList<qint16>{2} << 1;
    *row("left up, minimized from normal") << cb << 0u << qint32(WM_LBUTTONUP) << true << true << 1
                                           << 0 << false << true << 0 << QList<qint16>{0} << 1;
    *row("left up, icon id not looked at") << cb << 7u << qint32(WM_LBUTTONUP) << true << false
                                           << 0 << 0 << false << true << 0 << none << 1;
    // Every other tray notification goes on unchanged.
    for (const auto &[name, mouse] :
         {std::pair{"left down", WM_LBUTTONDOWN}, std::pair{"left double click", WM_LBUTTONDBLCLK},
          std::pair{"right down", WM_RBUTTONDOWN}, std::pair{"mouse move", WM_MOUSEMOVE},
          std::pair{"middle up", WM_MBUTTONUP}, std::pair{"right up in wParam", 0u}})
        *row(name) << cb << (mouse ? 0u : WM_RBUTTONUP) << qint32(mouse) << true << false << 0
                   << 0 << true << false << 0 << none << 0;

    // Minimize: hidden to the tray, state kept.
    *row("minimize, normal") << sc << SC_MINIMIZE << 0 << true << true << 0 << 0 << false << false
                             << 0 << QList<qint16>{1} << 0;
    *row("minimize, maximized") << sc << SC_MINIMIZE << 0 << true << true << 2 << 2 << false
                                << false << 2 << QList<qint16>{1} << 0;
    *row("minimize, low bits set") << sc << (SC_MINIMIZE | 0x2) << 0 << true << true << 0 << 0
                                   << true << true << 0 << none << 0;
    *row("minimize, all low bits set") << sc << (SC_MINIMIZE | 0xF) << 0 << true << true << 0 << 0
                                       << true << true << 0 << none << 0;
    // With no tray to come back from, the window minimizes as usual.
    *row("minimize, no tray") << sc << SC_MINIMIZE << 0 << false << true << 0 << 0 << true << true
                              << 1 << QList<qint16>{1} << 0;

    // Restore: only a hidden window is the hook's business.
    *row("restore, hidden normal") << sc << SC_RESTORE << 0 << true << false << 0 << 0 << false
                                   << true << 0 << QList<qint16>{0} << 0;
    *row("restore, hidden maximized") << sc << SC_RESTORE << 0 << true << false << 2 << 2 << false
                                      << true << 2 << QList<qint16>{0} << 0;
    *row("restore, hidden, no tray") << sc << SC_RESTORE << 0 << false << false << 0 << 0 << false
                                     << true << 0 << QList<qint16>{0} << 0;
    *row("restore, visible") << sc << SC_RESTORE << 0 << true << true << 1 << 0 << true << true
                             << 0 << QList<qint16>{0} << 0;
    *row("restore, hidden, low bits set") << sc << (SC_RESTORE | 0x1) << 0 << true << false << 0
                                          << 0 << true << false << 0 << none << 0;
    for (const auto &[name, command] : {std::pair{"move", SC_MOVE}, std::pair{"size", SC_SIZE},
                                        std::pair{"maximize", SC_MAXIMIZE}})
        *row(name) << sc << command << 0 << true << true << 0 << 0 << true << true << 0 << none
                   << 0;

    *row("unrelated message") << 0x0Fu << 0u << 0 << true << true << 0 << 0 << true << true << 0
                              << none << 0;
    *row("unrelated message with the callback's values") << WM_LBUTTONUP << 0u
                                                         << qint32(WM_LBUTTONUP) << true << false
                                                         << 0 << 0 << true << false << 0 << none
                                                         << 0;
}

void TestTrayMessageHook::dispatch()
{
    QFETCH(quint32, msg);
    QFETCH(quint32, wParam);
    QFETCH(qint32, lParam);
    QFETCH(bool, tray);
    QFETCH(bool, visible);
    QFETCH(int, state);
    QFETCH(int, lastState);
    QFETCH(bool, passedOn);
    QFETCH(bool, visibleAfter);
    QFETCH(int, stateAfter);
    QFETCH(QList<qint16>, itemStates);
    QFETCH(int, focusCalls);

    Installed w(qint16(state), qint16(lastState), tray);
    w.form.visible = visible;
    const LResult result = w.send(msg, wParam, lParam);

    const Message message{msg, wParam, lParam};
    QCOMPARE(result, passedOn ? kDefaultResult : 0);
    QCOMPARE(w.form.defaultHandled, passedOn ? QList<Message>{message} : QList<Message>{});
    QCOMPARE(w.form.visible, visibleAfter);
    QCOMPARE(w.form.state, qint16(stateAfter));
    QCOMPARE(w.form.itemStates, itemStates);
    QCOMPARE(w.form.focusCalls, focusCalls);
    QCOMPARE(w.form.lastStateValue, qint16(stateAfter == 1 ? lastState : stateAfter));
    QVERIFY(w.area.calls.isEmpty());
    w.form.deliverPosted();
    QCOMPARE(w.form.defaultHandled.size(), passedOn ? 1 : 0);
}

void TestTrayMessageHook::hookIsReachedOnlyThroughTheWindowsProcedure()
{
    Installed w;
    w.form.visible = false;
    // A message for another window does not reach this one's procedure.
    QCOMPARE(w.form.host.sendMessage(kWindow + 1, TRAY_CALLBACK_MESSAGE, 0, qint32(WM_LBUTTONUP)),
             0);
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
    QCOMPARE(w.form.items.pattern(), QStringLiteral("11101"));
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
    QCOMPARE(w.form.items.pattern(), QStringLiteral("10010"));
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
