#include "application.h"

#include "ads/ad_panes.h"
#include "desktop/desktop_services.h"
#include "platform_choice.h"
#include "player/station_catalogue.h"
#include "tray_qt/qt_notification_area.h"
#include "vlc/create_media_player.h"
#include "window/form1.h"
#include "window/station_button.h"
#include "window_media_controls.h"

#include <QApplication>
#include <QLoggingCategory>

#include <optional>

namespace tarvoni {

namespace {
// What the program as a whole has to say: "tarvoni.app".
Q_LOGGING_CATEGORY(lcApp, "tarvoni.app")
} // namespace

int runApplication(int argc, char *argv[], const ProgramSetup &setup)
{
    choosePlatform(argc, argv);
    prepareAdPanes();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvoni Radio Player"));
    QApplication::setApplicationVersion(QStringLiteral("3.01"));
    QApplication::setOrganizationName(QStringLiteral("Tarvoni Software"));
    QApplication::setDesktopFileName(QStringLiteral("com.tarvoniradio.TarvoniRadioPlayer"));
    // The window hidden in the tray is no reason to end; the window's unloading is.
    QApplication::setQuitOnLastWindowClosed(false);

    const StationCatalogue catalogue(setup.hosts);
    // Made after the window but destroyed after it too: the window's last message, however it
    // goes, removes the icon from the tray area.
    std::optional<QtNotificationArea> tray;
    Form1 form(catalogue, createMediaPlayer(nullptr, setup.engineArgs).release());
    QApplication::setWindowIcon(form.windowIcon());
    QtNotificationArea &trayArea = tray.emplace(form.windowIcon(), form.mnuTray, form.windowSystem());
    if (!trayArea.isAvailable())
        qCWarning(lcApp, "Tarvoni Radio Player: no system tray found; the window minimizes normally.");
    QObject::connect(&form, &Form1::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);

    form.load(&trayArea);
    form.show();
    form.stationButton(QStringLiteral("asura"))->setFocus();
    WindowMediaControls mediaControls(form);
    const DesktopServices desktop(mediaControls, DesktopServices::installedLogoDirectory());
    startAdPanes(&form, QUrl(QStringLiteral("http://") + setup.hosts.adServer));
    if (setup.shown)
        setup.shown(form);
    return app.exec();
}

} // namespace tarvoni
