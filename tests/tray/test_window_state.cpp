#include "tray_fakes.h"

#include "tray/window_state.h"

#include <QTest>

using namespace tarvoni;
using namespace tarvoni::test;

class TestWindowState : public QObject {
    Q_OBJECT
private slots:
    void stateFromQt_data();
    void stateFromQt();
    void qtStatesFromState_data();
    void qtStatesFromState();
    void menuItemTable_data();
    void menuItemTable();
    void menuItemTableLeavesItemsAloneForOtherStates();
    void lastStateAtLoad_data();
    void lastStateAtLoad();
    void resizeHandler_data();
    void resizeHandler();
    void miniWhileMaximized();
    void maximizeCommand_data();
    void maximizeCommand();
    void systemCommands_data();
    void systemCommands();
    void closeUnloadsTheWindow();
};

void TestWindowState::stateFromQt_data()
{
    QTest::addColumn<Qt::WindowStates>("qtStates");
    QTest::addColumn<int>("state");
    QTest::newRow("none") << Qt::WindowStates(Qt::WindowNoState) << 0;
    QTest::newRow("active") << Qt::WindowStates(Qt::WindowActive) << 0;
    QTest::newRow("full screen") << Qt::WindowStates(Qt::WindowFullScreen) << 0;
    QTest::newRow("minimized") << Qt::WindowStates(Qt::WindowMinimized) << 1;
    QTest::newRow("maximized") << Qt::WindowStates(Qt::WindowMaximized) << 2;
    QTest::newRow("maximized active") << (Qt::WindowMaximized | Qt::WindowActive) << 2;
    QTest::newRow("minimized over maximized") << (Qt::WindowMinimized | Qt::WindowMaximized) << 1;
    QTest::newRow("minimized over full screen") << (Qt::WindowMinimized | Qt::WindowFullScreen) << 1;
}

void TestWindowState::stateFromQt()
{
    QFETCH(Qt::WindowStates, qtStates);
    QFETCH(int, state);
    QCOMPARE(windowStateFromQt(qtStates), qint16(state));
}

void TestWindowState::qtStatesFromState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<Qt::WindowStates>("current");
    QTest::addColumn<Qt::WindowStates>("expected");
    const Qt::WindowStates none(Qt::WindowNoState);
    QTest::newRow("normal from maximized") << 0 << Qt::WindowStates(Qt::WindowMaximized) << none;
    QTest::newRow("normal from minimized maximized")
        << 0 << (Qt::WindowMinimized | Qt::WindowMaximized) << none;
    QTest::newRow("minimized keeps maximized")
        << 1 << Qt::WindowStates(Qt::WindowMaximized) << (Qt::WindowMinimized | Qt::WindowMaximized);
    QTest::newRow("minimized from normal") << 1 << none << Qt::WindowStates(Qt::WindowMinimized);
    QTest::newRow("maximized from minimized")
        << 2 << Qt::WindowStates(Qt::WindowMinimized) << Qt::WindowStates(Qt::WindowMaximized);
    QTest::newRow("unknown state keeps current")
        << 3 << Qt::WindowStates(Qt::WindowMaximized) << Qt::WindowStates(Qt::WindowMaximized);
}

void TestWindowState::qtStatesFromState()
{
    QFETCH(int, state);
    QFETCH(Qt::WindowStates, current);
    QFETCH(Qt::WindowStates, expected);
    const Qt::WindowStates result = qtWindowStates(qint16(state), current);
    QCOMPARE(result, expected);
    if (state >= 0 && state <= 2)
        QCOMPARE(windowStateFromQt(result), qint16(state));
}

void TestWindowState::menuItemTable_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("pattern"); // Maximize, Minimize, Move, Restore, Size
    QTest::newRow("normal") << 0 << "11101";
    QTest::newRow("minimized") << 1 << "10010";
    QTest::newRow("maximized") << 2 << "01010";
}

void TestWindowState::menuItemTable()
{
    QFETCH(int, state);
    QFETCH(QString, pattern);
    const std::optional<TrayMenuItemsEnabled> enabled = trayMenuItemsFor(qint16(state));
    QVERIFY(enabled);
    QCOMPARE(itemsPattern(*enabled), pattern);
}

void TestWindowState::menuItemTableLeavesItemsAloneForOtherStates()
{
    for (qint16 state : {qint16(-1), qint16(3), qint16(0x7fff), qint16(-0x8000)})
        QVERIFY2(!trayMenuItemsFor(state), qPrintable(QString::number(state)));
}

void TestWindowState::lastStateAtLoad_data()
{
    QTest::addColumn<int>("loadedIn");
    QTest::addColumn<int>("lastState");
    QTest::newRow("normal") << 0 << 0;
    QTest::newRow("minimized") << 1 << 0;
    QTest::newRow("maximized") << 2 << 2;
}

void TestWindowState::lastStateAtLoad()
{
    QFETCH(int, loadedIn);
    QFETCH(int, lastState);
    QCOMPARE(initialLastState(qint16(loadedIn)), qint16(lastState));
}

void TestWindowState::resizeHandler_data()
{
    QTest::addColumn<int>("lastStateBefore");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("lastStateAfter");
    QTest::newRow("first showing, normal") << 0 << 0 << 0;
    QTest::newRow("maximized") << 0 << 2 << 2;
    QTest::newRow("back to normal") << 2 << 0 << 0;
    QTest::newRow("minimized from maximized") << 2 << 1 << 2;
    QTest::newRow("minimized from normal") << 0 << 1 << 0;
}

void TestWindowState::resizeHandler()
{
    QFETCH(int, lastStateBefore);
    QFETCH(int, state);
    QFETCH(int, lastStateAfter);
    QCOMPARE(lastStateAfterResize(qint16(state), qint16(lastStateBefore)), qint16(lastStateAfter));
}

void TestWindowState::miniWhileMaximized()
{
    FakeForm form(2);
    TrayMenuCommands commands(form, form.host);
    commands.minimize();
    QCOMPARE(form.state, qint16(1));
    QCOMPARE(form.lastStateValue, qint16(2));
    QCOMPARE(form.items, QStringLiteral("10010"));
    QVERIFY(form.defaultHandled.isEmpty()); // a state change, not a system command
}

void TestWindowState::maximizeCommand_data()
{
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("state");
    QTest::newRow("hidden in the tray, normal") << false << 0;
    QTest::newRow("hidden in the tray, maximized") << false << 2;
    QTest::newRow("visible, normal") << true << 0;
    QTest::newRow("visible, minimized") << true << 1;
}

void TestWindowState::maximizeCommand()
{
    QFETCH(bool, visible);
    QFETCH(int, state);
    FakeForm form{qint16(state)};
    form.visible = visible;
    TrayMenuCommands commands(form, form.host);
    commands.maximize();
    QCOMPARE(form.state, qint16(2));
    QVERIFY(form.visible);
    QCOMPARE(form.showCalls, visible ? 0 : 1);
    QCOMPARE(form.lastStateValue, qint16(2));
}

void TestWindowState::systemCommands_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<quint32>("wParam");
    QTest::newRow("restore") << 0 << SC_RESTORE;
    QTest::newRow("move") << 1 << SC_MOVE;
    QTest::newRow("size") << 2 << SC_SIZE;
}

void TestWindowState::systemCommands()
{
    QFETCH(int, command);
    QFETCH(quint32, wParam);
    FakeForm form;
    // Whatever procedure is in force sees the command first, synchronously.
    QList<Message> seen;
    const WindowProc previous = form.host.setWindowProc(
        kWindow, [&](WindowHandle hwnd, quint32 msg, quint32 w, qint32 l) {
            seen.append({msg, w, l});
            return form.host.callWindowProc(previous, hwnd, msg, w, l);
        });
    TrayMenuCommands commands(form, form.host);
    const QList<void (TrayMenuCommands::*)()> handlers{&TrayMenuCommands::restore, &TrayMenuCommands::move,
                                                       &TrayMenuCommands::size};
    (commands.*handlers[command])();
    const Message expected{WM_SYSCOMMAND, wParam, 0};
    QCOMPARE(seen, QList<Message>{expected});
    QCOMPARE(form.defaultHandled, QList<Message>{expected});
}

void TestWindowState::closeUnloadsTheWindow()
{
    FakeForm form;
    TrayMenuCommands commands(form, form.host);
    commands.close();
    QVERIFY(form.destroyed);
    QCOMPARE(form.defaultHandled, QList<Message>({{WM_NCDESTROY, 0, 0}}));
}

QTEST_GUILESS_MAIN(TestWindowState)
#include "test_window_state.moc"
