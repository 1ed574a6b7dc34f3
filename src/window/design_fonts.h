#pragma once

#include <QFont>

namespace tarvoni {

// The fonts the window was drawn with, sized in pixels at 96 dpi so that every label fits its
// rectangle whatever the screen's dpi. Debian's fonts-wine carries all four; where one is
// missing a close sans-serif stands in.
//
// MS Sans Serif is a bitmap font: its glyphs cannot be scaled, so on a screen that draws more
// than one pixel per pixel of the design (a device pixel ratio other than 1) they would come out
// at their design size on a scaled pitch, with gaps between the letters. There the captions and
// the small print are set in Tahoma, its outline successor for dialogs, whose widths at 11 px
// are within a few per cent of its own. Likewise the crisp, unsmoothed glyphs that suit the
// small fonts at 96 dpi are kept to a ratio of 1; on scaled screens text is smoothed.
//
// The stations' titles come in Sinhala and Tamil too; the text fonts name the fonts that have
// those letters after their own, and those are drawn smoothed beside the design's crisp ones.
struct DesignFonts {
    QFont dialog;             // MS Sans Serif 8.25 pt (Tahoma when scaled): captions and the small print
    QFont tahoma;             // Tahoma 8.25 pt: mini, exit
    QFont tahomaBold;         // Tahoma 8.25 pt bold: the panel labels
    QFont playGlyph;          // Webdings 14.25 pt, or a sans-serif for the triangle stand-in
    QFont stopGlyph;          // Wingdings 11.25 pt, or a sans-serif for the square stand-in
    bool symbolFonts = false; // Webdings and Wingdings are both there

    // Starts reading the desktop's font configuration (some milliseconds) on a thread of its
    // own, so that it is done while the application starts up; call it before the application
    // is made. Optional: load() reads it otherwise.
    static void prepare();

    // Loads the fonts into the application once, for the application's device pixel ratio;
    // later calls return the same fonts.
    static const DesignFonts &load();
};

} // namespace tarvoni
