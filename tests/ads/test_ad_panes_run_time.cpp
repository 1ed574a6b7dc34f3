// The ad panes as the program meets them: this test is not linked with the web engine, so the
// panes must bring it in themselves, and only once the window has been drawn.

#include "ads/ad_panes.h"
#include "loopback_http_server.h"

#include <QApplication>
#include <QFile>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <unistd.h>

using namespace tarvoni;

namespace {

// The settings of Qt and its web engine in the environment (Qt Test and the engine add
// variables of their own).
QStringList engineEnvironment()
{
    QStringList environment = QProcessEnvironment::systemEnvironment().toStringList();
    environment = environment.filter(QRegularExpression("^(QT_|QTWEBENGINE_)"));
    environment.removeAll(QStringLiteral("QT_QTESTLIB_RUNNING=1"));
    environment.sort();
    return environment;
}

// As it was before the panes were prepared.
QStringList &originalEngineEnvironment()
{
    static QStringList environment;
    return environment;
}

bool webEngineLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

// The pane shows its page when the engine's view inside it is visible.
bool showsPage(const QWidget *pane)
{
    const auto children = pane->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    return !children.isEmpty() && children.first()->isVisible();
}

} // namespace

class TestAdPanesRunTime : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void panesTakeTheirPlaces_data();
    void panesTakeTheirPlaces();
    void engineComesOnlyAfterTheWindowIsDrawn_data();
    void engineComesOnlyAfterTheWindowIsDrawn();

private:
    std::unique_ptr<LoopbackHttpServer> m_server;
    std::unique_ptr<QWidget> m_window;
    QList<QPushButton *> m_buttons;
};

void TestAdPanesRunTime::init()
{
    m_server = std::make_unique<LoopbackHttpServer>();
    const QByteArray page = "<html><body style='margin:0;background:#fc0'>ad</body></html>";
    m_server->setPage("/3-1/1.php", {200, page});
    m_server->setPage("/3-1/2.php", {200, page});
    QVERIFY(m_server->start());

    // Two ordinary controls around the panes, for the tab order.
    m_window = std::make_unique<QWidget>();
    m_window->resize(637, 581);
    m_buttons = {new QPushButton(QStringLiteral("before"), m_window.get())};
    m_buttons.first()->setGeometry(10, 10, 80, 24);
    m_buttons << new QPushButton(QStringLiteral("after"), m_window.get());
    m_buttons.last()->setGeometry(10, 400, 80, 24);
}

void TestAdPanesRunTime::cleanup()
{
    m_window.reset();
    m_server.reset();
}

void TestAdPanesRunTime::panesTakeTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("Scriptlet1") << "Scriptlet1" << QRect(360, 152, 201, 121);
    QTest::newRow("Scriptlet2") << "Scriptlet2" << QRect(560, 152, 57, 121);
}

void TestAdPanesRunTime::panesTakeTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    startAdPanes(m_window.get(), m_server->baseUrl());
    auto *pane = m_window->findChild<QWidget *>(name);
    QVERIFY(pane);
    QCOMPARE(pane->geometry(), geometry);
    QCOMPARE(pane->focusPolicy(), Qt::NoFocus);
    QVERIFY(!pane->isHidden());
    // The column the two panes share belongs to Scriptlet1.
    QCOMPARE(m_window->childAt(560, 200)->objectName(), QStringLiteral("Scriptlet1"));
}

void TestAdPanesRunTime::engineComesOnlyAfterTheWindowIsDrawn_data()
{
    QTest::addColumn<bool>("startedBeforeShowing");
    QTest::newRow("panes started before the window is shown") << true;
    QTest::newRow("panes started right after show()") << false;
}

void TestAdPanesRunTime::engineComesOnlyAfterTheWindowIsDrawn()
{
    QFETCH(bool, startedBeforeShowing);
    // Notes whether the panes had web views already when the window was first painted (the
    // engine itself stays loaded once a test has loaded it).
    struct FirstPaint : QObject {
        int paints = 0;
        bool viewsAtFirstPaint = false;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && paints++ == 0) {
                for (QWidget *pane : watched->findChildren<QWidget *>(QRegularExpression("^Scriptlet")))
                    viewsAtFirstPaint |= !pane->findChildren<QWidget *>().isEmpty();
            }
            return false;
        }
    } firstPaint;
    m_window->installEventFilter(&firstPaint);
    // The engine puts settings of its own into the environment as it starts, with other threads
    // running; the table they are in must not move under those threads.
    char **const environmentTable = environ;

    if (startedBeforeShowing) {
        startAdPanes(m_window.get(), m_server->baseUrl());
        QTest::qWait(300);
        QVERIFY(!webEngineLoaded());
    }
    m_window->show();
    if (!startedBeforeShowing)
        startAdPanes(m_window.get(), m_server->baseUrl());
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(firstPaint.paints > 0);
    QVERIFY(!firstPaint.viewsAtFirstPaint);

    auto *first = m_window->findChild<QWidget *>(QStringLiteral("Scriptlet1"));
    auto *second = m_window->findChild<QWidget *>(QStringLiteral("Scriptlet2"));
    QTRY_VERIFY_WITH_TIMEOUT(showsPage(first) && showsPage(second), 30000);
    QVERIFY(webEngineLoaded());
    QVERIFY(environ == environmentTable);
    // What the engine was started with does not reach programs started from here, such as
    // the web browser.
    QCOMPARE(engineEnvironment(), originalEngineEnvironment());

    // Tab goes round the window's own controls and never into a pane.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_buttons.first()->setFocus();
    for (int i = 0; i < 6; ++i) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
        focus = QApplication::focusWidget();
        QVERIFY(focus);
        QVERIFY2(!first->isAncestorOf(focus) && !second->isAncestorOf(focus),
                 focus->metaObject()->className());
    }
}

int main(int argc, char *argv[])
{
    originalEngineEnvironment() = engineEnvironment();
    prepareAdPanes();
    QApplication app(argc, argv);
    TestAdPanesRunTime test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_ad_panes_run_time.moc"
