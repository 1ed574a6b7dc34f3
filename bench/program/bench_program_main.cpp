// The whole program for the program benchmark: every station's host and the ad server come
// from the command line, so that each kind of station can point at its own loopback server,
// and sound goes to the desktop's sound server as in the installed program.
//
//   bench_tarvoni_program ad=<host> [<key>=<host> ...]    ("*" sets every key not named)
//
// Once the window is shown it prints "shown" and then, for the driver's clicks, the centre of
// every station button and of the stop button in window coordinates: "button <name> <x> <y>";
// after that, what the status line shows: "status: <text>".

#include "app/application.h"
#include "player/media_player.h"
#include "player/station_catalogue.h"
#include "window/form1.h"
#include "window/station_button.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

void printCentre(const char *name, const QWidget *widget)
{
    const QPoint centre = widget->geometry().center();
    std::printf("button %s %d %d\n", name, centre.x(), centre.y());
}

} // namespace

int main(int argc, char *argv[])
{
    tarvoni::ProgramSetup setup;
    QString everyHost;
    std::map<QString, QString> named;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const qsizetype equals = arg.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = arg.left(equals);
        const QString host = arg.mid(equals + 1);
        if (key == QLatin1String("ad"))
            setup.hosts.adServer = host;
        else if (key == QLatin1String("*"))
            everyHost = host;
        else
            named[key] = host;
    }
    for (auto &[key, host] : setup.hosts.hostByKey)
        host = named.count(key) ? named[key] : everyHost;
    setup.shown = [](tarvoni::Form1 &form) {
        std::printf("shown\n");
        for (const tarvoni::StationRow &row : tarvoni::StationCatalogue::rows()) {
            const QString name = QString::fromUtf8(row.controlName.data(), qsizetype(row.controlName.size()));
            printCentre(row.controlName.data(), form.stationButton(name));
        }
        printCentre("stop", form.stop);
        std::fflush(stdout);
        // What the status line says, for the driver to show when a station stays silent.
        QObject::connect(form.wm, &tarvoni::MediaPlayer::statusChanged, &form, [&form] {
            QTimer::singleShot(0, &form, [&form] {
                std::printf("status: %s\n", form.lblkb->text().toUtf8().constData());
                std::fflush(stdout);
            });
        });
    };
    return tarvoni::runApplication(argc, argv, setup);
}
