// The real program as a screen reader meets it: on its own session bus and accessibility bus
// (AT-SPI), read the way Orca reads it. Every control's name and role; the design's focus
// order; Space on a focused station plays it and the new status is said; the volume bar's keys
// and wheel go the way the bar points, its arrows as before; play and stop, which share one
// place, hand the focus to each other.
//
// One program serves the whole file, in the order of the test functions: the first ones look
// at the window as it opens.

#include "loopback_servers.h"
#include "patience.h"
#include "player/station_catalogue.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <atspi/atspi.h>
#include <memory>

using tarvoni::StationCatalogue;
using tarvoni::testing::kPatienceMs;
using tarvoni::testing::LoopbackRadio;

namespace {

const QString kTitle = QStringLiteral("Tarvoni Radio Player - www.tarvoniradio.com");
const char kBusLauncher[] = "/usr/libexec/at-spi-bus-launcher";

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using Accessible = std::unique_ptr<AtspiAccessible, Unref>;

QString taken(gchar *text)
{
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

QString nameOf(AtspiAccessible *object)
{
    return taken(atspi_accessible_get_name(object, nullptr));
}

QString roleOf(AtspiAccessible *object)
{
    return taken(atspi_accessible_get_role_name(object, nullptr));
}

bool hasState(AtspiAccessible *object, AtspiStateType state)
{
    AtspiStateSet *states = atspi_accessible_get_state_set(object);
    const bool result = atspi_state_set_contains(states, state);
    g_object_unref(states);
    return result;
}

std::vector<Accessible> childrenOf(AtspiAccessible *object)
{
    std::vector<Accessible> children;
    const int count = atspi_accessible_get_child_count(object, nullptr);
    for (int i = 0; i < count; ++i)
        children.emplace_back(atspi_accessible_get_child_at_index(object, i, nullptr));
    return children;
}

// The first object `object` stands in the relation `type` to, or null.
Accessible related(AtspiAccessible *object, AtspiRelationType type)
{
    Accessible target;
    GArray *relations = atspi_accessible_get_relation_set(object, nullptr);
    for (guint i = 0; relations && i < relations->len; ++i) {
        AtspiRelation *relation = g_array_index(relations, AtspiRelation *, i);
        if (!target && atspi_relation_get_relation_type(relation) == type)
            target.reset(atspi_relation_get_target(relation, 0));
        g_object_unref(relation);
    }
    if (relations)
        g_array_free(relations, true);
    return target;
}

QRect onScreen(AtspiAccessible *object)
{
    AtspiRect *rect = atspi_component_get_extents(atspi_accessible_get_component_iface(object),
                                                  ATSPI_COORD_TYPE_SCREEN, nullptr);
    const QRect result(rect->x, rect->y, rect->width, rect->height);
    g_free(rect);
    return result;
}

bool xdotool(const QStringList &args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void namesAndRoles_data();
    void namesAndRoles();
    void captionsNameTheirValues_data();
    void captionsNameTheirValues();
    void focusOrderOfTheDesign();
    void volumeKeysWheelAndArrows_data();
    void volumeKeysWheelAndArrows();
    void spaceOnAStationPlaysItAndTheStatusIsSaid();
    void playAndStopHandTheFocusToEachOther();

private:
    bool startBuses();
    bool startProgram();
    AtspiAccessible *child(const QString &role, const QString &name) const;
    QRect placeInWindow(AtspiAccessible *control) const;
    QString focused() const;
    bool activateWindow();
    bool focusAndPress(AtspiAccessible *control, const QString &key);

    QProcess m_sessionBus;
    QProcess m_busLauncher;
    QProcess m_program;
    LoopbackRadio m_radio;
    Accessible m_window;
    std::vector<Accessible> m_controls; // the window's children
    QString m_windowId;
    AtspiEventListener *m_listener = nullptr;
    QStringList m_events; // "<event type> <role> <name>", the name as it was read then
};

// A private session bus, and on it the accessibility bus with its registry, as a desktop
// session starts them for a screen reader.
bool TestAccessibility::startBuses()
{
    if (!QFile::exists(QLatin1String(kBusLauncher))) {
        qWarning("%s is missing: install at-spi2-core", kBusLauncher);
        return false;
    }
    m_sessionBus.start(
        QStringLiteral("dbus-daemon"),
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!m_sessionBus.waitForReadyRead(10000))
        return false;
    const QByteArray address = m_sessionBus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    m_busLauncher.start(QLatin1String(kBusLauncher), {QStringLiteral("--launch-immediately")});
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(address),
                                                        QStringLiteral("session"));
    return QTest::qWaitFor(
               [&bus] {
                   return bus.interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus")).value();
               },
               10000)
        && atspi_init() == 0;
}

// Starts the program on the loopback radio, with its accessibility on as a screen reader
// turns it on, and finds its window on the accessibility bus.
bool TestAccessibility::startProgram()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    m_program.setProcessEnvironment(env);
    m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_program.start(QStringLiteral(TARVONI_LOOPBACK_PLAYER), {QString::number(m_radio.port())});
    QByteArray out;
    if (!QTest::qWaitFor([&] { return (out += m_program.readAll()).contains("\nwindow "); }, 20000))
        return false;
    m_windowId = QString::fromLatin1(out.mid(out.indexOf("\nwindow ") + 8).split('\n').first());

    return QTest::qWaitFor(
        [this] {
            Accessible desktop(atspi_get_desktop(0));
            for (Accessible &application : childrenOf(desktop.get())) {
                for (Accessible &window : childrenOf(application.get())) {
                    if (nameOf(window.get()) == kTitle) {
                        // Read afresh each time, as the program changes, not from the cache.
                        atspi_accessible_set_cache_mask(application.get(), ATSPI_CACHE_NONE);
                        m_window = std::move(window);
                        m_controls = childrenOf(m_window.get());
                        return true;
                    }
                }
            }
            return false;
        },
        20000);
}

void TestAccessibility::initTestCase()
{
    QVERIFY2(startBuses(), "no accessibility bus");
    QString error;
    QVERIFY2(m_radio.start(&error), qPrintable(error));
    QVERIFY2(startProgram(), "the program's window did not come up on the accessibility bus");

    m_listener = atspi_event_listener_new(
        [](AtspiEvent *event, void *events) {
            static_cast<QStringList *>(events)->append(
                QStringLiteral("%1 %2 %3")
                    .arg(QString::fromUtf8(event->type), roleOf(event->source), nameOf(event->source)));
            g_boxed_free(ATSPI_TYPE_EVENT, event);
        },
        &m_events, nullptr);
    for (const char *type : {"object:property-change:accessible-name", "object:state-changed:showing"})
        QVERIFY(atspi_event_listener_register(m_listener, type, nullptr));
}

void TestAccessibility::cleanupTestCase()
{
    if (m_listener)
        g_object_unref(m_listener);
    m_controls.clear();
    m_window.reset();
    for (QProcess *process : {&m_program, &m_busLauncher, &m_sessionBus}) {
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
    }
}

AtspiAccessible *TestAccessibility::child(const QString &role, const QString &name) const
{
    for (const Accessible &control : m_controls) {
        if (roleOf(control.get()) == role && nameOf(control.get()) == name)
            return control.get();
    }
    return nullptr;
}

// Qt 6.4 gives the size wrong in window coordinates, so the place is taken from the screen.
QRect TestAccessibility::placeInWindow(AtspiAccessible *control) const
{
    return onScreen(control).translated(-onScreen(m_window.get()).topLeft());
}

// The name of the control with the keyboard focus.
QString TestAccessibility::focused() const
{
    for (const Accessible &control : m_controls) {
        if (hasState(control.get(), ATSPI_STATE_FOCUSED))
            return nameOf(control.get());
    }
    return {};
}

// Gives the window the keyboard, as a window manager does when it is activated.
bool TestAccessibility::activateWindow()
{
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_windowId});
}

// Moves the focus to `control` as a screen reader does, and presses `key` on the keyboard.
bool TestAccessibility::focusAndPress(AtspiAccessible *control, const QString &key)
{
    return control && activateWindow()
        && atspi_component_grab_focus(atspi_accessible_get_component_iface(control), nullptr)
        && QTest::qWaitFor([&] { return hasState(control, ATSPI_STATE_FOCUSED); }, 5000)
        && xdotool({QStringLiteral("key"), key});
}

void TestAccessibility::namesAndRoles_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("tabStop");
    QTest::addColumn<QRect>("place"); // in the window

    const auto row = [](const char *tag, const char *role, const char *name, const char *description,
                        bool tabStop, QRect place) {
        QTest::newRow(tag) << role << name << description << tabStop << place;
    };
    row("logo banner", "image", "Tarvoni Radio Player", "", false, {0, 8, 255, 80});
    row("information panel: decoration", "filler", "", "", false, {344, 8, 293, 125});
    row("play", "push button", "Start Playing", "Start Playing", true, {488, 96, 33, 25});
    // Covered by play until a station plays: not a tab stop until then.
    row("stop", "push button", "Stop Playing", "Stop Playing", false, {488, 96, 33, 25});
    row("mini", "push button", "Minimize", "Minimize to system tray", true, {520, 96, 65, 25});
    row("exit", "push button", "Exit", "Exit", true, {584, 96, 33, 25});
    row("volume bar", "scroll bar", "Volume", "", true, {368, 96, 113, 17});
    row("ad pane 1", "panel", "Advertisement", "", false, {360, 152, 201, 121});
    row("ad pane 2", "panel", "Advertisement", "", false, {560, 152, 57, 121});
    for (const tarvoni::Station &station : StationCatalogue::builtIn().stations())
        QTest::addRow("%s", qPrintable(station.controlName))
            << "push button" << station.caption << "" << true << QRect();
}

void TestAccessibility::namesAndRoles()
{
    QFETCH(QString, role);
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(bool, tabStop);
    QFETCH(QRect, place);

    QCOMPARE(roleOf(m_window.get()), QStringLiteral("frame"));
    const auto matches = [&](const Accessible &control) {
        return roleOf(control.get()) == role && nameOf(control.get()) == name
            && (place.isNull() || placeInWindow(control.get()) == place);
    };
    const auto found = std::find_if(m_controls.begin(), m_controls.end(), matches);
    QVERIFY2(found != m_controls.end(), "no such control");
    QVERIFY(std::find_if(std::next(found), m_controls.end(), matches) == m_controls.end());
    QCOMPARE(taken(atspi_accessible_get_description(found->get(), nullptr)), description);
    QCOMPARE(hasState(found->get(), ATSPI_STATE_FOCUSABLE), tabStop);
}

void TestAccessibility::captionsNameTheirValues_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("place");   // of the label it names
    QTest::addColumn<QString>("role");  // of that label
    QTest::addColumn<QString>("value"); // its name at start: its text, never the caption
    QTest::newRow("now playing") << "Station:" << QRect(416, 24, 201, 17) << "label" << QString();
    QTest::newRow("status") << "Status:" << QRect(416, 40, 201, 41) << "status bar" << QString();
    QTest::newRow("volume read-out") << "Volume" << QRect(432, 112, 33, 17) << "label"
                                     << "25%";
}

void TestAccessibility::captionsNameTheirValues()
{
    QFETCH(QString, caption);
    QFETCH(QRect, place);
    QFETCH(QString, role);
    QFETCH(QString, value);
    AtspiAccessible *label = child(QStringLiteral("label"), caption);
    QVERIFY(label);
    const Accessible named = related(label, ATSPI_RELATION_LABEL_FOR);
    QVERIFY(named);
    QCOMPARE(placeInWindow(named.get()), place);
    QCOMPARE(roleOf(named.get()), role);
    QCOMPARE(nameOf(named.get()), value);
    const Accessible namedBy = related(named.get(), ATSPI_RELATION_LABELLED_BY);
    QVERIFY(namedBy);
    QCOMPARE(nameOf(namedBy.get()), caption);
}

void TestAccessibility::focusOrderOfTheDesign()
{
    QStringList order;
    for (const tarvoni::Station &station : StationCatalogue::builtIn().stations())
        order << station.caption;
    // Stop, covered by play, is left out until play hides.
    order += {"Volume", "Start Playing", "Minimize", "Exit", order.first()};

    QVERIFY(activateWindow());
    QTRY_COMPARE(focused(), order.first());
    for (qsizetype i = 1; i < order.size(); ++i) {
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Tab")}));
        QTRY_COMPARE(focused(), order[i]);
    }
}

void TestAccessibility::volumeKeysWheelAndArrows_data()
{
    QTest::addColumn<QString>("input"); // a key, "wheel up/down", or "click" at a fraction of the bar
    QTest::addColumn<int>("volume");    // from 25
    QTest::newRow("Right") << "Right" << 26;
    QTest::newRow("Up") << "Up" << 26;
    QTest::newRow("Page Up") << "Prior" << 26;
    QTest::newRow("End") << "End" << 100;
    QTest::newRow("Left") << "Left" << 24;
    QTest::newRow("Down") << "Down" << 24;
    QTest::newRow("Page Down") << "Next" << 24;
    QTest::newRow("Home") << "Home" << 0;
    QTest::newRow("wheel up") << "wheel up" << 26;
    QTest::newRow("wheel down") << "wheel down" << 24;
    QTest::newRow("right arrow") << "click 0.96" << 26;
    QTest::newRow("left arrow") << "click 0.04" << 24;
    QTest::newRow("track right of the thumb") << "click 0.8" << 26;
    QTest::newRow("track left of the thumb") << "click 0.2" << 24;
}

void TestAccessibility::volumeKeysWheelAndArrows()
{
    QFETCH(QString, input);
    QFETCH(int, volume);
    AtspiAccessible *bar = child(QStringLiteral("scroll bar"), QStringLiteral("Volume"));
    QVERIFY(bar);
    AtspiValue *value = atspi_accessible_get_value_iface(bar);
    // The value is a percentage of the bar.
    QCOMPARE(atspi_value_get_minimum_value(value, nullptr), 0.0);
    QCOMPARE(atspi_value_get_maximum_value(value, nullptr), 100.0);
    QVERIFY(atspi_value_set_current_value(value, 25, nullptr));
    QTRY_COMPARE(atspi_value_get_current_value(value, nullptr), 25.0);

    const QRect place = onScreen(bar);
    const auto pointAt = [&](double fraction) {
        return QStringList{QStringLiteral("mousemove"),
                           QString::number(place.x() + int(fraction * place.width())),
                           QString::number(place.center().y())};
    };
    if (input.startsWith(QLatin1String("click "))) {
        QVERIFY(xdotool(pointAt(input.mid(6).toDouble()) << QStringLiteral("click") << QStringLiteral("1")));
    } else if (input.startsWith(QLatin1String("wheel "))) {
        const QString button = input.endsWith(QLatin1String("up")) ? QStringLiteral("4")
                                                                   : QStringLiteral("5");
        QVERIFY(xdotool(pointAt(0.5) << QStringLiteral("click") << button));
    } else {
        QVERIFY(focusAndPress(bar, input));
    }
    QTRY_COMPARE(atspi_value_get_current_value(value, nullptr), double(volume));
    // The read-out follows.
    const Accessible readOut = related(child(QStringLiteral("label"), QStringLiteral("Volume")),
                                       ATSPI_RELATION_LABEL_FOR);
    QTRY_COMPARE(nameOf(readOut.get()), QStringLiteral("%1%").arg(volume));
    g_object_unref(value);
}

void TestAccessibility::spaceOnAStationPlaysItAndTheStatusIsSaid()
{
    // DJ / Remix plays from the loopback radio.
    const tarvoni::Station &station = StationCatalogue::builtIn().stations().back();
    m_events.clear();
    QVERIFY(focusAndPress(child(QStringLiteral("push button"), station.caption), QStringLiteral("space")));

    const Accessible nowPlaying = related(child(QStringLiteral("label"), QStringLiteral("Station:")),
                                          ATSPI_RELATION_LABEL_FOR);
    const Accessible status = related(child(QStringLiteral("label"), QStringLiteral("Status:")),
                                      ATSPI_RELATION_LABEL_FOR);
    QTRY_COMPARE(nameOf(nowPlaying.get()), station.nowPlaying);
    QTRY_VERIFY_WITH_TIMEOUT(nameOf(status.get()).startsWith(QLatin1String("Playing")), kPatienceMs);
    QVERIFY(!hasState(child(QStringLiteral("push button"), QStringLiteral("Start Playing")),
                      ATSPI_STATE_SHOWING));

    // The labels tell of their new texts; the status is said as a notification that appears,
    // which a screen reader speaks wherever the focus is.
    QTRY_VERIFY(m_events.contains(QStringLiteral("object:property-change:accessible-name label ")
                                  + station.nowPlaying));
    QTRY_VERIFY(m_events.contains(QStringLiteral("object:property-change:accessible-name status bar ")
                                  + nameOf(status.get())));
    const QString said = QStringLiteral("object:state-changed:showing notification Playing");
    QTRY_VERIFY(std::any_of(m_events.cbegin(), m_events.cend(),
                            [&said](const QString &event) { return event.startsWith(said); }));
    QCOMPARE(focused(), station.caption);
}

// Play and stop share one place: pressing one puts the other there, and the focus with it, so
// it is never left on a covered button nor carried on to Minimize.
void TestAccessibility::playAndStopHandTheFocusToEachOther()
{
    AtspiAccessible *play = child(QStringLiteral("push button"), QStringLiteral("Start Playing"));
    AtspiAccessible *stop = child(QStringLiteral("push button"), QStringLiteral("Stop Playing"));
    QVERIFY(play && stop);
    QVERIFY(hasState(stop, ATSPI_STATE_FOCUSABLE));

    QVERIFY(focusAndPress(stop, QStringLiteral("space")));
    QTRY_VERIFY(hasState(play, ATSPI_STATE_SHOWING));
    QTRY_COMPARE(focused(), QStringLiteral("Start Playing"));
    QVERIFY(!hasState(stop, ATSPI_STATE_FOCUSABLE));

    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("space")}));
    QTRY_VERIFY(!hasState(play, ATSPI_STATE_SHOWING));
    QTRY_COMPARE(focused(), QStringLiteral("Stop Playing"));
    QVERIFY(!hasState(play, ATSPI_STATE_FOCUSABLE));
    // The window is still there: the second press did not reach Minimize.
    QVERIFY(hasState(m_window.get(), ATSPI_STATE_SHOWING));
}

QTEST_GUILESS_MAIN(TestAccessibility)
#include "test_accessibility.moc"
