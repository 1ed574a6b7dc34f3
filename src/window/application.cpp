#include "application.h"

#include "ads/ad_panes.h"
#include "form1.h"
#include "station_button.h"
#include "player/station_catalogue.h"
#include "player/vlc/create_media_player.h"
#include "tray/qt_notification_area.h"

#include <QApplication>

namespace tarvoni {

int runApplication(int argc, char *argv[])
{
    prepareAdPanes();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvoni Radio Player"));
    QApplication::setApplicationVersion(QStringLiteral("3.01"));
    QApplication::setDesktopFileName(QStringLiteral("com.tarvoniradio.TarvoniRadioPlayer"));
    QApplication::setQuitOnLastWindowClosed(false);

    Form1 form(StationCatalogue::builtIn(), createMediaPlayer().release());
    QApplication::setWindowIcon(form.windowIcon());
    QtNotificationArea trayArea(form.windowIcon(), form.mnuTray, form.windowSystem());
    QObject::connect(&form, &Form1::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);

    form.load(&trayArea);
    form.show();
    form.stationButton(QStringLiteral("asura"))->setFocus();
    startAdPanes(&form, QUrl(QStringLiteral("http://") + StreamHosts::builtIn().adServer));
    return app.exec();
}

} // namespace tarvoni
