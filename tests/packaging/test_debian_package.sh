#!/usr/bin/env bash
# Makes the Debian package from the built tree, checks its control fields, its file list and
# lintian's verdict, then unpacks it into a scratch root and starts the unpacked program there
# to see that it loads its engine module from the unpacked tree and that its station logos lie
# where its media controls point.
set -euo pipefail
build_dir=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work" >"$work/cpack.log" \
    || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/tarvoni-radio-player_3.01-1_$(dpkg --print-architecture).deb
test -f "$deb" || fail "no $(basename "$deb")"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tarvoni-radio-player ] || fail "Package: $(field Package)"
[ "$(field Version)" = 3.01-1 ] || fail "Version: $(field Version)"
[ "$(field Section)" = sound ] || fail "Section: $(field Section)"
field Maintainer | grep -Eq '^[^<]+ <[^@>]+@[^>]+>$' || fail "Maintainer: $(field Maintainer)"
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description"
depends=$(field Depends)
for pkg in libc6 libvlc5 libqt6widgets6 libqt6webenginewidgets6 libqt6webenginecore6-bin \
           vlc-plugin-base fonts-wine fonts-noto-ui-core; do
    grep -Eq "(^|, )$pkg( |,|$)" <<<"$depends" || fail "Depends lacks $pkg: $depends"
done
# Every dependency names a real package that this machine can satisfy.
apt-get install -s --no-install-recommends "$deb" >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log"; fail "apt cannot install the package"; }

# File list: nothing outside /usr, and everything a desktop and the program look for.
dpkg-deb -c "$deb" | awk '{print substr($6, 2)}' >"$work/files"
if grep -Ev '^/usr/(bin|lib|share)/|^/usr/(|bin/|lib/|share/)$|^/$' "$work/files"; then
    fail "files outside /usr/bin, /usr/lib, /usr/share"
fi
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
id=com.tarvoniradio.TarvoniRadioPlayer
for path in /usr/bin/tarvoni-radio-player \
            "/usr/lib/$multiarch/tarvoni-radio-player/libtarvoni_ad_engine.so" \
            "/usr/share/applications/$id.desktop" "/usr/share/metainfo/$id.metainfo.xml" \
            /usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/tarvoni-radio-player.png \
            /usr/share/doc/tarvoni-radio-player/{copyright,changelog.Debian.gz} \
            /usr/share/man/man1/tarvoni-radio-player.1.gz; do
    grep -qxF "$path" "$work/files" || fail "missing $path"
done
# Listed whole first: under pipefail, grep -q ending the pipe early would fail it at random.
dpkg-deb --ctrl-tarfile "$deb" | tar -t >"$work/control"
grep -qx './md5sums' "$work/control" || fail "no md5sums"

# lintian: no error and no warning that has not been judged (see the package's overrides).
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 \
    || { cat "$work/lintian.log"; fail "lintian"; }

# The unpacked program, run from the scratch root. The ad panes would load their pages from
# the Internet; the web engine is sent to a closed loopback port instead and resolves no name.
root=$work/root
dpkg -x "$deb" "$root"
mkdir "$work/ld"
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" env \
    QTWEBENGINE_CHROMIUM_FLAGS='--proxy-server=127.0.0.1:9 --host-resolver-rules="MAP * ~NOTFOUND"' \
    LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld/trace" \
    sh -c '"$1" >"$2" 2>&1 & pid=$!
           for _ in $(seq 60); do
               grep -qs "calling init: .*libtarvoni_ad_engine.so" "$3"/trace.* && break
               kill -0 $pid 2>/dev/null || break
               sleep 0.5
           done
           kill $pid 2>/dev/null; wait $pid || true' \
    sh "$root/usr/bin/tarvoni-radio-player" "$work/program.log" "$work/ld"
engine="$root/usr/lib/$multiarch/tarvoni-radio-player/libtarvoni_ad_engine.so"
grep -qsF "calling init: $engine" "$work"/ld/trace.* \
    || { cat "$work/program.log"; fail "the unpacked program did not load $engine"; }
! grep -q "ad panes stay empty" "$work/program.log" || { cat "$work/program.log"; fail "engine"; }

# The logos, where the program's media controls point: <bindir>/../share/.../logos/<file>.
logos=$root/usr/bin/../share/tarvoni-radio-player/logos
for logo in "$source_dir"/assets/logos/*; do
    case $logo in *@2x.*) continue ;; esac   # the double-size pictures are for the window only
    cmp -s "$logo" "$logos/$(basename "$logo")" || fail "logo $(basename "$logo") not installed"
done
# The launcher starts the program the package installs, with the icon the package installs.
desktop=$root/usr/share/applications/$id.desktop
desktop-file-validate "$desktop"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
test -x "$root/usr/bin/$exec_name" || fail "Exec=$exec_name is not in /usr/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
test -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" || fail "Icon=$icon not installed"
echo "1 passed, 0 failed ($(stat -c %s "$deb") bytes)"
