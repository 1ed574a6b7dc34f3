#!/usr/bin/env bash
# Renders the artwork for a look: a contact sheet of every picture and a rough mock of the window
# (background, banner, information panel with sample labels, the station grid on white buttons).
# Usage: preview_artwork.sh [OUTPUT_DIR]  (default /tmp; writes art_contact.png and art_mock.png)
set -euo pipefail
cd "$(dirname "$0")"
out=${1:-/tmp}
TAHOMA=/usr/share/wine/fonts/tahoma.ttf
TAHOMA_B=/usr/share/wine/fonts/tahomabd.ttf

# Stations in grid order: control name, caption, logo file. Rows 1-2 use columns 1-4.
stations=(
    "asura|Asura FM|asura.gif" "city|City FM|city.gif" "lakhada|Lakhada|lakhada.gif"
    "rangiri|Rangiri FM|rangiri.jpg" "neth|Neth FM|neth.gif" "sirasa|Sirasa FM|sirasa.gif"
    "sns|Sinhala National Service|sns.gif" "comservice|Commercial Service|logo_a.jpg"
    "yfm|Y FM|yfm.gif" "efm|e FM|efm.jpg" "lite|Lite FM|lite.gif" "yes|Yes FM|yes.gif"
    "tnl|TNL Rocks|tnl.gif" "tns|Tamil National|logo_a.jpg" "shakthi|Shakthi FM|shakthi.gif"
    "sinhalaya|Sinhalaya Radio|sinhalaya.jpg" "miyurusara|Miyurusara|miyurusara.jpg"
    "j9|J9 Radio|j9.gif" "kirula|Kirula Radio|kirula.jpg" "prabhavi|Prabhavi Radio|prabhavi.jpg"
    "minsara|Minsara Radio|minsara.jpg" "nilwala|Nilwala Radio|nilwala.gif"
    "threesinhala|3Sinhala Radio|threesinhala.gif" "ravsfm|Rav's FM|ravsfm.gif"
    "ahamu|Ahamu Radio|ahamu.gif" "lbclassical|Classical|logo_b.gif"
    "lbcon|Contemporary|logo_b.gif" "lbnonstop|Non-stop/Baila|logo_b.gif"
    "lbdj|   DJ / Remix|logo_b.gif"
)
columns=(8 96 184 272 360 448 536)
rows=(104 192 280 368 456)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# the window's own pictures on one row (the background halved), the station logos below
montage -font "$TAHOMA" -pointsize 10 -label '%f\n%m %wx%h' -background 'rgb(200,200,200)' \
    -geometry '+6+6' -tile x1 \( background.jpg -resize 50% -set filename background.jpg \) \
    icon.ico banner.gif panel.gif "$work/pictures.png"
montage -font "$TAHOMA" -pointsize 10 -label '%f\n%m %wx%h' -background 'rgb(200,200,200)' \
    -geometry '+6+6' -tile 13x logos/* "$work/logos.png"
convert "$work/pictures.png" "$work/logos.png" -background 'rgb(200,200,200)' -append \
    "$out/art_contact.png"

# one white button with its logo centred above the caption
args=()
i=0
for entry in "${stations[@]}"; do
    IFS='|' read -r name caption file <<<"$entry"
    if ((i < 8)); then
        row=$((i / 4)) col=$((i % 4))
    else
        row=$(((i - 8) / 7 + 2)) col=$(((i - 8) % 7))
    fi
    top=$(((62 - $(identify -format %h "logos/$file")) / 2 + 2))
    convert -size 81x81 xc:white -fill none -stroke 'rgb(160,160,160)' -draw 'rectangle 0,0 80,80' \
        "logos/$file" -gravity north -geometry "+0+$top" \
        -compose over -composite \
        \( -size 79x14 -background none -fill black -font "$TAHOMA" -pointsize 8.5 -gravity center \
           "caption:$caption" \) -gravity south -geometry +0+3 -composite "$work/$name.png"
    args+=("$work/$name.png" -gravity northwest -geometry "+${columns[col]}+${rows[row]}" -composite)
    i=$((i + 1))
done

label() { # label X Y COLOUR TEXT
    args+=(\( -background none -fill "$3" -font "$TAHOMA_B" -pointsize 8.25 -density 96
           "label:$4" \) -gravity northwest -geometry "+$1+$2" -composite)
}
label 368 24 white 'Station:'
label 416 24 white 'Sirasa FM'
label 368 40 white 'Status:'
label 416 40 white 'Playing (128 kbps)'
label 424 72 'rgb(255,128,128)' 'Click on a station to listen'
label 384 112 white 'Volume'
label 432 112 'rgb(128,255,128)' '25%'
label 470 112 'rgb(255,128,128)' '95%'

convert background.jpg -crop 637x581+0+0 +repage \
    banner.gif -gravity northwest -geometry +0+8 -composite \
    panel.gif -geometry +344+8 -composite \
    -fill 'rgb(212,208,200)' -stroke 'rgb(128,128,128)' -draw 'rectangle 368,96 480,112' \
    -draw 'rectangle 488,96 520,120' -draw 'rectangle 520,96 584,120' -draw 'rectangle 584,96 616,120' \
    -fill white -draw 'rectangle 360,152 560,272' -draw 'rectangle 560,152 616,272' \
    "${args[@]}" "$out/art_mock.png"
echo "wrote $out/art_contact.png and $out/art_mock.png"
