#!/usr/bin/env bash
# Configures and builds the project in ./build, or one of the instrumented trees beside it,
# each limited to what it tests; ctest in ./build then runs their tests too.
#   --sanitize  AddressSanitizer and UBSan: the player, playlist, stream, engine and tray tests and the
#               fuzz inputs, in ./build-sanitize
#   --tsan      ThreadSanitizer: the engine, playlist, stream, desktop, tray and ad proxy tests, in ./build-tsan
#   --fuzz      libFuzzer under ASan and UBSan, built by clang: the fuzz targets, in ./build-fuzz
#   --werror    any compiler warning fails the build (scripts/test.sh, and so CI, passes it)
# Every tree compiles through ccache when it is installed; its cache stays in the user's home.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=build
options=()
target=()
for arg; do
    case $arg in
    --sanitize) tree=build-sanitize options+=(-DTARVONI_SANITIZE=address) ;;
    --tsan) tree=build-tsan options+=(-DTARVONI_SANITIZE=thread) ;;
    --fuzz) tree=build-fuzz options+=(-DTARVONI_SANITIZE=fuzz -DCMAKE_CXX_COMPILER=clang++) ;;
    --werror) options+=(-DTARVONI_WERROR=ON) ;;
    *)
        echo "usage: $0 [--sanitize | --tsan | --fuzz] [--werror]" >&2
        exit 2
        ;;
    esac
done
[ "$tree" != build ] && target=(--target tarvoni_sanitize_tests)
if command -v ccache >/dev/null; then
    options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # Paths below the source tree are hashed relative to it, so clones elsewhere share the cache.
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
fi
cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$tree" --parallel "$(nproc)" "${target[@]}"
