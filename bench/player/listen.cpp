// Plays one address through the media player for a while and prints each status text as it
// comes, stamped with the seconds since the address was set: for trying a station by hand.
//
//   bench_player_listen <address> [seconds]   (default 30; the sound goes nowhere unless
//                                               TARVONI_LISTEN_AOUT names an output, e.g. pulse)
#include "vlc/create_media_player.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

using namespace tarvoni;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <address> [seconds]\n", argv[0]);
        return 2;
    }
    const QString output = qEnvironmentVariable("TARVONI_LISTEN_AOUT", QStringLiteral("adummy"));
    const std::unique_ptr<MediaPlayer> player = createMediaPlayer(nullptr,
                                                                  {QStringLiteral("--aout=") + output});
    QElapsedTimer clock;
    QObject::connect(player.get(), &MediaPlayer::statusChanged, &app, [&] {
        std::printf("%7.2f  %s\n", double(clock.elapsed()) / 1000, qPrintable(player->status()));
        std::fflush(stdout);
    });
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    clock.start();
    player->setUrl(QString::fromLocal8Bit(argv[1]));
    player->play();
    return app.exec();
}
