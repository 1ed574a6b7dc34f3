#!/usr/bin/env bash
# Builds one test and what it needs, and runs it; further arguments go to ctest.
#   scripts/test_one.sh test_asx_playlist              in build/
#   scripts/test_one.sh test_stream_relay_sanitized     in build-sanitize/ (_tsan: build-tsan/)
#   scripts/test_one.sh fuzz_mmsh_retimer              the fuzz target for its time, build-fuzz/
#   scripts/test_one.sh fuzz_mmsh_retimer_inputs       its seeds and regressions, in build/
# The tree must have been configured once (scripts/build.sh, with --sanitize, --tsan or --fuzz
# for an instrumented one).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || {
    echo "usage: $0 <test name> [ctest arguments...]" >&2
    exit 2
}
name=$1
shift
case $name in
*_sanitized) tree=build-sanitize base=${name%_sanitized} ;;
*_tsan) tree=build-tsan base=${name%_tsan} ;;
*) tree=build base=$name ;;
esac
# fuzz_<target>_inputs is run by the program fuzz_<target>; fuzz_<target> itself, by libFuzzer.
program=${base%_inputs}
case $base in
fuzz_*_inputs) ;;
fuzz_*) tree=build-fuzz ;;
esac
[ -f "$tree/CMakeCache.txt" ] || {
    echo "$tree is not configured: run scripts/build.sh first" >&2
    exit 1
}
# Tests that are scripts have no program of their own to build.
targets=$(cmake --build "$tree" --target help)
if grep -qx "\.\.\. $program" <<<"$targets"; then
    cmake --build "$tree" --parallel "$(nproc)" --target "$program"
fi
# A test run in shards is name.1, name.2...
ctest --test-dir "$tree" --output-on-failure -R "^${name}(\.[0-9]+)?\$" "$@"
