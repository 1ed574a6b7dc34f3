#pragma once

#include <QFont>

namespace tarvoni {

// The fonts the window was drawn with, sized in pixels at 96 dpi so that every label fits its
// rectangle whatever the screen's dpi. Debian's fonts-wine carries all four; where one is
// missing a close sans-serif stands in.
struct DesignFonts {
    QFont dialog;      // MS Sans Serif 8.25 pt: captions and the small print
    QFont tahoma;      // Tahoma 8.25 pt: mini, exit
    QFont tahomaBold;  // Tahoma 8.25 pt bold: the panel labels
    QFont playGlyph;   // Webdings 14.25 pt, or a sans-serif for the triangle stand-in
    QFont stopGlyph;   // Wingdings 11.25 pt, or a sans-serif for the square stand-in
    bool symbolFonts = false; // Webdings and Wingdings are both there

    // Loads the fonts into the application once; later calls return the same fonts.
    static const DesignFonts &load();
};

} // namespace tarvoni
