#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; failing tests print their output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh scripts/packages/build.txt scripts/packages/test.txt
scripts/build.sh
cd build
ctest --output-on-failure --timeout 600 "$@"
