#include "form1.h"

#include "assets/artwork.h"
#include "design_fonts.h"
#include "design_pictures.h"
#include "player/media_player.h"
#include "player/now_playing_reactions.h"
#include "player/station_catalogue.h"
#include "station_button.h"
#include "tray/api_stuff.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <utility>

namespace tarvoni {

namespace {

// The station grid: 81 x 81 px buttons on a 88 px pitch; rows 1 and 2 use the first four
// columns, rows 3 to 5 all seven.
constexpr int kButtonSize = 81;
constexpr int kGridColumns[] = {8, 96, 184, 272, 360, 448, 536};
constexpr int kGridRows[] = {104, 192, 280, 368, 456};

const QColor kWhite(255, 255, 255);
const QColor kHintColour(255, 128, 128);
const QColor kSmallPrintColour(224, 224, 224);

const QString kCopyright = QStringLiteral("Tarvoni Radio Player 3.1          "
                                          "Copyright (c) 2026 Tarvoni Software");
const QString kTrademarks = QStringLiteral(
    "* All logos and trademarks in this software are property of their respective owners.");

QRect gridCell(int index)
{
    const int inFirstRows = 2 * 4;
    const int row = index < inFirstRows ? index / 4 : 2 + (index - inFirstRows) / 7;
    const int column = index < inFirstRows ? index % 4 : (index - inFirstRows) % 7;
    return {kGridColumns[column], kGridRows[row], kButtonSize, kButtonSize};
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// Names a control and puts it at its place on the window.
template <typename Control>
Control *place(Control *control, const char *name, const QRect &rect, const QFont &font)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(rect);
    control->setFont(font);
    return control;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &rect, const QString &text,
                  const QFont &font, const QColor &colour)
{
    auto *label = place(new QLabel(text, parent), name, rect, font);
    label->setTextFormat(Qt::PlainText); // server metadata is shown, never interpreted
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setFocusPolicy(Qt::NoFocus);
    setTextColour(label, colour);
    return label;
}

QLabel *makeImage(QWidget *parent, const char *name, const QPoint &at, const QString &resource)
{
    auto *image = new QLabel(parent);
    image->setObjectName(QString::fromLatin1(name));
    const QPixmap picture = designPicture(resource);
    image->setPixmap(picture);
    image->setGeometry(QRect(at, picture.isNull() ? QSize(1, 1) : picture.deviceIndependentSize().toSize()));
    image->setFocusPolicy(Qt::NoFocus);
    return image;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QRect &rect, const QString &caption,
                        const QFont &font, const QString &toolTip)
{
    auto *button = place(new QPushButton(caption, parent), name, rect, font);
    button->setToolTip(toolTip);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QAction *makeMenuItem(QMenu *menu, const char *name, const QString &caption, bool visible)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    item->setVisible(visible);
    return item;
}

// The tray menu's five state-dependent items, as the window-state rules address them.
class MenuItemSwitches final : public TrayMenuItems {
public:
    explicit MenuItemSwitches(Form1 &form) : m_form(form) {}

    void setItemEnabled(TrayMenuItem item, bool enabled) override
    {
        switch (item) {
        case TrayMenuItem::Maximize: m_form.mnuTrayMaximize->setEnabled(enabled); break;
        case TrayMenuItem::Minimize: m_form.mnuTrayMinimize->setEnabled(enabled); break;
        case TrayMenuItem::Move: m_form.mnuTrayMove->setEnabled(enabled); break;
        case TrayMenuItem::Restore: m_form.mnuTrayRestore->setEnabled(enabled); break;
        case TrayMenuItem::Size: m_form.mnuTraySize->setEnabled(enabled); break;
        }
    }

private:
    Form1 &m_form;
};

} // namespace

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
    , m_trayCommands(*this, m_windows)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);
    setWindowIcon(QIcon(QString::fromUtf16(kWindowIcon)));
    setFont(DesignFonts::load().dialog);
    setGeometry(QRect(kStartPosition, kClientSize));
    setMinimumSize(kClientSize);
    if (player && !player->parent())
        player->setParent(this);

    createPanel();
    createStationButtons(catalogue);
    createTrayMenu();
    applyStackingAndTabOrder();
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

void Form1::createPanel()
{
    const DesignFonts &fonts = DesignFonts::load();
    Image1 = makeImage(this, "Image1", {0, 8}, QString::fromUtf16(kBannerPicture));
    Image2 = makeImage(this, "Image2", {344, 8}, QString::fromUtf16(kInformationPanelPicture));

    st = makeLabel(this, "st", {368, 24, 49, 17}, QStringLiteral("Station:"), fonts.tahomaBold, kWhite);
    lblstation = makeLabel(this, "lblstation", {416, 24, 201, 17}, QString(), fonts.tahomaBold, kWhite);
    Label1 = makeLabel(this, "Label1", {368, 40, 41, 17}, QStringLiteral("Status:"), fonts.tahomaBold, kWhite);
    lblkb = makeLabel(this, "lblkb", {416, 40, 201, 41}, QString(), fonts.tahomaBold, kWhite);
    info1 = makeLabel(this, "info1", {424, 72, 145, 25}, QStringLiteral("Click on a station to listen"),
                      fonts.tahomaBold, kHintColour);
    info1->setVisible(false);
    Label3 = makeLabel(this, "Label3", {384, 112, 41, 17}, QStringLiteral("Volume"), fonts.tahomaBold, kWhite);
    volval = makeLabel(this, "volval", {432, 112, 33, 17}, QString(), fonts.tahomaBold, kWhite);
    Label7 = makeLabel(this, "Label7", {8, 544, 401, 17}, kCopyright, fonts.dialog, kSmallPrintColour);
    Label6 = makeLabel(this, "Label6", {8, 560, 441, 17}, kTrademarks, fonts.dialog, kSmallPrintColour);

    vol = new QScrollBar(Qt::Horizontal, this);
    vol->setObjectName(QStringLiteral("vol"));
    vol->setGeometry(368, 96, 113, 17);
    vol->setRange(0, 100);
    vol->setSingleStep(1);
    vol->setPageStep(1);
    vol->setValue(0);
    vol->setFocusPolicy(Qt::StrongFocus);

    // Webdings draws "4" as the play triangle and Wingdings "n" as the stop square; without
    // them the same symbols come from ordinary characters.
    const bool symbols = fonts.symbolFonts;
    play = makeButton(this, "play", {488, 96, 33, 25}, symbols ? QStringLiteral("4") : QStringLiteral("\u25B6"),
                      fonts.playGlyph, QStringLiteral("Start Playing"));
    stop = makeButton(this, "stop", {488, 96, 33, 25}, symbols ? QStringLiteral("n") : QStringLiteral("\u25A0"),
                      fonts.stopGlyph, QStringLiteral("Stop Playing"));
    mini = makeButton(this, "mini", {520, 96, 65, 25}, QStringLiteral("Minimize"), fonts.tahoma,
                      QStringLiteral("Minimize to system tray"));
    exit = makeButton(this, "exit", {584, 96, 33, 25}, QStringLiteral("Exit"), fonts.tahoma,
                      QStringLiteral("Exit"));
}

void Form1::createStationButtons(const StationCatalogue &catalogue)
{
    const auto stations = catalogue.stations();
    m_stationButtons.reserve(stations.size());
    for (size_t i = 0; i < stations.size(); ++i) {
        const Station &station = stations[i];
        auto *button = new StationButton(station.controlName, station.caption,
                                         designPicture(stationLogoPath(station.controlName)), this);
        button->setGeometry(gridCell(int(i)));
        connect(button, &QAbstractButton::clicked, this, [this, &station] { m_playback.selectStation(station); });
        m_stationButtons.push_back(button);
    }
}

void Form1::createTrayMenu()
{
    mnuTray = new QMenu(QStringLiteral("Popup"), this);
    mnuTray->setObjectName(QStringLiteral("mnuTray"));
    mnuTrayRestore = makeMenuItem(mnuTray, "mnuTrayRestore", QStringLiteral("&Restore"), true);
    mnuTrayMove = makeMenuItem(mnuTray, "mnuTrayMove", QStringLiteral("&Move"), false);
    mnuTraySize = makeMenuItem(mnuTray, "mnuTraySize", QStringLiteral("&Size"), false);
    mnuTrayMinimize = makeMenuItem(mnuTray, "mnuTrayMinimize", QStringLiteral("Mi&nimize"), true);
    mnuTrayMaximize = makeMenuItem(mnuTray, "mnuTrayMaximize", QStringLiteral("Ma&ximize"), false);
    mnuTraySep = mnuTray->addSeparator();
    mnuTraySep->setObjectName(QStringLiteral("mnuTraySep"));
    mnuTrayClose = makeMenuItem(mnuTray, "mnuTrayClose", QStringLiteral("&Close"), true);
}

void Form1::applyStackingAndTabOrder()
{
    // Topmost first. Buttons, the scroll bar and the panes lie above the labels and pictures.
    static const char *const kStacking[] = {
        "tns", "comservice", "lbdj", "lbnonstop", "lbcon", "lbclassical", "ahamu", "ravsfm",
        "threesinhala", "nilwala", "minsara", "kirula", "prabhavi", "rangiri", "play", "mini",
        "stop", "vol", "j9", "sinhalaya", "miyurusara", "exit", "asura", "city", "lakhada", "sns",
        "neth", "sirasa", "yfm", "efm", "lite", "tnl", "yes", "shakthi", "info1", "Label3",
        "volval", "lblstation", "Label1", "lblkb", "st", "Label7", "Image1", "Label6", "Image2"};
    for (auto it = std::rbegin(kStacking); it != std::rend(kStacking); ++it) {
        if (auto *widget = findChild<QWidget *>(QString::fromLatin1(*it), Qt::FindDirectChildrenOnly))
            widget->raise();
    }

    QWidget *previous = nullptr;
    auto chain = [&previous](QWidget *next) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    };
    for (StationButton *button : m_stationButtons)
        chain(button);
    for (QWidget *widget : {static_cast<QWidget *>(vol), static_cast<QWidget *>(play),
                            static_cast<QWidget *>(mini), static_cast<QWidget *>(exit),
                            static_cast<QWidget *>(stop)})
        chain(widget);
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
    LastState = initialLastState(windowState());
    if (area) {
        m_tray = std::make_unique<APIStuff>(*area, m_windows);
        m_tray->installTrayIcon(*this, mnuTray);
        m_tray->setTrayTip(QStringLiteral("Tarvoni Radio Player"));
    }
    vol->setValue(25);
}

void Form1::SetTrayMenuItems(const qint16 &state)
{
    MenuItemSwitches switches(*this);
    applyTrayMenuItems(state, switches);
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
    const NowPlayingReactions reactions{
        [this] { return lblstation->text(); },
        [this](const QString &tip) {
            if (m_tray && m_tray->formReference())
                m_tray->setTrayTip(tip);
        },
        [this](bool visible) { info1->setVisible(visible); },
        [this](bool visible) { play->setVisible(visible); },
    };
    reactions.nowPlayingChanged();
}

void Form1::setStatusText(const QString &text)
{
    lblkb->setText(text);
}

void Form1::setHintVisible(bool visible)
{
    info1->setVisible(visible);
}

void Form1::setPlayVisible(bool visible)
{
    play->setVisible(visible);
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
    setTextColour(volval, QColor(colour.red, colour.green, colour.blue));
}

// --- The window as the tray code sees it ---------------------------------------------------

WindowHandle Form1::hWnd() const
{
    return m_windows.hwnd();
}

IconHandle Form1::iconHandle() const
{
    return IconHandle(windowIcon().cacheKey());
}

qint16 Form1::windowState() const
{
    return windowStateFromQt(m_stateInTray ? *m_stateInTray : QWidget::windowState());
}

void Form1::setWindowState(qint16 state)
{
    // A minimize asked of the window itself goes the way of the minimize system command, so
    // that where there is a tray the window hides into it instead of minimizing.
    if (state == 1 && m_tray && m_tray->isTrayAvailable()) {
        sendToSelf(WM_SYSCOMMAND, SC_MINIMIZE);
        return;
    }
    if (m_stateInTray) {
        // Hidden in the tray: the state waits for the showing (see changeEvent).
        m_stateInTray = qtWindowStates(state, *m_stateInTray);
        return;
    }
    ++m_ownStateChanges;
    QWidget::setWindowState(qtWindowStates(state, QWidget::windowState()));
    --m_ownStateChanges;
}

bool Form1::isVisible() const
{
    return QWidget::isVisible();
}

void Form1::show()
{
    if (m_stateInTray) {
        // The state it was hidden with goes back just before the showing: un-minimizing maps
        // the window, and shown while still minimized it would come up minimized.
        const Qt::WindowStates states = *std::exchange(m_stateInTray, std::nullopt);
        ++m_ownStateChanges;
        QWidget::setWindowState(states);
        --m_ownStateChanges;
    }
    QWidget::show();
}

void Form1::hide()
{
    QWidget::hide();
}

void Form1::setFocus()
{
    raise();
    activateWindow();
    QWidget::setFocus();
}

void Form1::popupMenu(QMenu *menu)
{
    menu->exec(QCursor::pos());
}

qint16 Form1::lastState() const
{
    return LastState;
}

void Form1::setTrayMenuItems(qint16 state)
{
    SetTrayMenuItems(state);
}

void Form1::unload()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    QWidget::hide();
    sendToSelf(WM_NCDESTROY);
    emit unloaded();
}

// --- Events --------------------------------------------------------------------------------

void Form1::exitClicked()
{
    // End at once, but leave nothing behind: no sound, no icon in the tray.
    if (wm) {
        try {
            wm->stop();
        } catch (const std::exception &) {
        }
    }
    unload();
}

void Form1::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_destroyed)
        resizeHandler();
}

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || m_destroyed)
        return;

    const auto oldStates = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    const bool minimizedByOthers = (QWidget::windowState() & Qt::WindowMinimized)
        && !(oldStates & Qt::WindowMinimized) && m_ownStateChanges == 0;
    if (minimizedByOthers) {
        // The window manager minimized the window: that is the minimize system command. Where
        // it hid the window into the tray, the window keeps the state it had before. Qt must
        // not be told so while the window is hidden: on X11 leaving the minimized state maps
        // the window, and the window manager would show it again at once.
        sendToSelf(WM_SYSCOMMAND, SC_MINIMIZE);
        if (QWidget::isHidden()) {
            m_stateInTray = oldStates;
            return;
        }
    }
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
    handleResize(*this, LastState);
}

LResult Form1::sendToSelf(quint32 msg, quint32 wParam, qint32 lParam)
{
    return m_windows.sendMessage(hWnd(), msg, wParam, lParam);
}

// What the window does with a message nobody in front of it answered.
LResult Form1::defaultWindowProc(WindowHandle, quint32 msg, quint32 wParam, qint32)
{
    if (msg != WM_SYSCOMMAND)
        return 0;
    QWindow *window = windowHandle();
    ++m_ownStateChanges;
    switch (wParam & 0xFFF0) {
    case SC_RESTORE:
        if (QWidget::windowState() & Qt::WindowMinimized)
            QWidget::setWindowState(QWidget::windowState() & ~Qt::WindowMinimized);
        else if (QWidget::windowState() & Qt::WindowMaximized)
            QWidget::setWindowState(QWidget::windowState() & ~Qt::WindowMaximized);
        break;
    case SC_MINIMIZE:
        QWidget::setWindowState(QWidget::windowState() | Qt::WindowMinimized);
        break;
    case SC_MAXIMIZE:
        QWidget::setWindowState((QWidget::windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        break;
    case SC_MOVE:
        if (window)
            window->startSystemMove();
        break;
    case SC_SIZE:
        if (window)
            window->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
        break;
    default:
        break;
    }
    --m_ownStateChanges;
    return 0;
}

} // namespace tarvoni
