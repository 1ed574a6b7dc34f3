#include "form1.h"

#include "accessible_role.h"
#include "assets/artwork.h"
#include "design_fonts.h"
#include "design_pictures.h"
#include "form1_tray_view.h"
#include "player/media_player.h"
#include "player/now_playing_reactions.h"
#include "startup_trace.h"
#include "station_button.h"
#include "status_announcer.h"
#include "tray/api_stuff.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>

#include <utility>

namespace tarvoni {

Form1::Form1(const StationCatalogue &catalogue, MediaPlayer *player, QWidget *parent)
    : QWidget(parent)
    , wm(player)
    , m_background(designPicture(QString::fromUtf16(kBackgroundPicture)))
    , m_playback(*this, player)
    , m_windows(
          WindowHandle(winId()),
          [this](WindowHandle hwnd, quint32 msg, quint32 wParam, qint32 lParam) {
              return defaultWindowProc(hwnd, msg, wParam, lParam);
          },
          [this] {
              raise();
              activateWindow();
          })
    , m_trayView(std::make_unique<TrayView>(*this))
    , m_trayCommands(*m_trayView, m_windows)
{
    setObjectName(QStringLiteral("Form1"));
    setAccessibleRole(this, QAccessible::Window);
    setWindowTitle(kTitle);
    setWindowIcon(designIcon(QString::fromUtf16(kWindowIcon)));
    setFont(DesignFonts::load().dialog);
    setGeometry(QRect(kStartPosition, kClientSize));
    setMinimumSize(kClientSize);
    if (player && !player->parent())
        player->setParent(this);

    createPanel();
    createStationButtons(catalogue);
    createTrayMenu();
    applyStackingAndTabOrder();
    setPlayVisible(true);
    connectHandlers();
}

Form1::~Form1()
{
    // However the window goes, its last message passes through its procedure.
    if (!m_destroyed) {
        m_destroyed = true;
        sendToSelf(WM_NCDESTROY);
    }
}

void Form1::connectHandlers()
{
    connect(play, &QPushButton::clicked, this, [this] { m_playback.playPressed(); });
    connect(stop, &QPushButton::clicked, this, [this] { m_playback.stopPressed(); });
    connect(vol, &QScrollBar::valueChanged, this, [this] { m_playback.volumeChanged(); });
    connect(mini, &QPushButton::clicked, this, [this] { m_trayCommands.minimize(); });
    connect(exit, &QPushButton::clicked, this, &Form1::exitClicked);
    if (wm)
        connect(wm, &MediaPlayer::statusChanged, this, [this] { m_playback.statusRefresh(); });

    connect(mnuTrayRestore, &QAction::triggered, this, [this] { m_trayCommands.restore(); });
    connect(mnuTrayMove, &QAction::triggered, this, [this] { m_trayCommands.move(); });
    connect(mnuTraySize, &QAction::triggered, this, [this] { m_trayCommands.size(); });
    connect(mnuTrayMinimize, &QAction::triggered, this, [this] { m_trayCommands.minimize(); });
    connect(mnuTrayMaximize, &QAction::triggered, this, [this] { m_trayCommands.maximize(); });
    connect(mnuTrayClose, &QAction::triggered, this, [this] { m_trayCommands.close(); });
}

void Form1::load(NotificationArea *area)
{
    LastState = initialLastState(windowStateValue());
    if (area) {
        m_tray = std::make_unique<APIStuff>(*area, m_windows);
        m_tray->installTrayIcon(*m_trayView, mnuTray);
        m_tray->setTrayTip(kProductName);
    }
    vol->setValue(25);
}

void Form1::SetTrayMenuItems(const qint16 &state)
{
    const std::optional<TrayMenuItemsEnabled> enabled = trayMenuItemsFor(state);
    if (!enabled)
        return;
    mnuTrayMaximize->setEnabled(enabled->maximize);
    mnuTrayMinimize->setEnabled(enabled->minimize);
    mnuTrayMove->setEnabled(enabled->move);
    mnuTrayRestore->setEnabled(enabled->restore);
    mnuTraySize->setEnabled(enabled->size);
}

StationButton *Form1::stationButton(const QString &controlName) const
{
    for (StationButton *button : m_stationButtons) {
        if (button->objectName() == controlName)
            return button;
    }
    return nullptr;
}

// --- Playback view -------------------------------------------------------------------------

QString Form1::stationText() const
{
    return lblstation->text();
}

void Form1::setStationText(const QString &text)
{
    lblstation->setText(text);
    // Every assignment counts as a change, so choosing the station that is already shown
    // after a stop hides the play button again, as any other choice does.
    lblstationChanged();
}

// The now-playing text changed: the tray tip follows it, the hint and play go away.
void Form1::lblstationChanged()
{
    if (m_tray && m_tray->formReference())
        m_tray->setTrayTip(nowPlayingTrayTip(lblstation->text()));
    info1->setVisible(false);
    setPlayVisible(false);
}

void Form1::setStatusText(const QString &text)
{
    lblkb->setText(text);
    m_statusAnnouncer->announce(text);
}

void Form1::setHintVisible(bool visible)
{
    info1->setVisible(visible);
}

// Play lies over stop, so the two act as one button: only the one on top is a tab stop, and
// when the pair changes over, the focus goes with it to the button now standing where the user
// was looking, rather than on to the next control or onto the covered one.
void Form1::setPlayVisible(bool visible)
{
    QPushButton *shown = visible ? play : stop;
    QPushButton *covered = visible ? stop : play;
    shown->setFocusPolicy(Qt::StrongFocus);
    if (focusWidget() == covered)
        shown->setFocus(Qt::OtherFocusReason);
    play->setVisible(visible);
    covered->setFocusPolicy(Qt::NoFocus);
}

int Form1::volumeValue() const
{
    return vol->value();
}

void Form1::setVolumeText(const QString &text)
{
    volval->setText(text);
}

void Form1::setVolumeColour(const RgbColour &colour)
{
    QPalette palette = volval->palette();
    palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
    volval->setPalette(palette);
}

void Form1::unload()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    hide();
    sendToSelf(WM_NCDESTROY);
    emit unloaded();
}

// --- Events --------------------------------------------------------------------------------

void Form1::exitClicked()
{
    // End at once, but leave nothing behind: no sound, no icon in the tray.
    if (wm)
        wm->stop();
    unload();
}

void Form1::paintEvent(QPaintEvent *)
{
    if (!std::exchange(m_painted, true))
        startupTrace("first paint");
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_destroyed)
        resizeHandler();
}

void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_destroyed && !event->spontaneous())
        resizeHandler();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the window from its frame unloads it, as the tray menu's Close does.
    event->accept();
    unload();
}

void Form1::resizeHandler()
{
    const qint16 state = windowStateValue();
    SetTrayMenuItems(state);
    LastState = lastStateAfterResize(state, LastState);
}

LResult Form1::sendToSelf(quint32 msg, quint32 wParam, qint32 lParam)
{
    return m_windows.sendMessage(hWnd(), msg, wParam, lParam);
}

} // namespace tarvoni
