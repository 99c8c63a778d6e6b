#!/usr/bin/env bash
# The real program on a desktop scaled by 2: a photo given on the command line is shown one
# picture pixel to one screen pixel, exactly as djpeg decodes it, and Zoom In shows it
# enlarged by pixel replication over the doubled box, not blurred nor doubled twice.
# Usage: hidpi_real.sh <path to lumora> <folder for screenshots> <support folder>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
shots="$2"
support="$3"
mkdir -p "$shots"
work="$(mktemp -d)"
cd "$work"

# A photo-like JPEG made by ImageMagick, decoded for reference by libjpeg's own djpeg. Sides
# of 4n + 2 pixels put no centre of the zoomed picture's pixels on an edge between two of
# the picture's, where the reference could take either.
width=246 height=162
convert -size "${width}x${height}" gradient:'#2060c0-#f0d040' \
    -fill '#c03020' -draw 'circle 70,80 70,30' \
    -fill white -draw 'rectangle 150,40 211,121' \
    -quality 90 photo.jpg
djpeg -pnm photo.jpg >opened.ppm
# The box holds the picture and the one-pixel frame's strip, four device pixels at scale 2;
# Zoom In doubles the box and stretches the picture over all of it.
convert opened.ppm -sample "$((2 * (width + 4)))x$((2 * (height + 4)))!" -depth 8 zoomed.ppm

QT_SCALE_FACTOR=2 "$program" "$work/photo.jpg" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_for_window '^Lumora$') || fail "no main window"
eval "$(xdotool getwindowgeometry --shell "$main")"

# Looks for the reference at the workspace's top left corner, below the doubled menu and
# toolbar, and compares every pixel.
shows() {
    shoot_screen "$shots/$1.png"
    convert "$shots/$1.png" -depth 8 "$work/screen.ppm"
    found=$(python3 "$support/findpicture.py" "$work/screen.ppm" "$work/$1.ppm" \
        "$X" "$Y" "$((X + 80))" "$((Y + 320))" 0)
}
wait_until 15 shows opened || fail "photo not shown pixel for pixel: $found"
echo "opened at $found"

open_menu "$main" alt+e
xdotool key Down Down Return # Copy, Set as WallPaper, Zoom In
wait_until 15 shows zoomed || fail "zoomed photo not the pixel-replicated enlargement: $found"
echo "zoomed at $found"
echo PASS
