#include "assets/artwork.h"
#include "player/station_catalogue.h"

#include <QDirIterator>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QTest>

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

} // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void picture_data();
    void picture();
    void nothingElseIsEmbedded();
    void everyStationHasItsLogo_data();
    void everyStationHasItsLogo();
    void desktopIcon_data();
    void desktopIcon();
};

void TestArtwork::picture_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("cornerTransparent");
    for (const Picture &picture : kPictures) {
        QTest::newRow(picture.path) << QString::fromLatin1(picture.path)
                                    << QByteArray(picture.format)
                                    << QSize(picture.width, picture.height)
                                    << picture.cornerTransparent;
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
    for (const Picture &picture : kPictures)
        expected.append(QString::fromLatin1(picture.path));
    expected.sort();
    QCOMPARE(embedded, expected);
}

void TestArtwork::everyStationHasItsLogo_data()
{
    QTest::addColumn<QString>("controlName");
    QTest::addColumn<QString>("logo");
    const std::span<const StationRow> rows = StationCatalogue::rows();
    QCOMPARE(rows.size(), std::size_t(29));
    for (const StationRow &row : rows) {
        const QString name =
            QString::fromUtf8(row.controlName.data(), qsizetype(row.controlName.size()));
        QString logo = name;
        if (name == u"comservice" || name == u"tns")
            logo = QStringLiteral("logo_a");
        else if (name.startsWith(u"lb"))
            logo = QStringLiteral("logo_b");
        QTest::newRow(qPrintable(name)) << name << logo;
    }
    QTest::newRow("not a station") << QStringLiteral("exit") << QString();
}

// Each button of the catalogue finds a logo that exists; the two shared logos go to their groups.
void TestArtwork::everyStationHasItsLogo()
{
    QFETCH(QString, controlName);
    QFETCH(QString, logo);

    const QString path = stationLogoPath(controlName);
    if (logo.isEmpty()) {
        QVERIFY(path.isEmpty());
        return;
    }
    QVERIFY2(path.startsWith(QLatin1String(":/assets/logos/") + logo + QLatin1Char('.')),
             qPrintable(path));
    QVERIFY2(!QImage(path).isNull(), qPrintable(path));
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
    const QString path =
        QStringLiteral(TARVONI_SOURCE_DIR "/assets/icons/hicolor/%1x%1/apps/tarvoni-radio-player.png")
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

QTEST_MAIN(TestArtwork)
#include "test_artwork.moc"
