#!/usr/bin/env bash
# Configures and builds the project in ./build.
# With --sanitize: configures and builds the player and tray tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in ./build-sanitize instead; ctest in ./build then runs them too.
# With --werror: any compiler warning fails the build (scripts/test.sh, and so CI, passes it).
set -euo pipefail
cd "$(dirname "$0")/.."
tree=build
options=()
target=()
for arg; do
    case $arg in
    --sanitize) tree=build-sanitize options+=(-DTARVONI_SANITIZE=ON) target=(--target tarvoni_sanitize_tests) ;;
    --werror) options+=(-DTARVONI_WERROR=ON) ;;
    *)
        echo "usage: $0 [--sanitize] [--werror]" >&2
        exit 2
        ;;
    esac
done
cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$tree" --parallel "$(nproc)" "${target[@]}"
