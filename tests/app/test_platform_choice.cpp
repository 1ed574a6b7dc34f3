#include "app/platform_choice.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <cstdio>

using namespace tarvoni;

class TestPlatformChoice : public QObject {
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
    void choiceTakenAndNotPassedOn();
};

void TestPlatformChoice::choice_data()
{
    QTest::addColumn<QByteArray>("qpaPlatform");
    QTest::addColumn<QByteArray>("sessionType");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("x11Display");
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<QByteArray>("chosen");

    const QByteArrayList none;
    QTest::newRow("X11 session") << QByteArray() << QByteArray("x11") << QByteArray() << QByteArray(":0")
                                 << none << QByteArray();
    QTest::newRow("Wayland session with XWayland")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0") << none
        << QByteArray("xcb");
    QTest::newRow("Wayland display without a session type")
        << QByteArray() << QByteArray() << QByteArray("wayland-0") << QByteArray(":1") << none
        << QByteArray("xcb");
    QTest::newRow("Wayland session type, the display's name not passed on")
        << QByteArray() << QByteArray("wayland") << QByteArray() << QByteArray(":0") << none
        << QByteArray("xcb");
    QTest::newRow("Wayland without XWayland")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray() << none
        << QByteArray();
    QTest::newRow("user chose wayland")
        << QByteArray("wayland") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << none << QByteArray();
    QTest::newRow("-platform on the command line")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << QByteArrayList{"-platform", "wayland"} << QByteArray();
    QTest::newRow("--platform on the command line")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << QByteArrayList{"--platform", "wayland"} << QByteArray();
    QTest::newRow("other arguments") << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0")
                                     << QByteArray(":0") << QByteArrayList{"-style", "fusion", "wayland"}
                                     << QByteArray("xcb");
    QTest::newRow("no display at all")
        << QByteArray() << QByteArray("tty") << QByteArray() << QByteArray() << none << QByteArray();
}

void TestPlatformChoice::choice()
{
    QFETCH(QByteArray, qpaPlatform);
    QFETCH(QByteArray, sessionType);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, x11Display);
    QFETCH(QByteArrayList, arguments);
    QFETCH(QByteArray, chosen);

    std::vector<const char *> argv{"tarvoni-radio-player"};
    for (const QByteArray &argument : arguments)
        argv.push_back(argument.constData());
    const PlatformEnvironment environment{qpaPlatform, sessionType, waylandDisplay, x11Display};
    QCOMPARE(chosenPlatform(environment, int(argv.size()), argv.data()), chosen);
}

// A program started on a Wayland session with XWayland: it comes up on xcb, and the programs it
// starts find no platform chosen for them.
void TestPlatformChoice::choiceTakenAndNotPassedOn()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("tarvoni-test-no-compositor"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start-application")});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(child.readAllStandardOutput().trimmed(),
             QByteArray("chosen 'xcb', running on xcb, passed on ''"));
}

int main(int argc, char **argv)
{
    if (argc == 2 && qstrcmp(argv[1], "--start-application") == 0) {
        choosePlatform(argc, argv);
        const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
        QGuiApplication app(argc, argv);
        std::printf("chosen '%s', running on %s, passed on '%s'\n", chosen.constData(),
                    qPrintable(QGuiApplication::platformName()), qgetenv("QT_QPA_PLATFORM").constData());
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestPlatformChoice test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_platform_choice.moc"
