#!/usr/bin/env bash
# Draws every picture of the window into this folder: the background gradient, the program icon
# (ICO plus the desktop's PNG sizes), the logo banner, the information panel and the station logos.
# Each picture is drawn twice: at its design size and at double size for screens that show two
# pixels per pixel of the design, as NAME@2x.EXT beside NAME.EXT. All sizes and positions below
# are in design pixels; the drawing steps multiply them by the scale being drawn.
#
# Needs ImageMagick 6 (`convert`) and the fonts of fonts-dejavu-core, fonts-dejavu-extra and
# fonts-wine. Only this script needs them; the program embeds the files it writes.
# The output is deterministic: running the script again writes the same bytes.
set -euo pipefail
cd "$(dirname "$0")"

DEJAVU=/usr/share/fonts/truetype/dejavu
WINE=/usr/share/wine/fonts
SANS=$DEJAVU/DejaVuSans.ttf
SANS_B=$DEJAVU/DejaVuSans-Bold.ttf
SANS_BO=$DEJAVU/DejaVuSans-BoldOblique.ttf
SANS_CB=$DEJAVU/DejaVuSansCondensed-Bold.ttf
SANS_CBO=$DEJAVU/DejaVuSansCondensed-BoldOblique.ttf
SANS_XL=$DEJAVU/DejaVuSans-ExtraLight.ttf
SERIF_B=$DEJAVU/DejaVuSerif-Bold.ttf
SERIF_BI=$DEJAVU/DejaVuSerif-BoldItalic.ttf
SERIF_CB=$DEJAVU/DejaVuSerifCondensed-Bold.ttf
SERIF_CBI=$DEJAVU/DejaVuSerifCondensed-BoldItalic.ttf
MONO_B=$DEJAVU/DejaVuSansMono-Bold.ttf
TAHOMA=$WINE/tahoma.ttf
TAHOMA_B=$WINE/tahomabd.ttf

for font in "$SANS" "$SANS_B" "$SANS_BO" "$SANS_CB" "$SANS_CBO" "$SANS_XL" "$SERIF_B" "$SERIF_BI" \
            "$SERIF_CB" "$SERIF_CBI" "$MONO_B" "$TAHOMA" "$TAHOMA_B"; do
    if [[ ! -f $font ]]; then
        echo "missing font $font (apt-get install fonts-dejavu-core fonts-dejavu-extra fonts-wine)" >&2
        exit 1
    fi
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The window's gradient; the banner and the panel are drawn on the piece of it they cover.
TOP_BLUE='rgb(105,134,194)'
BOTTOM_NAVY='rgb(5,37,98)'

# The scale being drawn (1 or 2) and the suffix of its files ("" or "@2x").
S=1
X=

# sc V: design pixels V at the scale being drawn (V may be fractional).
sc() {
    awk -v v="$1" -v s="$S" 'BEGIN { printf "%g", v * s }'
}

# MVG drawing steps given in design pixels are drawn through this transform: a design pixel's
# centre goes to the centre of the block of pixels that stands for it.
mvg_scale() {
    awk -v s="$S" 'BEGIN { printf "affine %g,0,0,%g,%g,%g", s, s, (s - 1) / 2, (s - 1) / 2 }'
}

# Same settings on every call so that nothing depends on the machine or the time of day.
im() {
    convert -respect-parentheses -define png:exclude-chunks=date,time "$@"
}

as_jpeg() { # as_jpeg SRC DST
    im "$1" -background white -alpha remove -alpha off -strip -sampling-factor 1x1 -quality 93 \
        -interlace none "$2"
}

as_gif() { # as_gif SRC DST: flat artwork, so no dithering
    im "$1" -background white -alpha remove -alpha off +dither -colors 255 -strip "$2"
}

as_png() { # as_png SRC DST
    im "$1" -strip "$2"
}

# tile OUT W H TOP BOTTOM RADIUS: a rounded tile shaded from TOP to BOTTOM on the white button
# face, with a soft highlight over its upper half.
tile() {
    local out=$1 w=$(($2 * S)) h=$(($3 * S)) top=$4 bottom=$5 r=$(($6 * S))
    im -size "${w}x${h}" xc:white \
        \( -size "${w}x${h}" "gradient:$top-$bottom" \) \
        \( -size "${w}x${h}" xc:black -fill white \
           -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) $r,$r" \) \
        -composite \
        \( -size "${w}x$((h / 2))" xc:'rgba(255,255,255,0.13)' \) \
        \( -size "${w}x${h}" xc:black -fill white \
           -draw "roundrectangle $S,$S $((w - 1 - S)),$((h - 1 - S)) $r,$r" \) \
        -compose over -gravity north -composite \
        "$out"
}

# text OUT FONT COLOUR W H TEXT [KERNING] [GRAVITY]: TEXT at the largest size that fits W x H,
# centred unless GRAVITY says otherwise.
text() {
    local out=$1 font=$2 colour=$3 w=$(($4 * S)) h=$(($5 * S)) words=$6 gravity=${8:-center}
    local kerning
    kerning=$(sc "${7:-0}")
    im -background none -fill "$colour" -font "$font" -kerning "$kerning" -size "${w}x${h}" \
        -gravity "$gravity" "label:$words" "$out"
}

# put BASE OVER GRAVITY X Y: composites OVER onto BASE in place.
put() {
    im "$1" "$2" -gravity "$3" -geometry "+$(($4 * S))+$(($5 * S))" -compose over -composite "$1"
}

# logo NAME W H TOP BOTTOM RADIUS then layers, each either a line of text
# "FONT|COLOUR|W|H|GRAVITY|X|Y|TEXT[|KERNING]" (TEXT fitted into W x H, placed by GRAVITY X Y) or
# "DRAW|MVG" (drawn onto the tile). Draws one station logo to $WORK/NAME.png.
logo() {
    local name=$1 w=$2 h=$3 top=$4 bottom=$5 r=$6
    shift 6
    local base=$WORK/$name.png i=0
    tile "$base" "$w" "$h" "$top" "$bottom" "$r"
    local layer font colour tw th gravity x y words kerning
    for layer in "$@"; do
        if [[ $layer == DRAW\|* ]]; then
            im "$base" -draw "$(mvg_scale) ${layer#DRAW|}" "$base"
            continue
        fi
        IFS='|' read -r font colour tw th gravity x y words kerning <<<"$layer"
        i=$((i + 1))
        text "$WORK/$name-$i.png" "$font" "$colour" "$tw" "$th" "$words" "${kerning:-0}"
        put "$base" "$WORK/$name-$i.png" "$gravity" "$x" "$y"
    done
}

mkdir -p logos icons

# crop_under OUT W H X Y: the piece of the background a picture of W x H at X, Y lies on.
crop_under() {
    im "$WORK/background.png" -crop "$(($2 * S))x$(($3 * S))+$(($4 * S))+$(($5 * S))" +repage "$1"
}

# ---------------------------------------------------------------------------------------------
# Background: the window's gradient, light blue at the top to dark navy at the bottom.
background() {
    im -size "$((720 * S))x$((648 * S))" "gradient:$TOP_BLUE-$BOTTOM_NAVY" "$WORK/background.png"
    as_jpeg "$WORK/background.png" "background$X.jpg"
    # The background was 720 x 648; the banner and the panel take the pieces they lie on.
    crop_under "$WORK/under_banner.png" 255 80 0 8
    crop_under "$WORK/under_panel.png" 293 125 344 8
}

# ---------------------------------------------------------------------------------------------
# Icon: a broadcast mast sending waves out of a round blue tile, drawn at each size with the
# strokes widened for the small ones so that 16 px still reads as a radio mast.
# icon_mvg N: the icon's drawing at N x N pixels, one MVG primitive a line. The design is on a
# 256-unit grid; the points are scaled here because ImageMagick rejects polylines drawn under an
# MVG scale, and stroked paths come out closed, so arcs are polylines.
icon_mvg() {
    awk -v n="$1" 'function p(x, y) { return sprintf(" %.3f,%.3f", x * s, y * s) }
    function arc(r, half,   side, i, a, line) {
        for (side = -1; side <= 1; side += 2) {
            line = "polyline"
            for (i = 0; i <= 16; i++) {
                a = (-half + i * half / 8) * 3.14159265358979 / 180
                line = line p(128 + side * r * cos(a), 100 + r * sin(a))
            }
            print pen line
        }
    }
    BEGIN {
        s = n / 256
        # strokes are widened at the small sizes so that 16 px still reads as a mast with waves
        stroke = n <= 16 ? 22 : n <= 32 ? 20 : n <= 48 ? 18 : 16
        dot = n <= 16 ? 32 : n <= 32 ? 24 : n <= 48 ? 22 : 20
        rim = 256 / n < 4 ? 4 : 256 / n
        printf "fill none stroke rgba(255,255,255,0.35) stroke-width %.3f roundrectangle%s%s %.3f,%.3f\n", \
            rim * s, p(6, 6), p(249, 249), 54 * s, 54 * s
        pen = sprintf("fill none stroke white stroke-width %.3f stroke-linecap round " \
                      "stroke-linejoin round ", stroke * s)
        # 16 px has room for one pair of waves only, set wide of the dot
        if (n >= 24) { arc(54, 42); arc(92, 40) } else arc(80, 38)
        print pen "polyline" p(86, 232) p(128, 112) p(170, 232)
        print pen "line" p(104, 184) p(152, 184)
        print "fill rgb(255,184,40) stroke none circle" p(128, 100) p(128, 100 - dot)
    }'
}

# icon N OUT: the icon, a broadcast mast sending waves out of a rounded blue tile.
icon() {
    local n=$1 out=$2 line draws=() corner
    while read -r line; do
        draws+=(-draw "$line")
    done < <(icon_mvg "$n")
    corner=$(awk -v n="$n" 'BEGIN { printf "%.3f,%.3f %.3f,%.3f %.3f,%.3f", \
        4 * n / 256, 4 * n / 256, 251 * n / 256, 251 * n / 256, 56 * n / 256, 56 * n / 256 }')
    im -size "${n}x${n}" 'gradient:rgb(84,150,232)-rgb(8,40,112)' \
        \( -size "${n}x${n}" xc:black -fill white -draw "roundrectangle $corner" \) \
        -alpha off -compose copyopacity -composite -compose over \
        "${draws[@]}" "$out"
}
# The desktop's icons, one PNG a size; they do not depend on the scale.
desktop_icons() {
    local n
    for n in 16 32 48 64 128 256; do
        mkdir -p "icons/hicolor/${n}x${n}/apps"
        icon "$n" "$WORK/icon$n.png"
        as_png "$WORK/icon$n.png" "icons/hicolor/${n}x${n}/apps/tarvoni-radio-player.png"
    done
}
# The window's own icon: 32 x 32, one image, 256 colours with a transparency mask.
# A 256-colour icon has a 1-bit mask: the alpha is cut at half first, else the mask comes out empty.
window_icon() {
    local n=$((32 * S))
    icon "$n" "$WORK/icon$n.png"
    im "$WORK/icon$n.png" -channel A -threshold 50% +channel +dither -colors 255 -strip \
        "$WORK/icon$n.ico"
    cp "$WORK/icon$n.ico" "icon$X.ico"
}

# ---------------------------------------------------------------------------------------------
# Banner: the icon as the mark, then the name, drawn on the piece of gradient it covers.
shadowed() { # shadowed IMAGE: gives IMAGE a soft dark shadow, in place
    im "$1" \( +clone -background 'rgb(0,16,48)' -shadow "70x$(sc 1.5)+$S+$((2 * S))" \) +swap \
        -background none -layers merge +repage "$1"
}
banner() {
    icon $((62 * S)) "$WORK/mark.png"
    shadowed "$WORK/mark.png"
    text "$WORK/name.png" "$SANS_B" white 170 47 'Tarvoni' -0.5 west
    shadowed "$WORK/name.png"
    text "$WORK/tagline.png" "$SANS_B" 'rgb(255,196,64)' 168 15 'RADIO PLAYER' 4.4 west
    shadowed "$WORK/tagline.png"
    cp "$WORK/under_banner.png" "$WORK/banner.png"
    put "$WORK/banner.png" "$WORK/mark.png" northwest 7 7
    put "$WORK/banner.png" "$WORK/name.png" northwest 78 5
    put "$WORK/banner.png" "$WORK/tagline.png" northwest 80 53
    as_gif "$WORK/banner.png" "banner$X.gif"
}

# ---------------------------------------------------------------------------------------------
# Information panel: a blue field in a white rounded frame with its title in a tab on the top
# edge. The window's white bold labels sit at x 24..273, y 16..121 inside it; the frame keeps
# 12 px clear on the left, where the station button next to the panel overlaps it.
panel() {
    local size="$((293 * S))x$((125 * S))" t
    t=$(mvg_scale)
    im -size "$size" 'gradient:rgb(34,78,158)-rgb(12,40,104)' \
        \( -size "$size" xc:black -fill white -draw "$t roundrectangle 13,6 283,121 9,9" \) \
        -alpha off -compose copyopacity -composite "$WORK/panel_field.png"
    cp "$WORK/under_panel.png" "$WORK/panel.png"
    put "$WORK/panel.png" "$WORK/panel_field.png" northwest 0 0
    im "$WORK/panel.png" -fill none \
        -stroke 'rgba(255,255,255,0.25)' -strokewidth 1 \
        -draw "$t roundrectangle 15.5,8.5 281.5,119.5 7,7" \
        -stroke white -strokewidth 2 -draw "$t roundrectangle 13,6 283,121 9,9" \
        -stroke none -fill white -draw "$t roundrectangle 22,0 93,12 6,6" \
        "$WORK/panel.png"
    # Tahoma's bold face is bold only in its small hinted sizes; at double size the regular
    # outlines are thickened instead.
    if [[ $S == 1 ]]; then
        text "$WORK/panel_title.png" "$TAHOMA_B" 'rgb(16,48,112)' 71 13 'Information'
    else
        im -background none -fill 'rgb(16,48,112)' -stroke 'rgb(16,48,112)' -strokewidth "$(sc 0.5)" \
            -font "$TAHOMA" -size "$((71 * S))x$((13 * S))" -gravity center label:Information \
            "$WORK/panel_title.png"
    fi
    im "$WORK/panel_title.png" -trim +repage "$WORK/panel_title.png"
    put "$WORK/panel.png" "$WORK/panel_title.png" north -89 2
    as_gif "$WORK/panel.png" "panel$X.gif"
}

# ---------------------------------------------------------------------------------------------
# Station logos. They sit centred on white 81 x 81 buttons above the caption, so each is a
# coloured tile of its own with the station's name set large enough to read at its size.
GOLD='rgb(255,204,72)'
station_logos() {
    logo asura 68 35 'rgb(132,52,186)' 'rgb(66,14,110)' 5 \
        "$SANS_B|white|62|19|north|0|2|ASURA|1" \
        "$SANS_B|$GOLD|40|12|south|0|1|FM|2"
    logo city 68 30 'rgb(52,52,52)' 'rgb(8,8,8)' 4 \
        "$SANS_B|rgb(255,214,0)|40|22|west|4|0|CITY" \
        "$SANS_CB|white|20|13|east|4|0|FM"
    logo lakhada 54 68 'rgb(255,156,36)' 'rgb(214,84,0)' 6 \
        "$SERIF_B|white|48|24|north|0|6|LAK" \
        "$SERIF_B|white|48|18|north|0|29|HADA|1" \
        "$SANS_B|rgb(110,40,0)|44|11|south|0|4|RADIO|1"
    logo rangiri 70 29 'rgb(156,24,36)' 'rgb(88,0,12)' 4 \
        "$SERIF_B|$GOLD|64|16|north|0|1|RANGIRI|0.5" \
        "$SANS_B|white|40|12|south|0|0|FM|1"
    logo neth 42 68 'rgb(64,68,76)' 'rgb(20,22,28)' 6 \
        "$SANS_B|rgb(64,220,255)|34|32|north|0|4|N" \
        "$SANS_CB|white|36|12|north|0|38|NETH|0.5" \
        "$SANS_B|$GOLD|30|13|south|0|4|FM|1"
    logo sirasa 68 63 'rgb(228,36,44)' 'rgb(140,0,20)' 7 \
        "$SERIF_BI|white|62|26|north|0|10|Sirasa" \
        "$SANS_B|rgb(255,230,0)|40|16|south|0|9|FM|3"
    logo sns 68 27 'rgb(26,140,70)' 'rgb(0,82,40)' 4 \
        "$SANS_B|white|50|19|west|5|1|SNS|2" \
        "DRAW|fill rgb(255,204,72) rectangle 54,6 57,20 fill rgb(170,20,40) rectangle 59,6 62,20"
    logo logo_a 55 55 'rgb(26,62,140)' 'rgb(8,30,84)' 6 \
        "$SERIF_B|$GOLD|45|21|north|0|4|NR" \
        "$SANS_CB|white|51|11|north|0|26|NATIONAL|0.3" \
        "$SANS_CB|white|40|11|north|0|38|RADIO|1"
    logo yfm 68 61 'rgb(255,226,20)' 'rgb(255,170,0)' 7 \
        "$SANS_B|rgb(28,28,28)|44|36|north|0|5|Y" \
        "$SANS_B|rgb(28,28,28)|36|14|south|0|7|FM|3"
    logo efm 15 42 'rgb(0,176,236)' 'rgb(0,104,176)' 3
    text "$WORK/efm-text.png" "$SANS_B" white 40 15 'eFM'
    im "$WORK/efm-text.png" -rotate -90 "$WORK/efm-text.png"
    put "$WORK/efm.png" "$WORK/efm-text.png" center 0 0
    logo lite 42 45 'rgb(112,186,28)' 'rgb(38,112,8)' 20 \
        "$SANS_B|white|34|20|north|0|8|lite" \
        "$SANS_B|white|22|12|south|0|7|FM"
    logo yes 68 67 'rgb(255,132,16)' 'rgb(222,62,0)' 7 \
        "$SANS_B|white|58|28|north|0|10|YES|1" \
        "$SANS_B|rgb(255,240,160)|34|15|south|0|10|FM|3"
    logo tnl 60 51 'rgb(44,44,44)' 'rgb(0,0,0)' 5 \
        "$SANS_B|rgb(236,36,36)|52|26|north|0|5|TNL|1" \
        "$SANS_CB|white|48|11|south|0|6|ROCKS|2"
    logo shakthi 68 58 'rgb(206,10,120)' 'rgb(122,0,84)' 7 \
        "$SERIF_BI|rgb(255,230,80)|62|22|north|0|10|Shakthi" \
        "$SANS_B|white|30|14|south|0|8|FM|3"
    logo sinhalaya 70 33 'rgb(86,52,160)' 'rgb(40,18,92)' 4 \
        "$SERIF_B|white|64|16|north|0|2|Sinhalaya" \
        "$SANS_B|$GOLD|44|11|south|0|2|RADIO|1"
    logo miyurusara 60 60 'rgb(226,88,130)' 'rgb(160,30,84)' 6 \
        "$SERIF_BI|white|54|18|north|0|6|Miyuru" \
        "$SERIF_BI|white|40|16|north|0|23|sara" \
        "$SANS_B|rgb(255,220,230)|44|11|south|0|5|RADIO|1"
    logo j9 60 60 'rgb(222,16,16)' 'rgb(222,16,16)' 29 \
        "$SANS_B|white|40|28|north|0|10|J9" \
        "$SANS_B|white|40|11|south|0|10|RADIO|1"
    logo kirula 60 60 'rgb(162,14,34)' 'rgb(92,0,20)' 6 \
        "DRAW|fill rgb(255,204,72) polygon 18,20 18,9 24,15 30,6 36,15 42,9 42,20" \
        "$SERIF_B|$GOLD|54|16|north|0|24|Kirula" \
        "$SANS_B|white|44|11|south|0|5|RADIO|1"
    logo prabhavi 60 60 'rgb(255,170,20)' 'rgb(228,72,0)' 6 \
        "DRAW|fill rgb(255,236,120) circle 30,18 30,9" \
        "DRAW|fill rgba(255,236,120,0.6) polygon 30,2 32,6 28,6 polygon 14,18 18,16 18,20" \
        "DRAW|fill rgba(255,236,120,0.6) polygon 46,18 42,16 42,20" \
        "$SERIF_BI|white|56|16|north|0|28|Prabhavi" \
        "$SANS_B|rgb(110,30,0)|44|11|south|0|3|RADIO|1"
    logo minsara 70 28 'rgb(20,34,86)' 'rgb(0,8,40)' 4 \
        "$SANS_B|rgb(90,224,255)|62|13|north|0|1|MINSARA|1" \
        "$SANS_B|white|44|11|south|0|1|RADIO|1"
    logo nilwala 60 60 'rgb(0,116,206)' 'rgb(0,58,140)' 6 \
        "$SERIF_BI|white|54|17|north|0|10|Nilwala" \
        "DRAW|fill none stroke rgb(140,220,255) stroke-width 2 path 'M 8,36 Q 15,31 22,36 T 36,36 T 52,36'" \
        "$SANS_B|rgb(190,236,255)|44|11|south|0|6|RADIO|1"
    logo threesinhala 60 60 'rgb(44,150,44)' 'rgb(8,88,20)' 6 \
        "$SANS_B|rgb(255,226,40)|30|28|north|0|3|3" \
        "$SANS_B|white|54|13|north|0|32|Sinhala" \
        "$SANS_B|rgb(210,255,200)|44|11|south|0|3|RADIO|1"
    logo ravsfm 60 60 'rgb(168,20,168)' 'rgb(88,0,110)' 6 \
        "$SANS_BO|white|54|22|north|0|9|Rav's" \
        "$SANS_B|rgb(120,240,255)|30|16|south|0|9|FM|3"
    logo ahamu 60 60 'rgb(58,68,90)' 'rgb(20,24,40)' 6 \
        "$SANS_B|rgb(255,156,40)|54|18|north|0|14|Ahamu" \
        "$SANS_B|white|44|11|south|0|8|RADIO|1"
    logo logo_b 60 60 'rgb(0,140,124)' 'rgb(0,74,84)' 6 \
        "$SANS_B|white|44|22|north|0|4|LC|1" \
        "$SANS_CB|$GOLD|52|11|north|0|27|LANKA|1.5" \
        "$SANS_CB|white|54|11|north|0|39|CHANNELS|0.3"

    # lite's tile is its own shape: outside it the logo is transparent.
    im -size "$((42 * S))x$((45 * S))" xc:black -fill white \
        -draw "roundrectangle 0,0 $((42 * S - 1)),$((45 * S - 1)) $((20 * S)),$((20 * S))" -threshold 50% \
        "$WORK/lite_shape.png"
    im "$WORK/lite.png" "$WORK/lite_shape.png" -alpha off -compose copyopacity -composite \
        "$WORK/lite.png"
    im "$WORK/lite.png" -strip +dither -colors 255 "logos/lite$X.gif"

    local name
    for name in asura city lakhada neth sirasa sns yfm yes tnl shakthi j9 nilwala threesinhala ravsfm \
                ahamu logo_b; do
        as_gif "$WORK/$name.png" "logos/$name$X.gif"
    done
    for name in rangiri efm sinhalaya miyurusara kirula prabhavi minsara logo_a; do
        as_jpeg "$WORK/$name.png" "logos/$name$X.jpg"
    done
}

# ---------------------------------------------------------------------------------------------
desktop_icons
for S in 1 2; do
    X=$([[ $S == 1 ]] || echo "@${S}x")
    background
    window_icon
    banner
    panel
    station_logos
done
