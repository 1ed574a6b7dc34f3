#!/usr/bin/env bash
# Installs the built program into a scratch prefix and checks what a Linux desktop reads
# from it: the launcher, the catalogue entry and the icon theme.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

id=com.tarvoniradio.TarvoniRadioPlayer
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
test -x "$prefix/bin/tarvoni-radio-player"
desktop-file-validate "$desktop"
appstreamcli validate --no-net --pedantic "$metainfo"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png
    test -f "$png" || { echo "missing $png"; exit 1; }
done
grep -q '<release version="3.01"' "$metainfo"
# The ad panes' web engine part is installed where the program looks for it.
[ -n "$(find "$prefix" -name 'libtarvoni_ad_engine.so' -path '*/tarvoni-radio-player/*')" ]
echo "1 passed, 0 failed"
