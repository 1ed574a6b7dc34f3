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

QFont pixelFont(const QString &family, int pixelSize, qreal ratio, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    // These fonts ask for crisp, fully hinted glyphs at small sizes; smoothed, their bold
    // face comes out as thin as the regular one. On a scaled screen the glyphs are larger than
    // the sizes their bitmaps and hints are made for, and there they are smoothed as other text.
    if (pixelSize <= kCrispUpTo && unscaled(ratio)) {
        font.setStyleStrategy(QFont::NoAntialias);
        font.setHintingPreference(QFont::PreferFullHinting);
    }
    return font;
}

QFont sansSerif(int pixelSize, qreal ratio, bool bold = false)
{
    QFont font = pixelFont(QStringLiteral("DejaVu Sans"), pixelSize, ratio, bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// The fonts for a screen of the given device pixel ratio.
DesignFonts fontsFor(const Available &found, qreal ratio)
{
    const auto tahoma = [&](bool bold) {
        if (!found.tahoma)
            return sansSerif(11, ratio, bold);
        QFont font = pixelFont(QStringLiteral("Tahoma"), 11, ratio, bold);
        // Tahoma's bold face is bold only in its hinted small sizes; scaled, its outlines are
        // as thin as the regular ones, so there the regular face is thickened instead.
        if (bold && !unscaled(ratio))
            font.setStyleName(QStringLiteral("Regular"));
        return font;
    };
    DesignFonts result;
    // 8.25 pt is 11 px at 96 dpi, 11.25 pt is 15 px, 14.25 pt is 19 px.
    if (found.dialog && unscaled(ratio))
        result.dialog = pixelFont(QStringLiteral("MS Sans Serif"), 11, ratio);
    else
        result.dialog = tahoma(false);
    result.tahoma = tahoma(false);
    result.tahomaBold = tahoma(true);
    result.symbolFonts = found.symbols;
    result.playGlyph = found.symbols ? pixelFont(QStringLiteral("Webdings"), 19, ratio)
                                     : sansSerif(13, ratio);
    result.stopGlyph = found.symbols ? pixelFont(QStringLiteral("Wingdings"), 15, ratio)
                                     : sansSerif(13, ratio);
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
        Available found;
        found.tahoma = addFont(QStringLiteral("tahoma.ttf"), QStringLiteral("Tahoma"));
        addFont(QStringLiteral("tahomabd.ttf"), QStringLiteral("Tahoma"));
        found.dialog = addFont(QStringLiteral("ms_sans_serif.ttf"), QStringLiteral("MS Sans Serif"));
        const bool webdings = addFont(QStringLiteral("webdings.ttf"), QStringLiteral("Webdings"));
        const bool wingdings = addFont(QStringLiteral("wingding.ttf"), QStringLiteral("Wingdings"));
        found.symbols = webdings && wingdings;
        return fontsFor(found, qApp ? qApp->devicePixelRatio() : 1.0);
    }();
    return fonts;
}

} // namespace tarvoni
