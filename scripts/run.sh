#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh scripts/packages/build.txt
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting the player on a virtual display (Xvfb)."
    exec xvfb-run -a -s "-screen 0 1280x1024x24" build/tarvoni-radio-player
fi
exec build/tarvoni-radio-player
