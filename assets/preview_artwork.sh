#!/usr/bin/env bash
# Renders the artwork for a look: a contact sheet of every picture with its format and size.
# (scripts/screenshot.sh photographs the real window.)
# Usage: preview_artwork.sh [OUTPUT_DIR]  (default /tmp; writes art_contact.png)
set -euo pipefail
cd "$(dirname "$0")"
out=${1:-/tmp}
TAHOMA=/usr/share/wine/fonts/tahoma.ttf

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

echo "wrote $out/art_contact.png"
