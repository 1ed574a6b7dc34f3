// Titles in the stations' own scripts on the real window: the now-playing and status lines
// draw Sinhala and Tamil letters with the fonts chosen for them, in Tahoma's line, and never
// the missing-glyph box.

#include "fake_media_player.h"
#include "player/station_catalogue.h"
#include "window/form1.h"

#include <QGlyphRun>
#include <QLabel>
#include <QPainter>
#include <QRawFont>
#include <QSet>
#include <QTest>
#include <QTextLayout>

using namespace tarvoni;
using tarvoni::test::FakeMediaPlayer;

namespace {

// How many grey levels a glyph run comes out in, drawn white on black: two when it is drawn
// unsmoothed.
int greyLevels(const QGlyphRun &run)
{
    QImage image(200, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setPen(Qt::white);
    QGlyphRun moved = run;
    QList<QPointF> positions = run.positions();
    const QPointF first = positions.value(0);
    for (QPointF &position : positions)
        position -= first;
    moved.setPositions(positions);
    painter.drawGlyphRun(QPointF(4, 28), moved);
    painter.end();
    QSet<int> levels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            levels.insert(qGray(image.pixel(x, y)));
    }
    return int(levels.size());
}

} // namespace

class TestDesignFonts : public QObject {
    Q_OBJECT

private slots:
    void titleInTheStationsScripts_data();
    void titleInTheStationsScripts();
};

void TestDesignFonts::titleInTheStationsScripts_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::newRow("Sinhala now playing") << "lblstation" << QStringLiteral("සිංහල ගීත");
    QTest::newRow("Tamil now playing") << "lblstation" << QStringLiteral("தமிழ் பாடல்");
    // A conjunct joined by ZWJ (ශ්‍රී) and a Tamil name with a Grantha letter (ஜ).
    QTest::newRow("Sinhala status")
        << "lblkb"
        << QStringLiteral("Playing (128 kbps): ශ්‍රී ලංකා - සිංහල ගීත");
    QTest::newRow("Tamil status") << "lblkb" << QStringLiteral("Playing (128 kbps): இளையராஜா - தமிழ் பாடல்");
    QTest::newRow("both scripts") << "lblkb" << QStringLiteral("Playing (128 kbps): සිංහල / தமிழ்");
}

// Each letter is drawn from the font chosen for its script: Latin from Tahoma, unsmoothed as
// the design draws it; Sinhala and Tamil from their own fonts, smoothed, since at this size
// their loops fill in when they are not. No character comes out as glyph 0, the box.
void TestDesignFonts::titleInTheStationsScripts()
{
    QFETCH(QString, label);
    QFETCH(QString, text);

    auto *player = new FakeMediaPlayer;
    Form1 form(StationCatalogue::builtIn(), player);
    form.load(nullptr);
    if (label == u"lblstation")
        form.setStationText(text);
    else
        player->announce(text);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QLabel *shown = form.findChild<QLabel *>(label);
    QCOMPARE(shown->text(), text);

    QTextLayout layout(shown->text(), shown->font(), shown);
    layout.beginLayout();
    layout.createLine(); // one line: where the label wraps does not change which font draws a letter
    layout.endLayout();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar::Script script = text.at(i).script();
        const QString expected = script == QChar::Script_Sinhala ? QStringLiteral("Noto Sans Sinhala UI")
            : script == QChar::Script_Tamil                      ? QStringLiteral("Noto Sans Tamil UI")
            : script == QChar::Script_Latin                      ? QStringLiteral("Tahoma")
                                                                 : QString(); // spaces, signs: any
        const QString where = QStringLiteral("%1 at %2 (U+%3)")
                                  .arg(label)
                                  .arg(i)
                                  .arg(text.at(i).unicode(), 4, 16, QLatin1Char('0'));
        const QList<QGlyphRun> runs = layout.glyphRuns(int(i), 1);
        QVERIFY2(!runs.isEmpty(), qPrintable(where));
        for (const QGlyphRun &run : runs) {
            const QString family = run.rawFont().familyName();
            QVERIFY2(!run.glyphIndexes().contains(0u), qPrintable(where + QStringLiteral(" in ") + family));
            if (expected.isEmpty())
                continue;
            QVERIFY2(family == expected, qPrintable(where + QStringLiteral(": ") + family));
            const int levels = greyLevels(run);
            QVERIFY2(script == QChar::Script_Latin ? levels == 2 : levels > 2,
                     qPrintable(where + QStringLiteral(": %1 grey levels").arg(levels)));
        }
    }
}

QTEST_MAIN(TestDesignFonts)
#include "test_design_fonts.moc"
