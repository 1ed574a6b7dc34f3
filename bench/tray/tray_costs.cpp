// What the tray costs on the window's hot paths: a message passed through the tray message
// hook compared with the window's procedure alone, and one tray-availability check (made on
// every minimize) on whatever desktop this runs under.
//
//   tray_costs [iterations]
// Run under a display, e.g. xvfb-run -a build-x/bench/tray/tray_costs, once with no tray,
// once with trayer running and once with a StatusNotifierItem host on the session bus.

#include "tray/api_stuff.h"
#include "tray/tray_form.h"
#include "tray_qt/qt_notification_area.h"
#include "winapi/window_procedure_host.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace tarvoni;

namespace {

constexpr WindowHandle kWindow = 1;

class IdleForm final : public TrayForm {
public:
    WindowHandle hWnd() const override { return kWindow; }
    IconHandle iconHandle() const override { return 0; }
    qint16 windowState() const override { return 0; }
    void setWindowState(qint16) override {}
    bool isVisible() const override { return true; }
    void show() override {}
    void hide() override {}
    void setFocus() override {}
    void popupMenu(QMenu *) override {}
    qint16 lastState() const override { return 0; }
    void setTrayMenuItems(qint16) override {}
    void unload() override {}
};

class NoArea final : public NotificationArea {
public:
    bool notifyIcon(quint32, const TrayIconRecord &) override { return true; }
    bool isAvailable() const override { return true; }
};

double nanosecondsPerMessage(WindowProcedureHost &host, int iterations)
{
    QElapsedTimer timer;
    timer.start();
    LResult sum = 0;
    for (int i = 0; i < iterations; ++i)
        sum += host.sendMessage(kWindow, 0x0F, quint32(i), 0);
    const double ns = double(timer.nsecsElapsed()) / iterations;
    return sum == -1 ? 0 : ns;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int iterations = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;

    WindowProcedureHost host(kWindow, [](WindowHandle, quint32, quint32 w, qint32) { return LResult(w & 1); },
                             {});
    const double plain = nanosecondsPerMessage(host, iterations);
    IdleForm form;
    NoArea area;
    APIStuff module(area, host);
    module.installTrayIcon(form, nullptr);
    const double hooked = nanosecondsPerMessage(host, iterations);
    std::printf("message through the window procedure: %.1f ns; through the tray hook: %.1f ns\n", plain,
                hooked);

    QtNotificationArea qtArea(QIcon(), nullptr, host);
    QElapsedTimer timer;
    timer.start();
    const bool first = qtArea.isAvailable();
    const double firstMs = double(timer.nsecsElapsed()) / 1e6;
    constexpr int checks = 50;
    timer.restart();
    for (int i = 0; i < checks; ++i)
        qtArea.isAvailable();
    std::printf("tray available: %s; first check %.2f ms, later checks %.3f ms each\n", first ? "yes" : "no",
                firstMs, double(timer.nsecsElapsed()) / 1e6 / checks);
    return 0;
}
