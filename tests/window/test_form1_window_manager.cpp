// The real window under Xvfb with a real window manager (openbox): the window manager's
// minimize hides the window into the tray, keeping its state, or minimizes it where there
// is no tray; restore and maximize from the tray menu act on the real window.

#include "fake_media_player.h"
#include "patience.h"
#include "player/station_catalogue.h"
#include "recording_notification_area.h"
#include "window/form1.h"
#include "window_manager.h"

#include <QAction>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using tarvoni::testing::kPatienceMs;
using namespace tarvoni;
using tarvoni::test::FakeMediaPlayer;
using tarvoni::test::RecordingNotificationArea;
using tarvoni::testing::startWindowManager;

class TestForm1WindowManager : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void windowManagerMinimizeHidesIntoTheTray();
    void windowManagerMinimizeWithoutATray();
    void trayMenuRestoreAndMaximize();

private:
    void minimizeThroughTheWindowManager();

    QProcess m_windowManager;
    RecordingNotificationArea m_area;
    Form1 *m_form = nullptr;
};

void TestForm1WindowManager::initTestCase()
{
    QString error;
    QVERIFY2(startWindowManager(m_windowManager, &error), qPrintable(error));
}

void TestForm1WindowManager::cleanupTestCase()
{
    m_windowManager.terminate();
    if (!m_windowManager.waitForFinished(5000))
        m_windowManager.kill();
}

void TestForm1WindowManager::init()
{
    m_area = RecordingNotificationArea();
    m_form = new Form1(StationCatalogue::builtIn(), new FakeMediaPlayer);
}

void TestForm1WindowManager::cleanup()
{
    delete m_form;
}

void TestForm1WindowManager::minimizeThroughTheWindowManager()
{
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                               {QStringLiteral("windowminimize"), QString::number(m_form->winId())}),
             0);
}

void TestForm1WindowManager::windowManagerMinimizeHidesIntoTheTray()
{
    m_form->load(&m_area);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QCOMPARE(m_form->LastState, qint16(0));
    QVERIFY(!m_form->mnuTrayRestore->isEnabled());

    minimizeThroughTheWindowManager();
    QTRY_VERIFY_WITH_TIMEOUT(m_form->isHidden(), kPatienceMs);
    QTest::qWait(500); // time for a stray map to reach the X server
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(m_form->winId())});
    QVERIFY(xwininfo.waitForFinished());
    QVERIFY(xwininfo.readAllStandardOutput().contains("Map State: IsUnMapped"));
    QCOMPARE(m_form->windowStateValue(), qint16(0)); // hidden with the state it had
    QCOMPARE(m_form->LastState, qint16(0));
    QVERIFY(m_form->mnuTrayRestore->isEnabled());
    QVERIFY(!m_form->mnuTrayMinimize->isEnabled());

    // The tray icon's left click brings it back, shown and usable.
    m_form->windowSystem().sendMessage(m_form->hWnd(), TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONUP);
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QCOMPARE(m_form->windowStateValue(), qint16(0));
    QTest::qWait(300);
    QVERIFY(m_form->isVisible());
}

void TestForm1WindowManager::windowManagerMinimizeWithoutATray()
{
    m_area.available = false;
    m_form->load(&m_area);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));

    minimizeThroughTheWindowManager();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->windowStateValue(), qint16(1), kPatienceMs);
    QVERIFY(!m_form->isHidden());
    QCOMPARE(m_form->LastState, qint16(0));
    QVERIFY(m_form->mnuTrayRestore->isEnabled());
}

void TestForm1WindowManager::trayMenuRestoreAndMaximize()
{
    m_form->load(&m_area);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));

    // Maximize brings a window hidden in the tray by mini back maximized.
    QTest::mouseClick(m_form->mini, Qt::LeftButton);
    QVERIFY(m_form->isHidden());
    m_form->mnuTrayMaximize->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->windowStateValue(), qint16(2), kPatienceMs);
    QVERIFY(m_form->isVisible());
    QTRY_COMPARE(m_form->LastState, qint16(2));
    QTest::qWait(500); // the window manager's own word on the maximize arrives late

    // Restore on the visible, maximized window goes to the window's own handling.
    QVERIFY(m_form->isVisible());
    m_form->mnuTrayRestore->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_form->windowStateValue(), qint16(0), kPatienceMs);
    QTRY_COMPARE(m_form->LastState, qint16(0));
    QVERIFY(!m_form->mnuTrayRestore->isEnabled());
}

QTEST_MAIN(TestForm1WindowManager)
#include "test_form1_window_manager.moc"
