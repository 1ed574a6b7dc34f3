// How long a media-control client waits for the running program: the round trip of one
// Properties.Get (PlaybackStatus, Metadata) and of one GetAll on the player interface.
//
//   mpris_round_trip [iterations]
// Run on a private bus and display: dbus-run-session -- xvfb-run -a build/bench/desktop/mpris_round_trip

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.TarvoniRadioPlayer");

void measure(const char *what, const QDBusMessage &call, int iterations)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    std::vector<double> micros;
    for (int i = 0; i < iterations; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QDBusMessage reply = bus.call(call);
        micros.push_back(timer.nsecsElapsed() / 1000.0);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::printf("%s: %s\n", what, qPrintable(reply.errorMessage()));
            return;
        }
    }
    std::sort(micros.begin(), micros.end());
    std::printf("%-24s median %7.1f us   p95 %7.1f us   max %7.1f us   (%d calls)\n", what,
                micros[micros.size() / 2], micros[micros.size() * 95 / 100], micros.back(), iterations);
}

QDBusMessage get(const QString &property)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/mpris/MediaPlayer2"),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << QStringLiteral("org.mpris.MediaPlayer2.Player") << property;
    return call;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(10, atoi(argv[1])) : 2000;
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TARVONI_LOOPBACK_PLAYER), {QStringLiteral("9")});
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    for (int i = 0; i < 200 && !(bus && bus->isServiceRegistered(kService).value()); ++i)
        QThread::msleep(100);
    if (!bus || !bus->isServiceRegistered(kService).value()) {
        std::printf("the program did not come up on the session bus\n");
        return 1;
    }
    QThread::msleep(1000); // let the start-up settle

    // Something to describe: the first station, selected as a client would.
    QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/mpris/MediaPlayer2"), QStringLiteral("org.mpris.MediaPlayer2.Player"),
        QStringLiteral("Next")));
    measure("Get PlaybackStatus", get(QStringLiteral("PlaybackStatus")), iterations);
    measure("Get Metadata", get(QStringLiteral("Metadata")), iterations);
    QDBusMessage all = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/mpris/MediaPlayer2"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("GetAll"));
    all << QStringLiteral("org.mpris.MediaPlayer2.Player");
    measure("GetAll Player", all, iterations);
    program.kill();
    program.waitForFinished();
    return 0;
}
