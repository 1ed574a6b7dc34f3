// The main window's tray on a StatusNotifierItem host over a private D-Bus session, under Xvfb.

#include "status_notifier_client.h"
#include "tray_host_window.h"

#include "patience.h"
#include "tray/api_stuff.h"

#include <QAction>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <memory>

#include <signal.h>

using tarvoni::testing::kPatienceMs;
using namespace tarvoni;
using namespace tarvoni::test;

namespace {

const QString kWatcher = kStatusNotifierWatcher;
const QString kItem = kStatusNotifierItem;

struct MenuNode {
    int id = 0;
    QVariantMap properties;
    QList<MenuNode> children;
};

MenuNode readMenuNode(const QDBusArgument &argument)
{
    MenuNode node;
    argument.beginStructure();
    argument >> node.id >> node.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        node.children.append(readMenuNode(child.variant().value<QDBusArgument>()));
    }
    argument.endArray();
    argument.endStructure();
    return node;
}

} // namespace

class TestTrayStatusNotifier : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void iconIsRegisteredWithItsTip();
    void hostDrawnMenuIsTheTrayMenu();
    void activateShowsTheWindow();
    void contextMenuOpensTheTrayMenu();
    void minimizeDoesNotWaitOnAHungHost();
    void closeFromTheHostDrawnMenu();

private:
    void callItem(const QString &method);

    QProcess m_host;
    std::unique_ptr<TrayHostWindow> m_window;
    Form1 *m_form = nullptr;
    QString m_service;
    QString m_path;
};

void TestTrayStatusNotifier::initTestCase()
{
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    m_host.setProcessChannelMode(QProcess::ForwardedChannels);
    m_host.start(QStringLiteral(TARVONI_STATUS_NOTIFIER_WATCHER), {});
    QVERIFY(m_host.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(kWatcher).value(),
                             kPatienceMs);
    // No XEmbed tray runs here: whatever Qt reports comes from the D-Bus host.
    QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());
}

void TestTrayStatusNotifier::cleanupTestCase()
{
    m_host.terminate();
    if (!m_host.waitForFinished(5000))
        m_host.kill();
}

void TestTrayStatusNotifier::init()
{
    m_window = std::make_unique<TrayHostWindow>();
    m_form = &m_window->form();
    QVERIFY(m_window->area().isAvailable());
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QTRY_COMPARE_WITH_TIMEOUT(registeredItems().size(), 1, kPatienceMs);
    const QString item = registeredItems().first();
    const qsizetype slash = item.indexOf(u'/');
    m_service = item.left(slash);
    m_path = item.mid(slash);
}

void TestTrayStatusNotifier::cleanup()
{
    m_window.reset();
    m_form = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(registeredItems().isEmpty(), kPatienceMs);
}

void TestTrayStatusNotifier::callItem(const QString &method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, m_path, kItem, method);
    call << 10 << 10;
    const QDBusMessage reply = callAndWait(call);
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
}

void TestTrayStatusNotifier::iconIsRegisteredWithItsTip()
{
    QTRY_COMPARE(toolTipTitle(m_service, m_path), QStringLiteral("Tarvoni Radio Player"));

    const QString tip = QStringLiteral("Sinhala Commercial Service - Tarvoni Radio Player");
    m_form->trayModule()->setTrayTip(tip);
    QTRY_COMPARE(toolTipTitle(m_service, m_path), tip);
    QString tooLong;
    for (int i = 0; i < 70; ++i)
        tooLong += QChar(u'A' + i % 26);
    m_form->trayModule()->setTrayTip(tooLong);
    QTRY_COMPARE(toolTipTitle(m_service, m_path), tooLong.left(63));
    m_form->trayModule()->setTrayTip(QStringLiteral("Tarvoni Radio Player"));
    QTRY_COMPARE(toolTipTitle(m_service, m_path), QStringLiteral("Tarvoni Radio Player"));
}

void TestTrayStatusNotifier::hostDrawnMenuIsTheTrayMenu()
{
    const QVariant menuPath = busProperty(m_service, m_path, kItem, QStringLiteral("Menu"));
    const QString path = menuPath.value<QDBusObjectPath>().path();
    QVERIFY2(!path.isEmpty() && path != QLatin1String("/"), qPrintable(path));

    QDBusMessage call = QDBusMessage::createMethodCall(
        m_service, path, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
    call << 0 << -1 << QStringList();
    const QDBusMessage reply = callAndWait(call);
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(reply.arguments().size(), 2);
    const MenuNode root = readMenuNode(reply.arguments().at(1).value<QDBusArgument>());
    QStringList shown;
    for (const MenuNode &child : root.children) {
        if (!child.properties.value(QStringLiteral("visible"), true).toBool())
            continue;
        shown << (child.properties.value(QStringLiteral("type")).toString() == QLatin1String("separator")
                      ? QStringLiteral("-")
                      : child.properties.value(QStringLiteral("label")).toString());
    }
    // The host shows access keys with "_" where the menu has "&".
    QCOMPARE(shown,
             QStringList({QStringLiteral("_Restore"), QStringLiteral("Mi_nimize"), QStringLiteral("-"),
                          QStringLiteral("_Close")}));
}

void TestTrayStatusNotifier::activateShowsTheWindow()
{
    m_form->mini->click();
    QTRY_VERIFY(!m_form->isVisible());
    QCOMPARE(m_form->windowStateValue(), qint16(0));
    callItem(QStringLiteral("Activate"));
    QTRY_VERIFY_WITH_TIMEOUT(m_form->isVisible(), kPatienceMs);
    QCOMPARE(m_form->windowStateValue(), qint16(0));
}

void TestTrayStatusNotifier::contextMenuOpensTheTrayMenu()
{
    const int nullsBefore = m_window->handledCount(WM_NULL);
    bool menuSeen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (menuSeen || QApplication::activePopupWidget() != m_form->mnuTray)
            return;
        menuSeen = true;
        QTest::keyClick(m_form->mnuTray, Qt::Key_Escape);
    });
    poll.start(50);
    callItem(QStringLiteral("ContextMenu"));
    QTRY_VERIFY_WITH_TIMEOUT(menuSeen, kPatienceMs);
    QTRY_COMPARE(m_window->handledCount(WM_NULL), nullsBefore + 1);
    QVERIFY(!QApplication::activePopupWidget());
}

void TestTrayStatusNotifier::minimizeDoesNotWaitOnAHungHost()
{
    QTRY_VERIFY(m_window->area().hostRegistered());
    QVERIFY(m_form->isVisible());

    // A host that takes the bus name and never answers again.
    QVERIFY(::kill(pid_t(m_host.processId()), SIGSTOP) == 0);
    const auto resume = qScopeGuard([this] { ::kill(pid_t(m_host.processId()), SIGCONT); });
    QElapsedTimer clock;
    clock.start();
    m_form->mini->click();
    // A call that waited on the host would take the bus's 25 s.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY(!m_form->isVisible());
    QCOMPARE(m_form->windowStateValue(), qint16(0));
    m_form->mnuTrayRestore->trigger();
    QTRY_VERIFY(m_form->isVisible());
}

void TestTrayStatusNotifier::closeFromTheHostDrawnMenu()
{
    const QString path =
        busProperty(m_service, m_path, kItem, QStringLiteral("Menu")).value<QDBusObjectPath>().path();
    QDBusMessage layoutCall = QDBusMessage::createMethodCall(
        m_service, path, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
    layoutCall << 0 << -1 << QStringList();
    const MenuNode root = readMenuNode(callAndWait(layoutCall).arguments().at(1).value<QDBusArgument>());
    int closeId = -1;
    for (const MenuNode &child : root.children) {
        if (child.properties.value(QStringLiteral("label")) == QLatin1String("_Close"))
            closeId = child.id;
    }
    QVERIFY(closeId >= 0);

    QDBusMessage click = QDBusMessage::createMethodCall(
        m_service, path, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"));
    click << closeId << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
    callAndWait(click);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isUnloaded(), kPatienceMs);
    QCOMPARE(m_window->handledCount(WM_NCDESTROY), 1);
    QVERIFY(!m_form->trayModule()->formReference());
    QTRY_VERIFY_WITH_TIMEOUT(registeredItems().isEmpty(), kPatienceMs);
}

int main(int argc, char **argv)
{
    reexecOnPrivateBus(argc, argv);
    QApplication app(argc, argv);
    TestTrayStatusNotifier test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_tray_status_notifier.moc"
