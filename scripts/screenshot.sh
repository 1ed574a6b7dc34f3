#!/usr/bin/env bash
# Starts the built player on its own virtual display and saves a picture of the screen.
# Usage: scripts/screenshot.sh [output.png] [seconds to wait]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-screenshot.png}
wait=${2:-4}
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x700x24 -nolisten tcp &
xvfb=$!
trap 'kill $player $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display build/tarvoni-radio-player &
player=$!
sleep "$wait"
DISPLAY=$display import -window root "$out"
echo "saved $out"
