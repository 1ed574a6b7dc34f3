#include "design_fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <thread>

namespace tarvoni {

namespace {

const char *const kFontDir = "/usr/share/wine/fonts";
constexpr int kCrispUpTo = 16; // pixels

// The design's fonts, by the names fonts-wine gives them.
const QString kTahoma = QStringLiteral("Tahoma");
const QString kDialog = QStringLiteral("MS Sans Serif");
const QString kWebdings = QStringLiteral("Webdings");
const QString kWingdings = QStringLiteral("Wingdings");

// The stations send their titles in Sinhala and Tamil, which the design's fonts have no letters
// for. These draw them (Debian's fonts-noto-ui-core), named so that Qt takes them whatever
// the desktop would pick; their UI cut keeps a line as high as Tahoma's.
const QStringList kScriptFonts{QStringLiteral("Noto Sans Sinhala UI"), QStringLiteral("Noto Sans Tamil UI")};

// Adds the font file to the application and tells whether `family` is now available.
bool addFont(const QString &file, const QString &family)
{
    const int id = QFontDatabase::addApplicationFont(QDir(QString::fromLatin1(kFontDir)).filePath(file));
    return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(family);
}

// Which of the design's fonts the application has.
struct Available {
    bool tahoma = false;
    bool dialog = false;
    bool symbols = false;
};

// A ratio of 1 draws the design pixel for pixel.
bool unscaled(qreal ratio)
{
    return qFuzzyCompare(ratio, 1.0);
}

// The design's fonts ask for crisp, fully hinted glyphs at small sizes; smoothed, their bold
// face comes out as thin as the regular one. On a scaled screen the glyphs are larger than the
// sizes their bitmaps and hints are made for, and there they are smoothed as other text.
bool crisp(int pixelSize, qreal ratio)
{
    return pixelSize <= kCrispUpTo && unscaled(ratio);
}

// Tells the font configuration to draw the design's own fonts unsmoothed, at every size: the
// play glyph's 19 pixels too, which have always taken the window's unsmoothed drawing. A
// QFont::NoAntialias on the window's fonts would do it as well, but it would also reach the
// fonts that stand in for the letters these lack: Sinhala drawn unsmoothed at 11 pixels fills
// in its loops.
void drawUnsmoothed(const QStringList &families)
{
    QByteArray rules = "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">"
                       "<fontconfig>";
    for (const QString &family : families) {
        rules += "<match target=\"font\"><test name=\"family\"><string>" + family.toUtf8()
            + "</string></test><edit name=\"antialias\" mode=\"assign\"><bool>false</bool></edit></match>";
    }
    rules += "</fontconfig>";
    FcConfigParseAndLoadFromMemory(FcConfigGetCurrent(), reinterpret_cast<const FcChar8 *>(rules.constData()),
                                   FcTrue);
}

QFont pixelFont(const QString &family, int pixelSize, qreal ratio, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    if (crisp(pixelSize, ratio))
        font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// A font for text, with the fonts for the stations' scripts behind it.
QFont textFont(QFont font)
{
    font.setFamilies(font.families() + kScriptFonts);
    return font;
}

// The desktop's font, where the design's is missing: unsmoothed by the font itself, since a rule
// for it would reach the desktop's text in this program too.
QFont sansSerif(int pixelSize, qreal ratio, bool bold = false)
{
    QFont font = pixelFont(QStringLiteral("DejaVu Sans"), pixelSize, ratio, bold);
    font.setStyleHint(QFont::SansSerif);
    if (crisp(pixelSize, ratio))
        font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// The fonts for a screen of the given device pixel ratio.
DesignFonts fontsFor(const Available &found, qreal ratio)
{
    const auto tahoma = [&](bool bold) {
        if (!found.tahoma)
            return textFont(sansSerif(11, ratio, bold));
        QFont font = pixelFont(kTahoma, 11, ratio, bold);
        // Tahoma's bold face is bold only in its hinted small sizes; scaled, its outlines are
        // as thin as the regular ones, so there the regular face is thickened instead.
        if (bold && !unscaled(ratio))
            font.setStyleName(QStringLiteral("Regular"));
        return textFont(font);
    };
    DesignFonts result;
    // 8.25 pt is 11 px at 96 dpi, 11.25 pt is 15 px, 14.25 pt is 19 px.
    if (found.dialog && unscaled(ratio))
        result.dialog = textFont(pixelFont(kDialog, 11, ratio));
    else
        result.dialog = tahoma(false);
    result.tahoma = tahoma(false);
    result.tahomaBold = tahoma(true);
    result.symbolFonts = found.symbols;
    result.playGlyph = found.symbols ? pixelFont(kWebdings, 19, ratio) : sansSerif(13, ratio);
    result.stopGlyph = found.symbols ? pixelFont(kWingdings, 15, ratio) : sansSerif(13, ratio);
    return result;
}

// Reading the desktop's font configuration, on a thread of its own.
class FontConfigurationReader {
public:
    ~FontConfigurationReader() { wait(); }

    void start()
    {
        if (!m_thread.joinable())
            m_thread = std::thread([] { FcInit(); });
    }

    void wait()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
};

FontConfigurationReader &fontConfigurationReader()
{
    static FontConfigurationReader reader;
    return reader;
}

} // namespace

void DesignFonts::prepare()
{
    fontConfigurationReader().start();
}

const DesignFonts &DesignFonts::load()
{
    static const DesignFonts fonts = [] {
        // Qt reads the configuration when the first font is added; it is read once.
        fontConfigurationReader().wait();
        const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
        if (unscaled(ratio))
            drawUnsmoothed({kTahoma, kDialog, kWebdings, kWingdings});
        Available found;
        found.tahoma = addFont(QStringLiteral("tahoma.ttf"), kTahoma);
        addFont(QStringLiteral("tahomabd.ttf"), kTahoma);
        found.dialog = addFont(QStringLiteral("ms_sans_serif.ttf"), kDialog);
        const bool webdings = addFont(QStringLiteral("webdings.ttf"), kWebdings);
        const bool wingdings = addFont(QStringLiteral("wingding.ttf"), kWingdings);
        found.symbols = webdings && wingdings;
        return fontsFor(found, ratio);
    }();
    return fonts;
}

} // namespace tarvoni
