#!/usr/bin/env bash
# Installs the Debian packages listed in the given files that are not installed yet.
# Usage: scripts/deps.sh scripts/packages/build.txt [more lists...]
set -euo pipefail

wanted=$(grep -h -v -E '^\s*(#|$)' "$@" | sort -u)
missing=()
for pkg in $wanted; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
