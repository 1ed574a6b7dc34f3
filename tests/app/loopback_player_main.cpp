// The whole program, pointed at loopback servers: every station streams from
// 127.0.0.1:<stream port> and the ad panes load from 127.0.0.1:<ad port>. It reports what the
// window shows on stdout, one line each, for the end-to-end test: "shown", "window <X11 id>",
// "status: <lblkb>" and, whenever it changes, "view: station=<lblstation> play=<shown|hidden>
// hint=<shown|hidden> volume=<volval> window=<shown|hidden>".
// With --broken-engine the media engine refuses to start.

#include "app/application.h"
#include "player/media_player.h"
#include "window/form1.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

void report(const QString &line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <stream port> [ad port] [--broken-engine]\n", argv[0]);
        return 2;
    }
    const QString streamHost = QStringLiteral("127.0.0.1:") + QString::fromLatin1(argv[1]);
    tarvoni::ProgramSetup setup;
    for (auto &[key, host] : setup.hosts.hostByKey)
        host = streamHost;
    setup.hosts.adServer = QStringLiteral("127.0.0.1:") + QString::fromLatin1(argc > 2 ? argv[2] : "9");
    setup.engineArgs = {QStringLiteral("--aout=adummy")};
    if (argc > 3 && QByteArray(argv[3]) == "--broken-engine")
        setup.engineArgs << QStringLiteral("--no-such-engine-option"); // libVLC refuses to start
    setup.shown = [](tarvoni::Form1 &form) {
        report(QStringLiteral("shown"));
        report(QStringLiteral("window %1").arg(form.winId()));
        auto *viewTimer = new QTimer(&form);
        QObject::connect(viewTimer, &QTimer::timeout, &form, [&form, last = QString()]() mutable {
            auto shown = [](const QWidget *widget) {
                return widget->isHidden() ? QStringLiteral("hidden") : QStringLiteral("shown");
            };
            const QString view = QStringLiteral("view: station=%1 play=%2 hint=%3 volume=%4 window=%5")
                                     .arg(form.lblstation->text(), shown(form.play), shown(form.info1),
                                          form.volval->text(), shown(&form));
            if (view != last)
                report(last = view);
        });
        viewTimer->start(50);
        QObject::connect(form.wm, &tarvoni::MediaPlayer::statusChanged, &form, [&form] {
            // After the window's own handler has put the status into the status line.
            QTimer::singleShot(0, &form,
                               [&form] { report(QStringLiteral("status: ") + form.lblkb->text()); });
        });
    };
    return tarvoni::runApplication(argc, argv, setup);
}
