#!/usr/bin/env bash
# Configures and builds the project in ./build.
# With --sanitize: configures and builds the player and tray tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in ./build-sanitize instead; ctest in ./build then runs them too.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--sanitize" ]; then
    cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVONI_SANITIZE=ON >/dev/null
    cmake --build build-sanitize --parallel "$(nproc)" --target tarvoni_sanitize_tests
    exit 0
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)"
