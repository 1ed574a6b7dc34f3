#include "fake_media_player.h"
#include "player/station_catalogue.h"
#include "recording_notification_area.h"
#include "tray/api_stuff.h"
#include "window/form1.h"
#include "window/station_button.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace tarvoni;
using tarvoni::test::FakeMediaPlayer;

namespace {

using RecordingArea = tarvoni::test::RecordingNotificationArea;

QColor textColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::WindowText);
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsAsDesigned_data();
    void controlsAsDesigned();
    void stationButtonsOnTheGrid();
    void tabOrderAndStartFocus();
    void trayMenuItems();
    void stacking();

    void loadSetsTrayAndVolume();
    void everyStationButtonPlaysItsStation_data();
    void everyStationButtonPlaysItsStation();
    void playBeforeAnyStation();
    void stopThenSameStationAgain();
    void volumeColours_data();
    void volumeColours();
    void statusIsShownAsPlainText();
    void exitRemovesIconAndStopsSound();
    void noPlayerStillWorks();

    void miniHidesIntoTheTray_data();
    void miniHidesIntoTheTray();
    void miniWithoutATrayMinimizes();
    void trayMenuCloseUnloads();

private:
    FakeMediaPlayer *m_player = nullptr;
    RecordingArea *m_area = nullptr;
    Form1 *m_form = nullptr;
};

void TestForm1::init()
{
    m_player = new FakeMediaPlayer;
    m_area = new RecordingArea;
    m_form = new Form1(StationCatalogue::builtIn(), m_player);
}

void TestForm1::cleanup()
{
    delete m_form;
    delete m_area;
}

void TestForm1::controlsAsDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("toolTip");

    const QColor white(255, 255, 255), grey(224, 224, 224), red(255, 128, 128);
    const QString tahoma = "Tahoma", dialog = "MS Sans Serif";
    auto row = [](const char *name, QRect rect, bool visible, const QString &text, const QString &family,
                  bool bold, QColor colour, const QString &tip = {}) {
        QTest::newRow(name) << name << rect << visible << text << family << bold << colour << tip;
    };
    row("st", {368, 24, 49, 17}, true, "Station:", tahoma, true, white);
    row("lblstation", {416, 24, 201, 17}, true, "", tahoma, true, white);
    row("Label1", {368, 40, 41, 17}, true, "Status:", tahoma, true, white);
    row("lblkb", {416, 40, 201, 41}, true, "", tahoma, true, white);
    row("info1", {424, 72, 145, 25}, false, "Click on a station to listen", tahoma, true, red);
    row("Label3", {384, 112, 41, 17}, true, "Volume", tahoma, true, white);
    row("volval", {432, 112, 33, 17}, true, "", tahoma, true, white);
    row("Label7", {8, 544, 401, 17}, true, "Tarvoni Radio Player 3.1*", dialog, false, grey);
    row("Label6", {8, 560, 441, 17}, true,
        "* All logos and trademarks in this software are property of their respective owners.", dialog, false,
        grey);
    row("play", {488, 96, 33, 25}, true, "4", "Webdings", false, QColor(), "Start Playing");
    row("stop", {488, 96, 33, 25}, true, "n", "Wingdings", false, QColor(), "Stop Playing");
    row("mini", {520, 96, 65, 25}, true, "Minimize", tahoma, false, QColor(), "Minimize to system tray");
    row("exit", {584, 96, 33, 25}, true, "Exit", tahoma, false, QColor(), "Exit");
    row("vol", {368, 96, 113, 17}, true, "", "", false, QColor());
    row("Image1", {0, 8, 255, 80}, true, "", "", false, QColor());
    row("Image2", {344, 8, 293, 125}, true, "", "", false, QColor());
}

void TestForm1::controlsAsDesigned()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(bool, visible);
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);
    QFETCH(QString, toolTip);

    m_form->show();
    auto *widget = m_form->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), rect);
    QCOMPARE(widget->isVisible(), visible);
    QCOMPARE(widget->toolTip(), toolTip);
    if (!family.isEmpty()) {
        QCOMPARE(widget->font().family(), family);
        QCOMPARE(QFontInfo(widget->font()).family(), family); // really there, not a stand-in
        QCOMPARE(widget->font().bold(), bold);
        QCOMPARE(QFontInfo(widget->font()).bold(), bold);
    }
    if (auto *label = qobject_cast<QLabel *>(widget); label && label->pixmap().isNull()) {
        if (text.endsWith('*'))
            QVERIFY(label->text().startsWith(text.chopped(1)));
        else
            QCOMPARE(label->text(), text);
        QCOMPARE(textColour(label), colour);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(label->wordWrap());
        QVERIFY(label->alignment() & Qt::AlignLeft);
        QVERIFY(!label->autoFillBackground());
        // What the label shows fits its rectangle.
        if (!text.isEmpty())
            QVERIFY2(label->sizeHint().width() <= rect.width()
                         || label->heightForWidth(rect.width()) <= rect.height(),
                     qPrintable(name));
    } else if (auto *picture = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(picture->pixmap().size(), rect.size()); // pictures drawn unscaled
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->text(), text);
    }
}

void TestForm1::stationButtonsOnTheGrid()
{
    const auto &buttons = m_form->stationButtons();
    QCOMPARE(buttons.size(), size_t(29));
    const QList<int> columns{8, 96, 184, 272, 360, 448, 536};
    const QList<int> rows{104, 192, 280, 368, 456};
    for (size_t i = 0; i < buttons.size(); ++i) {
        const Station &station = StationCatalogue::builtIn().stations()[i];
        StationButton *button = buttons[i];
        QCOMPARE(button->objectName(), station.controlName);
        QCOMPARE(button->text(), station.caption);
        QCOMPARE(button->size(), QSize(81, 81));
        QVERIFY(columns.contains(button->x()));
        QVERIFY(rows.contains(button->y()));
        QVERIFY2(!button->logo().isNull(), qPrintable(station.controlName));
        QVERIFY(button->toolTip().isEmpty());
    }
    QCOMPARE(m_form->stationButton("rangiri")->geometry(), QRect(272, 104, 81, 81));
    QCOMPARE(m_form->stationButton("neth")->geometry(), QRect(8, 192, 81, 81));
    QCOMPARE(m_form->stationButton("yfm")->geometry(), QRect(8, 280, 81, 81));
    QCOMPARE(m_form->stationButton("lbdj")->geometry(), QRect(536, 456, 81, 81));
    QCOMPARE(m_form->stationButton("lbdj")->text(), QStringLiteral("   DJ / Remix"));
    QCOMPARE(m_form->stationButton("tns")->logo().toImage(),
             m_form->stationButton("comservice")->logo().toImage());
}

void TestForm1::tabOrderAndStartFocus()
{
    QStringList expected;
    for (const Station &station : StationCatalogue::builtIn().stations())
        expected << station.controlName;
    // Stop lies under play, and is no tab stop until play hides: after Exit comes the first
    // station again.
    expected << "vol"
             << "play"
             << "mini"
             << "exit" << expected.first();

    QStringList order;
    QWidget *widget = m_form->stationButton("asura");
    for (int guard = 0; guard < 200 && order.size() < expected.size(); ++guard) {
        if (widget->parentWidget() == m_form && (widget->focusPolicy() & Qt::TabFocus))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    QCOMPARE(order, expected);
    for (const char *name : {"st", "lblstation", "lblkb", "info1", "Image1", "Image2", "Label6"})
        QCOMPARE(m_form->findChild<QWidget *>(QLatin1String(name))->focusPolicy(), Qt::NoFocus);
}

void TestForm1::trayMenuItems()
{
    QCOMPARE(m_form->mnuTray->title(), QStringLiteral("Popup"));
    QStringList shown, all;
    for (QAction *item : m_form->mnuTray->actions()) {
        all << (item->isSeparator() ? QStringLiteral("-") : item->text());
        if (item->isVisible()) {
            shown << (item->isSeparator() ? QStringLiteral("-") : item->text());
            QVERIFY(item->isEnabled()); // Qt reports hidden actions as disabled
        }
    }
    QCOMPARE(all, (QStringList{"&Restore", "&Move", "&Size", "Mi&nimize", "Ma&ximize", "-", "&Close"}));
    QCOMPARE(shown, (QStringList{"&Restore", "Mi&nimize", "-", "&Close"}));
    QCOMPARE(m_form->mnuTraySep->objectName(), QStringLiteral("mnuTraySep"));
}

void TestForm1::stacking()
{
    // play lies over stop, so only play can be seen and clicked until it is hidden.
    m_form->show();
    const QPoint centre = QRect(488, 96, 33, 25).center();
    QCOMPARE(m_form->childAt(centre), m_form->play);
    m_form->play->hide();
    QCOMPARE(m_form->childAt(centre), m_form->stop);
    // rangiri reaches into the information panel and lies above it; labels lie above the panel.
    QCOMPARE(m_form->childAt(QPoint(350, 150)), m_form->stationButton("rangiri"));
    QCOMPARE(m_form->childAt(QPoint(370, 30)), m_form->st);
    // mini lies above exit where they overlap.
    QCOMPARE(m_form->childAt(QPoint(584, 110)), m_form->mini);
    // Every station of the catalogue has its place in the stacking, above the labels and pictures.
    const QObjectList &children = m_form->children();
    qsizetype topLabel = -1;
    for (qsizetype i = 0; i < children.size(); ++i) {
        if (qobject_cast<QLabel *>(children[i]))
            topLabel = i;
    }
    for (const StationButton *button : m_form->stationButtons())
        QVERIFY2(children.indexOf(button) > topLabel, qPrintable(button->objectName()));
}

void TestForm1::loadSetsTrayAndVolume()
{
    m_form->load(m_area);
    QCOMPARE(m_form->LastState, qint16(0));
    QCOMPARE(m_area->messages, (QList<quint32>{NIM_ADD, NIM_MODIFY}));
    QCOMPARE(m_area->last.uFlags, NIF_TIP);
    QCOMPARE(trayTipText(m_area->last), QStringLiteral("Tarvoni Radio Player"));
    QCOMPARE(m_player->volume(), 25);
    QCOMPARE(m_form->volval->text(), QStringLiteral("25%"));
    QCOMPARE(textColour(m_form->volval), QColor(192, 255, 192));
    QVERIFY(m_form->isHidden()); // all of it before the first showing
}

void TestForm1::everyStationButtonPlaysItsStation_data()
{
    QTest::addColumn<QString>("name");
    for (const Station &station : StationCatalogue::builtIn().stations())
        QTest::newRow(qPrintable(station.controlName)) << station.controlName;
}

void TestForm1::everyStationButtonPlaysItsStation()
{
    QFETCH(QString, name);
    const Station *station = StationCatalogue::builtIn().find(name);
    m_form->load(m_area);
    m_form->show();
    m_player->calls.clear();
    QStringList shownAtCall;
    m_player->observe = [this, &shownAtCall](const QString &) { shownAtCall << m_form->lblstation->text(); };

    QTest::mouseClick(m_form->stationButton(name), Qt::LeftButton);

    QCOMPARE(m_player->calls, (QStringList{"url " + station->streamAddress, "play"}));
    QCOMPARE(shownAtCall, (QStringList{"", ""})); // the text comes after the player steps
    QCOMPARE(m_form->lblstation->text(), station->nowPlaying);
    QCOMPARE(trayTipText(m_area->last), station->nowPlaying + " - Tarvoni Radio Player");
    QVERIFY(!m_form->info1->isVisible());
    QVERIFY(!m_form->play->isVisible());
    QVERIFY(m_form->stop->isVisible());
}

void TestForm1::playBeforeAnyStation()
{
    m_form->load(m_area);
    m_form->show();
    m_player->calls.clear();
    QTest::mouseClick(m_form->play, Qt::LeftButton);
    QCOMPARE(m_player->calls, QStringList{"play"});
    QVERIFY(!m_form->play->isVisible());
    QVERIFY(m_form->info1->isVisible());
    QCOMPARE(m_form->lblstation->text(), QString());

    // Once a station is chosen the hint goes; stop brings play back and keeps the station shown.
    QTest::mouseClick(m_form->stationButton("lbnonstop"), Qt::LeftButton);
    QVERIFY(!m_form->info1->isVisible());
    QCOMPARE(trayTipText(m_area->last), QStringLiteral("Non-stop / Baila Channel - Tarvoni Radio Player"));
    QTest::mouseClick(m_form->stop, Qt::LeftButton);
    QCOMPARE(m_player->calls.last(), QStringLiteral("stop"));
    QVERIFY(m_form->play->isVisible());
    QCOMPARE(m_form->lblstation->text(), QStringLiteral("Non-stop / Baila Channel"));

    // Play after stop plays the address the player still holds, without the hint.
    QTest::mouseClick(m_form->play, Qt::LeftButton);
    QCOMPARE(m_player->calls.last(), QStringLiteral("play"));
    QVERIFY(!m_form->info1->isVisible());
}

void TestForm1::stopThenSameStationAgain()
{
    m_form->load(m_area);
    m_form->show();
    QTest::mouseClick(m_form->stationButton("sirasa"), Qt::LeftButton);
    QTest::mouseClick(m_form->stop, Qt::LeftButton);
    QVERIFY(m_form->play->isVisible());
    QTest::mouseClick(m_form->stationButton("sirasa"), Qt::LeftButton);
    // Playing again, so the button shows stop, as after any other choice.
    QVERIFY(!m_form->play->isVisible());
    QCOMPARE(trayTipText(m_area->last), QStringLiteral("Sirasa FM - Tarvoni Radio Player"));
}

void TestForm1::volumeColours_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QColor>("colour");
    const QColor loud(255, 128, 128), normal(192, 255, 192);
    QTest::newRow("90 to 85 stays loud") << 90 << 85 << loud;
    QTest::newRow("80 to 85 stays normal") << 80 << 85 << normal;
    QTest::newRow("86 is loud") << 50 << 86 << loud;
    QTest::newRow("84 is normal") << 100 << 84 << normal;
    QTest::newRow("0 is normal") << 100 << 0 << normal;
    QTest::newRow("100 is loud") << 0 << 100 << loud;
}

void TestForm1::volumeColours()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QColor, colour);
    m_form->load(m_area);
    m_form->vol->setValue(from);
    m_form->vol->setValue(to);
    QCOMPARE(m_form->volval->text(), QString::number(to) + "%");
    QCOMPARE(textColour(m_form->volval), colour);
    QCOMPARE(m_player->volume(), to);
}

void TestForm1::statusIsShownAsPlainText()
{
    m_form->load(m_area);
    m_player->announce(QStringLiteral("Playing: <b>Hit</b> & <i>more</i>"));
    QCOMPARE(m_form->lblkb->text(), QStringLiteral("Playing: <b>Hit</b> & <i>more</i>"));
    QCOMPARE(m_form->lblkb->textFormat(), Qt::PlainText);
    m_player->announce(QString());
    QCOMPARE(m_form->lblkb->text(), QString());
}

void TestForm1::exitRemovesIconAndStopsSound()
{
    m_form->load(m_area);
    m_form->show();
    QSignalSpy unloaded(m_form, &Form1::unloaded);
    QTest::mouseClick(m_form->stationButton("asura"), Qt::LeftButton);
    QTest::mouseClick(m_form->exit, Qt::LeftButton);
    QCOMPARE(unloaded.size(), 1);
    QCOMPARE(m_player->calls.last(), QStringLiteral("stop"));
    QCOMPARE(m_area->messages.last(), NIM_DELETE);
    QVERIFY(!m_form->isVisible());
    QCOMPARE(m_form->trayModule()->formReference(), nullptr);
    const auto deletes = m_area->messages.count(NIM_DELETE);
    delete m_form; // the window's destruction does not delete the icon a second time
    m_form = nullptr;
    QCOMPARE(m_area->messages.count(NIM_DELETE), deletes);
}

void TestForm1::noPlayerStillWorks()
{
    Form1 form(StationCatalogue::builtIn(), nullptr);
    form.load(nullptr);
    form.show();
    QCOMPARE(form.volval->text(), QStringLiteral("25%"));
    QTest::mouseClick(form.stationButton("efm"), Qt::LeftButton);
    QCOMPARE(form.lblstation->text(), QStringLiteral("e FM"));
    QVERIFY(!form.play->isVisible());
}

void TestForm1::miniHidesIntoTheTray_data()
{
    QTest::addColumn<bool>("maximized");
    QTest::newRow("from normal") << false;
    QTest::newRow("from maximized") << true;
}

void TestForm1::miniHidesIntoTheTray()
{
    QFETCH(bool, maximized);
    m_form->load(m_area);
    m_form->show();
    if (maximized)
        m_form->setWindowState(Qt::WindowMaximized);
    const qint16 before = maximized ? 2 : 0;
    QTRY_COMPARE(m_form->LastState, before);

    QTest::mouseClick(m_form->mini, Qt::LeftButton);
    QVERIFY(m_form->isHidden());
    QCOMPARE(m_form->windowStateValue(), before); // hidden, not minimized
    QCOMPARE(m_form->LastState, before);
    QVERIFY(m_form->mnuTrayRestore->isEnabled());
    QVERIFY(!m_form->mnuTrayMinimize->isEnabled());

    // A left click on the tray icon brings it back as it was.
    m_form->windowSystem().sendMessage(m_form->hWnd(), TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONUP);
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_form->windowStateValue(), before);
}

void TestForm1::miniWithoutATrayMinimizes()
{
    m_area->available = false;
    m_form->load(m_area);
    m_form->show();
    QTest::mouseClick(m_form->mini, Qt::LeftButton);
    QVERIFY(!m_form->isHidden()); // never hidden where nothing could bring it back
    QTRY_COMPARE(m_form->windowStateValue(), qint16(1));
    QCOMPARE(m_form->LastState, qint16(0));
    QVERIFY(m_form->mnuTrayRestore->isEnabled());
    QVERIFY(!m_form->mnuTrayMinimize->isEnabled());
}

void TestForm1::trayMenuCloseUnloads()
{
    m_form->load(m_area);
    m_form->show();
    QSignalSpy unloaded(m_form, &Form1::unloaded);
    m_form->mnuTrayClose->trigger();
    QCOMPARE(unloaded.size(), 1);
    QCOMPARE(m_area->messages.last(), NIM_DELETE);
    QVERIFY(m_form->isHidden());
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
