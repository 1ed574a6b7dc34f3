#include "assets/artwork.h"
#include "player/station_catalogue.h"
#include "window/design_pictures.h"
#include "window/form1.h"
#include "window/station_button.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <cmath>
#include <cstdio>

using namespace tarvoni;

namespace {

struct Picture {
    const char *path;
    const char *format;
    int width;
    int height;
    bool cornerTransparent; // the icon's rounded corners and lite's own shape
};

// Every picture the window carries, once each: logo_a and logo_b are shared by several buttons.
const Picture kPictures[] = {
    {":/assets/background.jpg", "jpeg", 720, 648, false},
    {":/assets/icon.ico", "ico", 32, 32, true},
    {":/assets/banner.gif", "gif", 255, 80, false},
    {":/assets/panel.gif", "gif", 293, 125, false},
    {":/assets/logos/asura.gif", "gif", 68, 35, false},
    {":/assets/logos/city.gif", "gif", 68, 30, false},
    {":/assets/logos/lakhada.gif", "gif", 54, 68, false},
    {":/assets/logos/rangiri.jpg", "jpeg", 70, 29, false},
    {":/assets/logos/neth.gif", "gif", 42, 68, false},
    {":/assets/logos/sirasa.gif", "gif", 68, 63, false},
    {":/assets/logos/sns.gif", "gif", 68, 27, false},
    {":/assets/logos/logo_a.jpg", "jpeg", 55, 55, false},
    {":/assets/logos/yfm.gif", "gif", 68, 61, false},
    {":/assets/logos/efm.jpg", "jpeg", 15, 42, false},
    {":/assets/logos/lite.gif", "gif", 42, 45, true},
    {":/assets/logos/yes.gif", "gif", 68, 67, false},
    {":/assets/logos/tnl.gif", "gif", 60, 51, false},
    {":/assets/logos/shakthi.gif", "gif", 68, 58, false},
    {":/assets/logos/sinhalaya.jpg", "jpeg", 70, 33, false},
    {":/assets/logos/miyurusara.jpg", "jpeg", 60, 60, false},
    {":/assets/logos/j9.gif", "gif", 60, 60, false},
    {":/assets/logos/kirula.jpg", "jpeg", 60, 60, false},
    {":/assets/logos/prabhavi.jpg", "jpeg", 60, 60, false},
    {":/assets/logos/minsara.jpg", "jpeg", 70, 28, false},
    {":/assets/logos/nilwala.gif", "gif", 60, 60, false},
    {":/assets/logos/threesinhala.gif", "gif", 60, 60, false},
    {":/assets/logos/ravsfm.gif", "gif", 60, 60, false},
    {":/assets/logos/ahamu.gif", "gif", 60, 60, false},
    {":/assets/logos/logo_b.gif", "gif", 60, 60, false},
};

// The three channels' differences, added up.
int channelGaps(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

// How a line of text came out on the window: the width from its first to its last inked column
// and the number of columns that hold ink, in device pixels. Letters drawn at their unscaled
// size on a scaled pitch keep the first near the scaled width but halve the second.
struct Ink {
    int extent = 0;
    int columns = 0;
};

// The text of the station buttons and the two lines of small print: what the window draws with
// its text shown and not shown, compared column by column inside each control.
QMap<QString, Ink> textInk(const Form1 &form, const QImage &shown, const QImage &hidden)
{
    const qreal ratio = shown.devicePixelRatio();
    QList<const QWidget *> controls{form.Label7, form.Label6};
    for (const StationButton *button : form.stationButtons())
        controls.append(button);
    QMap<QString, Ink> result;
    for (const QWidget *control : controls) {
        const QRectF logical = control->geometry();
        const QRect area = QRectF(logical.topLeft() * ratio, logical.size() * ratio).toRect() & shown.rect();
        int first = -1, last = -1, columns = 0;
        for (int x = area.left(); x <= area.right(); ++x) {
            bool inked = false;
            for (int y = area.top(); y <= area.bottom() && !inked; ++y) {
                const QRgb a = shown.pixel(x, y), b = hidden.pixel(x, y);
                inked = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))})
                    > 96;
            }
            if (inked) {
                first = first < 0 ? x : first;
                last = x;
                ++columns;
            }
        }
        result.insert(control->objectName(), Ink{first < 0 ? 0 : last - first + 1, columns});
    }
    return result;
}

void hideText(QWidget *control, QPalette::ColorRole role)
{
    QPalette palette = control->palette();
    palette.setColor(role, Qt::transparent);
    control->setPalette(palette);
}

// Run as a program of its own (the scale is fixed when the application starts): shows the
// window, saves what it draws to SCREENSHOT and prints one line "name extent columns" for
// each line of text, and the mean colour difference of the banner from its reference picture.
int drawWindow(const QString &screenshot, const QString &reference)
{
    Form1 form(StationCatalogue::builtIn(), nullptr);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 2;
    const QImage shown = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (StationButton *button : form.stationButtons())
        hideText(button, QPalette::ButtonText);
    hideText(form.Label6, QPalette::WindowText);
    hideText(form.Label7, QPalette::WindowText);
    const QImage hidden = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (!shown.save(screenshot))
        return 3;

    const QMap<QString, Ink> ink = textInk(form, shown, hidden);
    for (auto it = ink.cbegin(); it != ink.cend(); ++it)
        std::printf("%s %d %d\n", qPrintable(it.key()), it->extent, it->columns);

    if (reference.isEmpty())
        return 0;
    const QImage picture = QImage(reference).convertToFormat(QImage::Format_RGB32);
    const QImage banner = shown.copy(QRect(form.Image1->pos() * shown.devicePixelRatio(), picture.size()));
    double difference = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb a = picture.pixel(x, y), b = banner.pixel(x, y);
            difference += channelGaps(a, b);
        }
    }
    std::printf("banner %.2f\n", difference / (3.0 * picture.width() * picture.height()));
    return 0;
}

struct Drawing {
    QMap<QString, Ink> ink;
    double bannerDifference = -1;
};

// Draws the window at a scale in a program of its own and reads what it printed; the window's
// picture stays in TARVONI_BINARY_DIR/screenshots/window-SCALEx.png for a look.
Drawing drawAtScale(const QString &scale, const QString &reference)
{
    const QString directory = QStringLiteral(TARVONI_BINARY_DIR "/screenshots");
    QDir().mkpath(directory);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--draw-window"), QStringLiteral("%1/window-%2x.png").arg(directory, scale),
                 reference});
    Drawing drawing;
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return drawing;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3)
            drawing.ink.insert(QString::fromLatin1(fields[0]), Ink{fields[1].toInt(), fields[2].toInt()});
        else if (fields.size() == 2 && fields[0] == "banner")
            drawing.bannerDifference = fields[1].toDouble();
    }
    return drawing;
}

} // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void picture_data();
    void picture();
    void nothingElseIsEmbedded();
    void everyStationHasItsLogo();
    void desktopIcon_data();
    void desktopIcon();
    void windowAtScale_data();
    void windowAtScale();
};

void TestArtwork::picture_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("cornerTransparent");
    for (const Picture &picture : kPictures) {
        QTest::newRow(picture.path) << QString::fromLatin1(picture.path) << QByteArray(picture.format)
                                    << QSize(picture.width, picture.height) << picture.cornerTransparent;
    }
}

// Each picture decodes from its resource path in its own format at exactly the size the control
// showing it is laid out for.
void TestArtwork::picture()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);
    QFETCH(bool, cornerTransparent);

    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.imageCount() > 1 ? reader.imageCount() : 1, 1);
    QCOMPARE(reader.size(), size);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);

    // At the design scale the window shows the form the picture was decoded to when the program
    // was built: the decoder's own image, pixel for pixel.
    QVERIFY(QFile::exists(QString(path).replace(QLatin1String(":/assets/"), QLatin1String(":/decoded/"))));
    QCOMPARE(designPicture(path, 1.0).toImage(), QPixmap::fromImage(image).toImage());

    // The panel and the banner are opaque so that the window's labels lie on them as designed;
    // lite and the icon are cut to their own shape.
    QCOMPARE(image.hasAlphaChannel() && qAlpha(image.pixel(0, 0)) == 0, cornerTransparent);
    if (cornerTransparent) {
        const QPoint centre(size.width() / 2, size.height() / 2);
        QCOMPARE(qAlpha(image.pixel(centre)), 255);
    }

    // The window's icon is a 256-colour one.
    if (format == "ico") {
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        }
        QVERIFY2(colours.size() <= 256, qPrintable(QString::number(colours.size())));
    }

    // Its double-size version for scaled screens: in the same format, twice the size, cut to the
    // same shape, and the same picture: brought down to the design size it differs from it by
    // little more than the smoothing does.
    QImageReader doubleReader(doubleSizePath(path));
    doubleReader.setDecideFormatFromContent(true);
    QCOMPARE(doubleReader.format(), format);
    const QImage doubled = doubleReader.read();
    QCOMPARE(doubled.size(), size * 2);
    QCOMPARE(doubled.hasAlphaChannel() && qAlpha(doubled.pixel(0, 0)) == 0, cornerTransparent);
    const QImage shrunk = doubled.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
    const QImage design = image.convertToFormat(QImage::Format_ARGB32);
    double difference = 0;
    int counted = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb a = design.pixel(x, y), b = shrunk.pixel(x, y);
            if (qAlpha(a) < 255 || qAlpha(b) < 255)
                continue;
            difference += channelGaps(a, b);
            ++counted;
        }
    }
    QVERIFY(counted > 0);
    const double mean = difference / (3.0 * counted);
    QVERIFY2(mean < 30, qPrintable(QString::number(mean)));
}

// The shared logos are embedded once, and nothing the window does not show rides along.
void TestArtwork::nothingElseIsEmbedded()
{
    QStringList embedded;
    QDirIterator it(QStringLiteral(":/assets"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        embedded.append(it.next());
    embedded.sort();

    QStringList expected;
    for (const Picture &picture : kPictures) {
        expected.append(QString::fromLatin1(picture.path));
        expected.append(doubleSizePath(QString::fromLatin1(picture.path)));
    }
    expected.sort();
    QCOMPARE(embedded, expected);
}

void TestArtwork::everyStationHasItsLogo()
{
    // Each station finds the logo its catalogue row names, and each logo is some station's: logo
    // A the two services', logo B the four channels', each of the other 23 a station's own.
    QMap<QString, QStringList> stationsByLogo;
    for (const Station &station : StationCatalogue::builtIn().stations()) {
        const QString path = logoPicturePath(station.logo);
        QVERIFY2(!QImage(path).isNull(), qPrintable(station.controlName + QLatin1String(": ") + path));
        stationsByLogo[path].append(station.controlName);
    }
    QCOMPARE(stationsByLogo.value(logoPicturePath(u"logo_a.jpg")), (QStringList{"comservice", "tns"}));
    QCOMPARE(stationsByLogo.value(logoPicturePath(u"logo_b.gif")),
             (QStringList{"lbclassical", "lbcon", "lbnonstop", "lbdj"}));
    QCOMPARE(stationsByLogo.size(), 25);

    QStringList embedded;
    QDirIterator it(QStringLiteral(":/assets/logos"), QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.contains(QLatin1String("@2x.")))
            embedded.append(path);
    }
    embedded.sort();
    QCOMPARE(embedded, stationsByLogo.keys());
}

void TestArtwork::desktopIcon_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 48, 64, 128, 256})
        QTest::newRow(qPrintable(QString::number(size))) << size;
}

// The desktop's application icon: a PNG of each size in the hicolor theme's folders.
void TestArtwork::desktopIcon()
{
    QFETCH(int, size);
    const QString path = QStringLiteral(TARVONI_SOURCE_DIR
                                        "/assets/icons/hicolor/%1x%1/apps/tarvoni-radio-player.png")
                             .arg(size);
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(path + QLatin1String(": ") + reader.errorString()));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
}

void TestArtwork::windowAtScale_data()
{
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QString>("banner"); // the picture the banner shows pixel for pixel
    QTest::newRow("1") << QStringLiteral("1") << QString::fromUtf16(kBannerPicture);
    QTest::newRow("1.25") << QStringLiteral("1.25") << QString();
    QTest::newRow("1.5") << QStringLiteral("1.5") << QString();
    QTest::newRow("2") << QStringLiteral("2") << doubleSizePath(QString::fromUtf16(kBannerPicture));
}

// The real window at each scale of the screen: every caption and both lines of small print come
// out as wide as at the design scale times the scale, with as many inked columns, so letters
// neither drift apart nor run together and no space is lost; where a picture's own pixels fit
// the screen's, it is shown pixel for pixel.
void TestArtwork::windowAtScale()
{
    QFETCH(QString, scale);
    QFETCH(QString, banner);

    static const Drawing design = drawAtScale(QStringLiteral("1"), QString());
    QCOMPARE(design.ink.size(), 29 + 2);
    const Drawing drawing = drawAtScale(scale, banner);
    QCOMPARE(drawing.ink.keys(), design.ink.keys());
    const double factor = scale.toDouble();
    for (auto it = design.ink.cbegin(); it != design.ink.cend(); ++it) {
        QVERIFY2(it->columns > 0, qPrintable(it.key()));
        // Scaled, the text is set in another font than the design's bitmap one: widths differ
        // by its own few per cent, more in the small print's run of spaces.
        const bool smallPrint = it.key().startsWith(u"Label");
        const Ink &at = drawing.ink.value(it.key());
        const double extent = at.extent / (factor * it->extent);
        const double columns = at.columns / (factor * it->columns);
        const QString figures =
            QStringLiteral("%1: width %2 (%3 of the design's times the scale), inked columns %4 (%5)")
                .arg(it.key())
                .arg(at.extent)
                .arg(extent, 0, 'f', 3)
                .arg(at.columns)
                .arg(columns, 0, 'f', 3);
        QVERIFY2(std::abs(extent - 1) <= (smallPrint ? 0.12 : 0.08), qPrintable(figures));
        QVERIFY2(std::abs(columns - 1) <= 0.15, qPrintable(figures));
    }
    if (!banner.isEmpty())
        QVERIFY2(drawing.bannerDifference >= 0 && drawing.bannerDifference < 1,
                 qPrintable(QString::number(drawing.bannerDifference)));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--draw-window") == 0)
        return drawWindow(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestArtwork test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_artwork.moc"
