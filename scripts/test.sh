#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; failing tests print their output.
# The player and tray tests run twice: as built, and built with the sanitizers (build-sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh scripts/packages/build.txt scripts/packages/test.txt
scripts/build.sh --werror
scripts/build.sh --sanitize --werror
cd build
ctest --output-on-failure --timeout 600 "$@"
