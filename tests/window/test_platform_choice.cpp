#include "window/platform_choice.h"

#include <QTest>

using namespace tarvoni;

class TestPlatformChoice : public QObject {
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
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
    QTest::newRow("Wayland session with XWayland") << QByteArray() << QByteArray("wayland")
                                                   << QByteArray("wayland-0") << QByteArray(":0") << none
                                                   << QByteArray("xcb");
    QTest::newRow("Wayland display without a session type")
        << QByteArray() << QByteArray() << QByteArray("wayland-0") << QByteArray(":1") << none
        << QByteArray("xcb");
    QTest::newRow("Wayland session type, the display's name not passed on")
        << QByteArray() << QByteArray("wayland") << QByteArray() << QByteArray(":0") << none
        << QByteArray("xcb");
    QTest::newRow("Wayland without XWayland") << QByteArray() << QByteArray("wayland")
                                              << QByteArray("wayland-0") << QByteArray() << none
                                              << QByteArray();
    QTest::newRow("user chose wayland") << QByteArray("wayland") << QByteArray("wayland")
                                        << QByteArray("wayland-0") << QByteArray(":0") << none
                                        << QByteArray();
    QTest::newRow("user chose offscreen") << QByteArray("offscreen") << QByteArray("wayland")
                                          << QByteArray("wayland-0") << QByteArray(":0") << none
                                          << QByteArray();
    QTest::newRow("-platform on the command line")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << QByteArrayList{"-platform", "wayland"} << QByteArray();
    QTest::newRow("--platform on the command line")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << QByteArrayList{"--platform", "wayland"} << QByteArray();
    QTest::newRow("other arguments") << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0")
                                     << QByteArray(":0") << QByteArrayList{"-style", "fusion", "wayland"}
                                     << QByteArray("xcb");
    QTest::newRow("no display at all") << QByteArray() << QByteArray("tty") << QByteArray() << QByteArray()
                                       << none << QByteArray();
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

QTEST_APPLESS_MAIN(TestPlatformChoice)
#include "test_platform_choice.moc"
