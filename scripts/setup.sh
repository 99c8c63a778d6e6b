#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Lumora need. Safe to run
# again: it only asks apt for what is missing. Usage: setup.sh [package list], by default
# packages.txt (the benchmarks pass bench-packages.txt).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mapfile -t wanted < <(grep -Ev '^\s*(#|$)' "${1:-$here/packages.txt}")
missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
