#include "application.h"

#include "ads/ad_panes.h"
#include "ads/first_paint_watcher.h"
#include "desktop/desktop_services.h"
#include "platform_choice.h"
#include "player/station_catalogue.h"
#include "stream/stream_relay.h"
#include "tray_qt/qt_notification_area.h"
#include "vlc/create_media_player.h"
#include "window/design_fonts.h"
#include "window/form1.h"
#include "window/startup_trace.h"
#include "window/station_button.h"
#include "window_media_controls.h"

#include <QApplication>
#include <QDBusConnection>
#include <QLoggingCategory>

#include <malloc.h>
#include <optional>
#include <thread>

namespace tarvoni {

namespace {
// What the program as a whole has to say: "tarvoni.app".
Q_LOGGING_CATEGORY(lcApp, "tarvoni.app")
} // namespace

int runApplication(int argc, char *argv[], const ProgramSetup &setup)
{
    startupTrace("started");
#ifdef M_ARENA_MAX
    // The media engine's threads come and go with every station; left to itself, the C library
    // gives each a heap of its own, up to sixteen, which half an hour of switching fills.
    mallopt(M_ARENA_MAX, 2);
#endif
    // Everything this process adds to its environment is added before its first thread starts:
    // adding a variable may move the environment's table while another thread reads it.
    choosePlatform(argc, argv);
    prepareAdPanes();
    // Read while the application starts up.
    DesignFonts::prepare();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvoni Radio Player"));
    QApplication::setApplicationVersion(QStringLiteral("3.01"));
    QApplication::setOrganizationName(QStringLiteral("Tarvoni Software"));
    QApplication::setDesktopFileName(QStringLiteral("com.tarvoniradio.TarvoniRadioPlayer"));
    // The window hidden in the tray is no reason to end; the window's unloading is.
    QApplication::setQuitOnLastWindowClosed(false);

    startupTrace("application made");
    // The session bus is connected while the window is made: accessibility, the tray and the
    // media controls all use it, and connecting waits on the bus.
    std::thread busConnection([] { QDBusConnection::sessionBus(); });
    const StationCatalogue catalogue(setup.hosts);
    // Made after the window but destroyed after it too: the window's last message, however it
    // goes, removes the icon from the tray area.
    std::optional<QtNotificationArea> tray;
    // Every stream passes through the relay; stopped, its threads joined, when the program ends.
    const auto relay = std::make_shared<stream::StreamRelay>();
    Form1 form(catalogue, createMediaPlayer(nullptr, setup.engineArgs, {}, relay).release());
    startupTrace("window made");
    busConnection.join();
    QApplication::setWindowIcon(form.windowIcon());
    QtNotificationArea &trayArea = tray.emplace(form.windowIcon(), form.mnuTray, form.windowSystem());
    QObject::connect(&form, &Form1::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);

    form.load(&trayArea);
    startupTrace("loaded");
    form.show();
    startupTrace("shown");
    form.stationButton(QStringLiteral("asura"))->setFocus();
    // Asked once the window is on screen: Qt's answer opens a bus connection of its own, and
    // the answer only decides this warning.
    new FirstPaintWatcher(&form, [&trayArea] {
        if (!trayArea.isAvailable())
            qCWarning(lcApp, "Tarvoni Radio Player: no system tray found; the window minimizes normally.");
    });
    WindowMediaControls mediaControls(form);
    const DesktopServices desktop(mediaControls, DesktopServices::installedLogoDirectory());
    startAdPanes(&form, QUrl(QStringLiteral("http://") + setup.hosts.adServer));
    if (setup.shown)
        setup.shown(form);
    return app.exec();
}

} // namespace tarvoni
