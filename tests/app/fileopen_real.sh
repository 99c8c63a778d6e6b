#!/usr/bin/env bash
# File > Open through the real dialog in the real program: the path is typed, a photo opens in
# an image window at the top left corner of the workspace, and the screen shows the picture
# as an independent decoder (ImageMagick) decodes it.
# Usage: fileopen_real.sh <path to lumora> <folder for screenshots> <support folder>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
shots="$2"
support="$3"
mkdir -p "$shots"
work="$(mktemp -d)"
cd "$work"

# A photo-like picture made by ImageMagick, in a folder whose name has a space.
mkdir -p "$work/my pictures"
photo="$work/my pictures/photo.jpg"
convert -size 240x160 gradient:'#2060c0-#f0d040' \
    -fill '#c03020' -draw 'circle 70,80 70,30' \
    -fill white -draw 'rectangle 150,40 210,120' \
    -quality 90 "$photo"
convert "$photo" -depth 8 "$work/reference.ppm"

# The program keeps no settings between runs, Qt's file dialog history among them.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_for_window '^Lumora$') || fail "no main window"
open_picture "$main" "$photo"

# The picture must be at the workspace's top left corner, just below the toolbar: look for
# it near there, and compare every pixel (JPEG decoders may differ by a step or two). In a
# Wayland session the compositor places the main window and draws the screen a moment after
# the X server: look anywhere.
eval "$(xdotool getwindowgeometry --shell "$main")"
region=("$X" "$Y" "$((X + 40))" "$((Y + 160))")
[[ -n "${WAYLAND_DISPLAY:-}" ]] && region=(0 0 200 300)
picture_shown() {
    shoot_screen "$shots/opened.png"
    convert "$shots/opened.png" -depth 8 "$work/screen.ppm"
    found=$(python3 "$support/findpicture.py" "$work/screen.ppm" "$work/reference.ppm" \
        "${region[@]}" 3)
}
wait_until 15 picture_shown || fail "picture not shown as decoded: $found"
echo "picture at $found"
xdotool getwindowname "$main" | grep -qx Lumora || fail "main caption changed"
[[ -z "$(ls -A "$XDG_CONFIG_HOME")" ]] || fail "settings were written: $(ls -A "$XDG_CONFIG_HOME")"
echo PASS
