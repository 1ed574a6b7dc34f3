#include "tray_test_window.h"

#include <QAction>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QWindow>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tarvoni::test {

namespace {

QIcon testIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(5, 37, 98));
    QPainter painter(&pixmap);
    painter.fillRect(8, 8, 16, 16, QColor(105, 134, 194));
    return QIcon(pixmap);
}

class ActionItems final : public TrayMenuItems {
public:
    explicit ActionItems(TrayTestWindow &w) : m_w(w) {}
    void setItemEnabled(TrayMenuItem item, bool enabled) override
    {
        switch (item) {
        case TrayMenuItem::Maximize: m_w.mnuTrayMaximize->setEnabled(enabled); break;
        case TrayMenuItem::Minimize: m_w.mnuTrayMinimize->setEnabled(enabled); break;
        case TrayMenuItem::Move: m_w.mnuTrayMove->setEnabled(enabled); break;
        case TrayMenuItem::Restore: m_w.mnuTrayRestore->setEnabled(enabled); break;
        case TrayMenuItem::Size: m_w.mnuTraySize->setEnabled(enabled); break;
        }
    }

private:
    TrayTestWindow &m_w;
};

QAction *addItem(QMenu *menu, const QString &caption, bool visible)
{
    QAction *action = menu->addAction(caption);
    action->setVisible(visible);
    return action;
}

} // namespace

TrayTestWindow::TrayTestWindow()
    : trayMenu(new QMenu(QStringLiteral("Popup"), this)),
      mnuTrayRestore(addItem(trayMenu, QStringLiteral("&Restore"), true)),
      mnuTrayMove(addItem(trayMenu, QStringLiteral("&Move"), false)),
      mnuTraySize(addItem(trayMenu, QStringLiteral("&Size"), false)),
      mnuTrayMinimize(addItem(trayMenu, QStringLiteral("Mi&nimize"), true)),
      mnuTrayMaximize(addItem(trayMenu, QStringLiteral("Ma&ximize"), false)),
      mnuTraySep(trayMenu->addSeparator()),
      mnuTrayClose(addItem(trayMenu, QStringLiteral("&Close"), true)),
      host(quintptr(this),
           [this](WindowHandle, quint32 msg, quint32 wParam, qint32 lParam) {
               return defaultProc(msg, wParam, lParam);
           },
           [this] {
               raise();
               activateWindow();
           }),
      area(testIcon(), trayMenu, host), module(area, host), commands(*this, host),
      m_handle(quintptr(this))
{
    setWindowTitle(QStringLiteral("Tarvoni tray test window"));
    resize(320, 200);
    move(200, 150);
    connect(mnuTrayRestore, &QAction::triggered, this, [this] { commands.restore(); });
    connect(mnuTrayMove, &QAction::triggered, this, [this] { commands.move(); });
    connect(mnuTraySize, &QAction::triggered, this, [this] { commands.size(); });
    connect(mnuTrayMinimize, &QAction::triggered, this, [this] { commands.minimize(); });
    connect(mnuTrayMaximize, &QAction::triggered, this, [this] { commands.maximize(); });
    connect(mnuTrayClose, &QAction::triggered, this, [this] { commands.close(); });
}

TrayTestWindow::~TrayTestWindow()
{
    if (!m_unloaded)
        unload();
}

void TrayTestWindow::load()
{
    m_lastState = initialLastState(windowState());
    module.installTrayIcon(*this, trayMenu);
    module.setTrayTip(QStringLiteral("Tarvoni Radio Player"));
    show();
}

qint16 TrayTestWindow::windowState() const
{
    return windowStateFromQt(QWidget::windowState());
}

void TrayTestWindow::setWindowState(qint16 state)
{
    // Minimizing means hiding to the tray, as long as there is a tray to come back from.
    if (state == 1 && module.isTrayAvailable()) {
        host.sendMessage(m_handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return;
    }
    QWidget::setWindowState(qtWindowStates(state, QWidget::windowState()));
}

void TrayTestWindow::setFocus()
{
    activateWindow();
    QWidget::setFocus();
}

void TrayTestWindow::popupMenu(QMenu *menu)
{
    menu->exec(QCursor::pos());
}

void TrayTestWindow::setTrayMenuItems(qint16 state)
{
    ActionItems items(*this);
    applyTrayMenuItems(state, items);
}

void TrayTestWindow::unload()
{
    m_unloaded = true;
    QWidget::hide();
    host.sendMessage(m_handle, WM_NCDESTROY, 0, 0);
}

void TrayTestWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        handleResize(*this, m_lastState);
}

void TrayTestWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    handleResize(*this, m_lastState);
}

LResult TrayTestWindow::defaultProc(quint32 msg, quint32 wParam, qint32)
{
    m_handled.append(msg);
    if (msg != WM_SYSCOMMAND)
        return 0;
    switch (wParam) {
    case SC_RESTORE:
        showNormal();
        break;
    case SC_MINIMIZE:
        showMinimized();
        break;
    case SC_MOVE:
        if (windowHandle())
            windowHandle()->startSystemMove();
        break;
    case SC_SIZE:
        if (windowHandle())
            windowHandle()->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
        break;
    }
    return 0;
}

void reexecOnPrivateBus(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("TARVONI_TEST_PRIVATE_BUS"))
        return;
    setenv("TARVONI_TEST_PRIVATE_BUS", "1", 1);
    char *self = realpath("/proc/self/exe", nullptr);
    std::vector<char *> args{const_cast<char *>("dbus-run-session"), const_cast<char *>("--"),
                             self ? self : argv[0]};
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::perror("dbus-run-session");
    std::exit(127);
}

} // namespace tarvoni::test
