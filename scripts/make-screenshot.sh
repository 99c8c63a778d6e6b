#!/usr/bin/env bash
# Makes docs/screenshot.png, the README's picture: Lumora as a user meets it, three photos
# from Debian's mate-backgrounds (GPL-2+, see docs/README.md) opened through File > Open from
# a Pictures folder in a home folder, then tiled. Runs on a private Xvfb with a window
# manager, in a private mount namespace whose /home is a scratch one, so the status bar shows
# a home path and nothing of this machine's. The windows are then tiled side by side.
# Usage: make-screenshot.sh <path to lumora> [output, default docs/screenshot.png]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "$1")"
output="$(realpath -m "${2:-$root/docs/screenshot.png}")"
photos=/usr/share/backgrounds/mate/nature
if [[ ! -d "$photos" ]]; then
    apt-get install -y --no-install-recommends mate-backgrounds >/dev/null
fi
if [[ "${LUMORA_SCREENSHOT_INSIDE:-}" != 1 ]]; then
    export LUMORA_SCREENSHOT_INSIDE=1
    exec unshare -m --propagation private "$0" "$program" "$output"
fi

mount -t tmpfs none /home
export HOME=/home/robin
pictures="$HOME/Pictures"
mkdir -p "$pictures"
# Copies of a size that fits three windows side by side on a small screen.
for photo in Dune LadyBird Storm; do
    convert "$photos/$photo.jpg" -resize 300x200^ -gravity center -extent 300x200 -quality 90 \
        "$pictures/${photo,,}.jpg"
done
cd "$pictures"
LUMORA_XVFB_WM=1 LUMORA_XVFB_SIZE=960x640 "$root/scripts/with-xvfb.sh" bash -c '
    set -euo pipefail
    source "'"$root"'/tests/support/xvfb-lib.sh"
    "'"$program"'" &
    pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    main=$(wait_for_window "^Lumora$") || fail "no main window"
    sleep 0.5
    for photo in dune ladybird storm; do
        open_menu "$main" alt+f
        xdotool key Return
        wait_for_window "^Open File$" >/dev/null || fail "no open dialog"
        sleep 0.5
        xdotool type --delay 5 "$PWD/$photo.jpg"
        xdotool key Return
        wait_for_no_window "^Open File$" || fail "the open dialog stayed"
        sleep 0.5
    done
    open_menu "$main" alt+w
    xdotool key Down Down Return # Tile Vertical: side by side
    sleep 1
    shoot_screen "'"$output"'"
'
# A palette of 256 colours keeps the file small; photos stay recognisable at this size.
convert "$output" -colors 256 -define png:compression-level=9 "$output"
identify "$output"
