#!/usr/bin/env bash
# Edit > Copy in the real program, read back by another program of the session: in a Wayland
# session a Wayland client (wl-paste) must get the picture from the program's XWayland window,
# as the desktop's own programs would paste it; on X, xclip reads it. The picture was opened
# from the command line, as a file manager hands it over, and the clipboard holds it exactly,
# in its box with the two-pixel strip the box adds to its right and bottom.
# Usage: clipboard_real.sh <path to lumora> <folder for screenshots> <support folder>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
shots="$2"
support="$3"
mkdir -p "$shots"
work="$(mktemp -d)"
cd "$work"

# Lossless, with detail everywhere, so that any shift or scaling shows.
convert -size 90x60 gradient:'#2060c0-#f0d040' -fill '#c03020' -draw 'circle 30,30 30,10' \
    BMP3:picture.bmp
convert picture.bmp -depth 8 reference.ppm

"$program" picture.bmp &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_for_window '^Lumora$') || fail "no main window"
picture_shown() {
    shoot_screen "$shots/opened.png"
    convert "$shots/opened.png" -depth 8 screen.ppm
    python3 "$support/findpicture.py" screen.ppm reference.ppm 0 0 400 400 0 >/dev/null
}
wait_until 15 picture_shown || fail "the picture from the command line is not on the screen"

reader="X (xclip)"
[[ -n "${WAYLAND_DISPLAY:-}" ]] && reader="a Wayland client (wl-paste)"
paste_picture() {
    if [[ -n "${WAYLAND_DISPLAY:-}" ]]; then
        wl-paste --no-newline --type image/png >pasted.png 2>/dev/null
    else
        xclip -selection clipboard -t image/png -o >pasted.png 2>/dev/null
    fi
    [[ "$(head -c 4 pasted.png | tail -c 3)" == PNG ]]
}
open_menu "$main" alt+e
xdotool key Return # Copy is the Edit menu's first item
wait_until 15 paste_picture || fail "no picture on the clipboard for $reader"
[[ "$(identify -format '%wx%h' pasted.png)" == 92x62 ]] ||
    fail "the pasted picture is $(identify -format '%wx%h' pasted.png), not 92x62"
same_pixels pasted.png 90x60+0+0 picture.bmp || fail "the pasted picture differs from the file"
kill -0 "$pid" || fail "the program ended"
echo PASS
