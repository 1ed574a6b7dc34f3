// The window's controls as designed: where each lies, its font, colour, caption and tip, the
// station grid, the tray menu, the stacking and the tab order.

#include "form1.h"

#include "accessible_role.h"
#include "assets/artwork.h"
#include "design_fonts.h"
#include "design_pictures.h"
#include "player/station_catalogue.h"
#include "station_button.h"
#include "status_announcer.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

#include <tuple>

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

} // namespace

void Form1::createPanel()
{
    const DesignFonts &fonts = DesignFonts::load();
    Image1 = makeImage(this, "Image1", {0, 8}, QString::fromUtf16(kBannerPicture));
    Image1->setAccessibleName(kProductName);
    Image2 = makeImage(this, "Image2", {344, 8}, QString::fromUtf16(kInformationPanelPicture));
    // The panel's frame only decorates; a screen reader passes over it.
    setAccessibleRole(Image2, QAccessible::Client);

    st = makeLabel(this, "st", {368, 24, 49, 17}, QStringLiteral("Station:"), fonts.tahomaBold, kWhite);
    lblstation = makeLabel(this, "lblstation", {416, 24, 201, 17}, QString(), fonts.tahomaBold, kWhite);
    Label1 = makeLabel(this, "Label1", {368, 40, 41, 17}, QStringLiteral("Status:"), fonts.tahomaBold,
                       kWhite);
    lblkb = makeLabel(this, "lblkb", {416, 40, 201, 41}, QString(), fonts.tahomaBold, kWhite);
    info1 = makeLabel(this, "info1", {424, 72, 145, 25}, QStringLiteral("Click on a station to listen"),
                      fonts.tahomaBold, kHintColour);
    info1->setVisible(false);
    Label3 = makeLabel(this, "Label3", {384, 112, 41, 17}, QStringLiteral("Volume"), fonts.tahomaBold,
                       kWhite);
    volval = makeLabel(this, "volval", {432, 112, 33, 17}, QString(), fonts.tahomaBold, kWhite);
    // Each caption names the value beside it, for a screen reader as for the eye; the value is
    // read as it stands, empty when it is. The status line is the window's status bar, which a
    // screen reader reads out when asked, wherever the focus is.
    const std::tuple<QLabel *, QLabel *, QAccessible::Role> captioned[] = {
        {st, lblstation, QAccessible::StaticText},
        {Label1, lblkb, QAccessible::StatusBar},
        {Label3, volval, QAccessible::StaticText}};
    for (auto [caption, value, role] : captioned) {
        caption->setBuddy(value);
        setAccessibleRole(value, role);
    }
    m_statusAnnouncer = new StatusAnnouncer(this);
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
    vol->setAccessibleName(QStringLiteral("Volume"));
    // Qt inverts a scroll bar's keys and wheel, as suits a vertical one whose top is its
    // minimum; on this horizontal bar Right, Up, Page Up and the wheel turned up make it louder.
    // The mouse on its arrows and track is not affected.
    vol->setInvertedControls(false);

    // Webdings draws "4" as the play triangle and Wingdings "n" as the stop square; without
    // them the same symbols come from ordinary characters.
    const bool symbols = fonts.symbolFonts;
    play = makeButton(this, "play", {488, 96, 33, 25},
                      symbols ? QStringLiteral("4") : QStringLiteral("\u25B6"), fonts.playGlyph,
                      QStringLiteral("Start Playing"));
    stop = makeButton(this, "stop", {488, 96, 33, 25},
                      symbols ? QStringLiteral("n") : QStringLiteral("\u25A0"), fonts.stopGlyph,
                      QStringLiteral("Stop Playing"));
    // A screen reader would read the symbol fonts' letters; it says what the tips say.
    play->setAccessibleName(play->toolTip());
    stop->setAccessibleName(stop->toolTip());
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
                                         designPicture(logoPicturePath(station.logo)), this);
        button->setGeometry(gridCell(int(i)));
        connect(button, &QAbstractButton::clicked, this,
                [this, &station] { m_playback.selectStation(station); });
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
    // The station buttons stand among the other controls in an order of the window's own (not
    // the grid's), so they are named here; the window's test checks that none is left out.
    static const char *const kStacking[] = {
        "tns",          "comservice", "lbdj",    "lbnonstop", "lbcon",      "lbclassical", "ahamu",  "ravsfm",
        "threesinhala", "nilwala",    "minsara", "kirula",    "prabhavi",   "rangiri",     "play",   "mini",
        "stop",         "vol",        "j9",      "sinhalaya", "miyurusara", "exit",        "asura",  "city",
        "lakhada",      "sns",        "neth",    "sirasa",    "yfm",        "efm",         "lite",   "tnl",
        "yes",          "shakthi",    "info1",   "Label3",    "volval",     "lblstation",  "Label1", "lblkb",
        "st",           "Label7",     "Image1",  "Label6",    "Image2"};
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
    for (QWidget *widget :
         {static_cast<QWidget *>(vol), static_cast<QWidget *>(play), static_cast<QWidget *>(mini),
          static_cast<QWidget *>(exit), static_cast<QWidget *>(stop)})
        chain(widget);
}

} // namespace tarvoni
