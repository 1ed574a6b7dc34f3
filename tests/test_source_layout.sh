#!/bin/sh
# The shape of the source tree: each folder under src/ includes only from the folders below it,
# no file under src/ is over 400 lines, and every C++ file is laid out as .clang-format says.
# usage: test_source_layout.sh <source dir>
set -u
root=$1
status=0

# Each folder and the folders it may include from: the ones its library links.
allowed() {
    case $1 in
    winapi | net | player | ads | desktop) echo "" ;;
    playlist) echo "net player" ;;
    stream) echo "net player playlist" ;;
    vlc) echo "net player playlist stream" ;;
    tray) echo "winapi" ;;
    tray_qt) echo "tray winapi" ;;
    ad_engine) echo "ads net" ;;
    window) echo "assets player tray winapi" ;;
    app) echo "assets player stream vlc tray tray_qt ads desktop window winapi" ;;
    *) echo "?" ;;
    esac
}

for dir in "$root"/src/*/; do
    folder=$(basename "$dir")
    may=$(allowed "$folder")
    if [ "$may" = "?" ]; then
        echo "src/$folder: a folder the layering does not know; add it to $0"
        status=1
        continue
    fi
    for used in $(grep -rhoE '#include "[a-z_]+/' "$dir" | sed 's/#include "//; s#/##' | sort -u); do
        [ "$used" = "$folder" ] && continue
        case " $may " in
        *" $used "*) ;;
        *)
            echo "src/$folder includes from $used/, which is not below it:"
            grep -rn "#include \"$used/" "$dir"
            status=1
            ;;
        esac
    done
done

# A file past 400 lines is doing more than one thing.
long=$(find "$root/src" -name '*.cpp' -o -name '*.h' | xargs wc -l | awk '$2 != "total" && $1 > 400')
if [ -n "$long" ]; then
    echo "over 400 lines; split along a seam:"
    echo "$long"
    status=1
fi

if command -v clang-format >/dev/null; then
    files=$(find "$root/src" "$root/tests" "$root/bench" "$root/assets" -name '*.cpp' -o -name '*.h')
    if ! clang-format --dry-run --Werror $files 2>/dev/null; then
        echo "not laid out as .clang-format says (clang-format -i fixes it):"
        clang-format --dry-run $files 2>&1 | grep ': warning:' | cut -d: -f1 | sort -u
        status=1
    fi
else
    echo "clang-format is missing"
    status=1
fi
exit $status
