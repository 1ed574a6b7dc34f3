#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; failing tests print their output.
# Four trees, a warning failing any of them: the ordinary one (build/); the player, stream,
# engine and tray tests again under ASan and UBSan (build-sanitize/); the engine, stream,
# desktop and tray tests under ThreadSanitizer (build-tsan/); and the fuzz targets, built by
# clang, each run for a bounded time (build-fuzz/). Arguments go to ctest (-L fuzz, -R name...).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh scripts/packages/build.txt scripts/packages/test.txt
scripts/build.sh --werror
scripts/build.sh --sanitize --werror
scripts/build.sh --tsan --werror
scripts/build.sh --fuzz --werror
cd build
# Four tests at a time on two cores: most of them wait on servers and timeouts rather than on
# the processor (a fuzz target, which does not, takes two of the four places).
ctest --parallel "${CTEST_PARALLEL_LEVEL:-4}" --output-on-failure --timeout 600 "$@"
