// The main window's tray on an XEmbed system tray (trayer) under Xvfb, clicked with xdotool.

#include "tray_host_window.h"

#include "patience.h"
#include "tray/api_stuff.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <memory>

using tarvoni::testing::kPatienceMs;
using namespace tarvoni;
using namespace tarvoni::test;

namespace {

void xdotool(const QStringList &arguments)
{
    QProcess::execute(QStringLiteral("xdotool"), arguments);
}

// The X window Qt embeds into the tray for the icon.
QWidget *embeddedIcon()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys") && widget->isVisible())
            return widget;
    }
    return nullptr;
}

// The window the tray host has reparented the icon into (0 while it is not embedded).
QString parentWindowOf(WId window)
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"),
                   {QStringLiteral("-tree"), QStringLiteral("-id"), QString::number(window)});
    xwininfo.waitForFinished();
    const QString output = QString::fromLocal8Bit(xwininfo.readAllStandardOutput());
    for (const QString &line : output.split(u'\n')) {
        if (line.contains(QLatin1String("Parent window id:")))
            return line.section(u':', 1).trimmed().section(u' ', 0, 0);
    }
    return {};
}

QString rootWindow()
{
    QProcess xdo;
    xdo.start(
        QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--maxdepth"), QStringLiteral("0"), QStringLiteral("")});
    xdo.waitForFinished();
    return QString::fromLocal8Bit(xdo.readAllStandardOutput()).trimmed();
}

void clickIcon(int button)
{
    QWidget *icon = embeddedIcon();
    QVERIFY(icon);
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(icon->winId()),
             QStringLiteral("8"), QStringLiteral("8")});
    xdotool({QStringLiteral("click"), QString::number(button)});
}

} // namespace

class TestTrayXEmbed : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void iconIsEmbeddedInTheTray();
    void miniHidesToTheTray();
    void leftClickShowsTheWindow();
    void rightClickOpensTheMenu();
    void closeFromTheMenuRemovesTheIcon();

private:
    // Maximized, then hidden into the tray by mini.
    void hideMaximizedIntoTheTray();

    QProcess m_tray;
    std::unique_ptr<TrayHostWindow> m_window;
    Form1 *m_form = nullptr;
};

void TestTrayXEmbed::initTestCase()
{
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    m_tray.start(QStringLiteral("trayer"),
                 {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                  QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                  QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--heighttype"),
                  QStringLiteral("pixel"), QStringLiteral("--height"), QStringLiteral("32")});
    QVERIFY2(m_tray.waitForStarted(), "trayer could not be started");
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), kPatienceMs);
}

void TestTrayXEmbed::cleanupTestCase()
{
    m_tray.terminate();
    if (!m_tray.waitForFinished(5000))
        m_tray.kill();
}

void TestTrayXEmbed::init()
{
    m_window = std::make_unique<TrayHostWindow>();
    m_form = &m_window->form();
    QVERIFY(m_window->area().isAvailable());
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestTrayXEmbed::cleanup()
{
    m_window.reset();
    m_form = nullptr;
    QTRY_VERIFY(!embeddedIcon());
}

void TestTrayXEmbed::hideMaximizedIntoTheTray()
{
    m_form->setWindowState(Qt::WindowMaximized);
    QTRY_COMPARE(m_form->windowStateValue(), qint16(2));
    m_form->mini->click();
    QTRY_VERIFY(m_form->isHidden());
}

void TestTrayXEmbed::iconIsEmbeddedInTheTray()
{
    QTRY_VERIFY_WITH_TIMEOUT(embeddedIcon(), kPatienceMs);
    const WId icon = embeddedIcon()->winId();
    QTRY_VERIFY_WITH_TIMEOUT(!parentWindowOf(icon).isEmpty() && parentWindowOf(icon) != rootWindow(),
                             kPatienceMs);
    QCOMPARE(m_window->area().trayIcon()->toolTip(), QStringLiteral("Tarvoni Radio Player"));
}

void TestTrayXEmbed::miniHidesToTheTray()
{
    hideMaximizedIntoTheTray();
    QVERIFY(!m_form->isVisible());
    QCOMPARE(m_form->windowStateValue(), qint16(2));
    QCOMPARE(m_form->LastState, qint16(2));
    QVERIFY(m_form->mnuTrayRestore->isEnabled());
    QVERIFY(!m_form->mnuTrayMinimize->isEnabled());
    QCOMPARE(m_window->handledCount(WM_SYSCOMMAND), 0);
}

void TestTrayXEmbed::leftClickShowsTheWindow()
{
    QTRY_VERIFY_WITH_TIMEOUT(embeddedIcon(), kPatienceMs);
    hideMaximizedIntoTheTray();
    QVERIFY(!m_form->isVisible());
    clickIcon(1);
    QTRY_VERIFY_WITH_TIMEOUT(m_form->isVisible(), kPatienceMs);
    QCOMPARE(m_form->windowStateValue(), qint16(2));
    m_form->setWindowState(Qt::WindowNoState);
    QTRY_COMPARE(m_form->windowStateValue(), qint16(0));
}

void TestTrayXEmbed::rightClickOpensTheMenu()
{
    QTRY_VERIFY_WITH_TIMEOUT(embeddedIcon(), kPatienceMs);
    const int nullsBefore = m_window->handledCount(WM_NULL);
    bool menuSeen = false;
    QStringList shown;
    QTimer poll;
    // The menu runs its own event loop inside the hook; it is answered from in there.
    connect(&poll, &QTimer::timeout, this, [&] {
        if (menuSeen || QApplication::activePopupWidget() != m_form->mnuTray)
            return;
        menuSeen = true;
        for (QAction *action : m_form->mnuTray->actions()) {
            if (action->isVisible())
                shown << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QCOMPARE(m_window->handledCount(WM_NULL), nullsBefore);
        // Dismissed by a click beside it.
        xdotool({QStringLiteral("mousemove"), QStringLiteral("600"), QStringLiteral("700")});
        xdotool({QStringLiteral("click"), QStringLiteral("1")});
    });
    poll.start(50);
    clickIcon(3);
    QTRY_VERIFY_WITH_TIMEOUT(menuSeen, kPatienceMs);
    QTRY_VERIFY(!m_form->mnuTray->isVisible());
    QTRY_COMPARE(m_window->handledCount(WM_NULL), nullsBefore + 1);
    QCOMPARE(shown,
             QStringList({QStringLiteral("&Restore"), QStringLiteral("Mi&nimize"), QStringLiteral("-"),
                          QStringLiteral("&Close")}));
    QTest::qWait(200);
    QCOMPARE(m_window->handledCount(WM_NULL), nullsBefore + 1);
    QVERIFY(!QApplication::activePopupWidget());
}

void TestTrayXEmbed::closeFromTheMenuRemovesTheIcon()
{
    QTRY_VERIFY_WITH_TIMEOUT(embeddedIcon(), kPatienceMs);
    const int nullsBefore = m_window->handledCount(WM_NULL);
    bool chosen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QMenu *menu = m_form->mnuTray;
        if (chosen || QApplication::activePopupWidget() != menu)
            return;
        chosen = true;
        const QPoint where = menu->mapToGlobal(menu->actionGeometry(m_form->mnuTrayClose).center());
        xdotool({QStringLiteral("mousemove"), QString::number(where.x()), QString::number(where.y())});
        xdotool({QStringLiteral("click"), QStringLiteral("1")});
    });
    poll.start(50);
    clickIcon(3);
    QTRY_VERIFY_WITH_TIMEOUT(chosen, kPatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isUnloaded(), kPatienceMs);
    QVERIFY(!m_form->trayModule()->formReference());
    QVERIFY(!m_window->area().trayIcon());
    QCOMPARE(m_window->handledCount(WM_NCDESTROY), 1);
    QTRY_VERIFY(!embeddedIcon());
    QTest::qWait(200);
    QCOMPARE(m_window->handledCount(WM_NULL), nullsBefore);
}

int main(int argc, char **argv)
{
    reexecOnPrivateBus(argc, argv);
    QApplication app(argc, argv);
    TestTrayXEmbed test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_tray_xembed.moc"
