#include "design_fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QStringList>

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

QFont pixelFont(const QString &family, int pixelSize, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    // These fonts ask for crisp, fully hinted glyphs at small sizes; smoothed, their bold
    // face comes out as thin as the regular one.
    if (pixelSize <= kCrispUpTo) {
        font.setStyleStrategy(QFont::NoAntialias);
        font.setHintingPreference(QFont::PreferFullHinting);
    }
    return font;
}

QFont sansSerif(int pixelSize, bool bold = false)
{
    QFont font = pixelFont(QStringLiteral("DejaVu Sans"), pixelSize, bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace

const DesignFonts &DesignFonts::load()
{
    static const DesignFonts fonts = [] {
        const bool tahoma = addFont(QStringLiteral("tahoma.ttf"), QStringLiteral("Tahoma"));
        addFont(QStringLiteral("tahomabd.ttf"), QStringLiteral("Tahoma"));
        const bool dialog = addFont(QStringLiteral("ms_sans_serif.ttf"), QStringLiteral("MS Sans Serif"));
        const bool webdings = addFont(QStringLiteral("webdings.ttf"), QStringLiteral("Webdings"));
        const bool wingdings = addFont(QStringLiteral("wingding.ttf"), QStringLiteral("Wingdings"));

        DesignFonts result;
        // 8.25 pt is 11 px at 96 dpi, 11.25 pt is 15 px, 14.25 pt is 19 px.
        result.dialog = dialog ? pixelFont(QStringLiteral("MS Sans Serif"), 11) : sansSerif(11);
        result.tahoma = tahoma ? pixelFont(QStringLiteral("Tahoma"), 11) : sansSerif(11);
        result.tahomaBold = tahoma ? pixelFont(QStringLiteral("Tahoma"), 11, true) : sansSerif(11, true);
        result.symbolFonts = webdings && wingdings;
        result.playGlyph = result.symbolFonts ? pixelFont(QStringLiteral("Webdings"), 19) : sansSerif(13);
        result.stopGlyph = result.symbolFonts ? pixelFont(QStringLiteral("Wingdings"), 15) : sansSerif(13);
        return result;
    }();
    return fonts;
}

} // namespace tarvoni
