#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Lumora need. Safe to run
# again: it only asks apt for what is missing. Usage: setup.sh [--each] [package list], by
# default packages.txt (the benchmarks pass bench-packages.txt). With --each every package is
# installed on its own and one that cannot be is reported and left out.
set -euo pipefail
each=0
if [[ "${1:-}" == --each ]]; then
    each=1
    shift
fi
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
    # Unpacked without a sync after every file: a failed install is simply run again.
    install() {
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
            -o Dpkg::Options::=--force-unsafe-io "$@"
    }
    if ((each)); then
        for pkg in "${missing[@]}"; do
            install "$pkg" || echo "Could not install $pkg: left out" >&2
        done
    else
        install "${missing[@]}"
    fi
fi
