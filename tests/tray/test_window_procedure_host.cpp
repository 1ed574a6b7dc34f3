#include "winapi/window_procedure_host.h"

#include <QCoreApplication>
#include <QList>
#include <QTest>

#include <memory>

using namespace tarvoni;

namespace {

constexpr WindowHandle kWindow = 0x77;

struct Logged {
    QList<quint32> messages;
    WindowProc proc(LResult result)
    {
        return [this, result](WindowHandle, quint32 msg, quint32, qint32) {
            messages.append(msg);
            return result;
        };
    }
};

} // namespace

class TestWindowProcedureHost : public QObject {
    Q_OBJECT
private slots:
    void replacingTheProcedure();
    void sendIsSynchronousAndReentrant();
    void postIsQueued();
    void postAfterTheHostIsGoneIsDropped();
    void otherWindowsAreIgnored();
};

void TestWindowProcedureHost::replacingTheProcedure()
{
    Logged original;
    WindowProcedureHost host(kWindow, original.proc(1), {});
    Logged hook;
    const WindowProc previous = host.setWindowProc(kWindow, hook.proc(2));
    QCOMPARE(host.sendMessage(kWindow, 0x10, 0, 0), 2);
    QCOMPARE(host.callWindowProc(previous, kWindow, 0x11, 0, 0), 1);
    QCOMPARE(hook.messages, QList<quint32>{0x10});
    QCOMPARE(original.messages, QList<quint32>{0x11});
    QCOMPARE(host.callWindowProc(WindowProc(), kWindow, 0x12, 0, 0), 0);
}

void TestWindowProcedureHost::sendIsSynchronousAndReentrant()
{
    WindowProcedureHost host(kWindow, {}, {});
    QList<quint32> order;
    host.setWindowProc(kWindow, [&](WindowHandle hwnd, quint32 msg, quint32, qint32) {
        order.append(msg);
        if (msg == 1) {
            // The procedure replaces itself while running: the running call is unaffected.
            host.setWindowProc(hwnd, [&](WindowHandle, quint32 inner, quint32, qint32) {
                order.append(inner + 100);
                return 0;
            });
            host.sendMessage(hwnd, 2, 0, 0);
            order.append(3);
        }
        return LResult(msg);
    });
    QCOMPARE(host.sendMessage(kWindow, 1, 0, 0), 1);
    QCOMPARE(order, QList<quint32>({1, 102, 3}));
}

void TestWindowProcedureHost::postIsQueued()
{
    Logged window;
    int foreground = 0;
    WindowProcedureHost host(kWindow, window.proc(0), [&] { ++foreground; });
    host.postMessage(kWindow, 0x20, 0, 0);
    host.setForegroundWindow(kWindow);
    QVERIFY(window.messages.isEmpty());
    QCOMPARE(foreground, 1);
    // Delivered through the procedure in force at delivery.
    Logged later;
    host.setWindowProc(kWindow, later.proc(0));
    QCoreApplication::sendPostedEvents();
    QVERIFY(window.messages.isEmpty());
    QCOMPARE(later.messages, QList<quint32>{0x20});
}

void TestWindowProcedureHost::postAfterTheHostIsGoneIsDropped()
{
    Logged window;
    auto host = std::make_unique<WindowProcedureHost>(kWindow, window.proc(0), nullptr);
    host->postMessage(kWindow, 0x21, 0, 0);
    host.reset();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(window.messages.isEmpty());
}

void TestWindowProcedureHost::otherWindowsAreIgnored()
{
    Logged window;
    int foreground = 0;
    WindowProcedureHost host(kWindow, window.proc(5), [&] { ++foreground; });
    QVERIFY(!host.setWindowProc(kWindow + 1, window.proc(6)));
    QCOMPARE(host.sendMessage(kWindow + 1, 0x30, 0, 0), 0);
    host.postMessage(kWindow + 1, 0x31, 0, 0);
    host.setForegroundWindow(kWindow + 1);
    QCoreApplication::sendPostedEvents();
    QVERIFY(window.messages.isEmpty());
    QCOMPARE(foreground, 0);
    QCOMPARE(host.sendMessage(kWindow, 0x32, 0, 0), 5);
}

QTEST_GUILESS_MAIN(TestWindowProcedureHost)
#include "test_window_procedure_host.moc"
