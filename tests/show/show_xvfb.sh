#!/usr/bin/env bash
# A three-picture screen show in the real program, on the X server that with-xvfb.sh provides:
# File > Screen Show opens "File Selection" in the current folder, "All >>" and "BEGIN" start
# a manual show, the first picture appears centred on black with its path in green, clicks
# step through the pictures, and Esc lands in an image window holding the last one.
# Usage: show_xvfb.sh <path to lumora> <folder for screenshots>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
shots="$2"
mkdir -p "$shots"
work=$(mktemp -d)
cd "$work" # the dialog opens in the process's folder

# Waits until pixel ($2, $3) of the screen has colour $1 ("r g b"), taking a screenshot into $4.
wait_for_pixel() { wait_until 15 screen_pixel_is "$@"; }
screen_pixel_is() {
    shoot_screen "$4"
    [[ "$(pixel "$4" "$2" "$3")" == "$1" ]]
}

# Lossless pictures, so the screen must show them exactly.
convert -size 200x100 xc:red a-first.bmp
convert -size 90x60 xc:lime b-second.gif
convert -size 120x80 xc:blue c-third.bmp

"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_for_window '^Lumora$') || fail "no main window"
open_menu "$main" alt+f
# "Scr&een Show" shares its access key with "&Exit": the first E only moves to it.
xdotool key e Return
dialog=$(wait_for_window '^File Selection$') || fail "File > Screen Show opened no dialog"
wait_for_focus "$dialog"
window_geometry "$dialog"
[[ "$WIDTH" == 509 && "$HEIGHT" == 364 ]] || fail "the dialog is ${WIDTH}x${HEIGHT}, not 509x364"
shoot_screen "$shots/dialog.png"
# "All >>" (2880, 3960, 855 x 375 twips) fills the selection list (3840, 2520, 3735 x 1620):
# its names appear there in black. Then "BEGIN" (240, 240 in the frame at 120, 4650).
xdotool mousemove $((X + 221)) $((Y + 276)) click 1
selection_listed() {
    shoot_screen "$work/dialog.png"
    (($(count_colour "$work/dialog.png" "240x100+$((X + 260))+$((Y + 170))" black 20%) > 50))
}
wait_until 15 selection_listed || fail "All >> listed no pictures"
xdotool mousemove $((X + 100)) $((Y + 340)) click 1

# The first picture: 200 x 100 in a box of 202 x 102 whose left edge is at (1280 - 200) / 2.
wait_for_pixel "255 0 0" 640 512 "$shots/first.png" || fail "the first picture is not in the middle"
# The path's label may be painted a moment after the picture: wait for it too. Its text is
# anti-aliased and the folder's name is random, so count every clearly green pixel rather than
# the label's exact colour, which only the fully covered ones have.
green_in() {
    convert "$1" -crop 700x30+0+0 +repage -fx 'g>0.35&&r<0.25&&b<0.25' \
        -format '%[fx:round(mean*w*h)]' info:
}
path_shown() {
    shoot_screen "$shots/first.png"
    (($(green_in "$shots/first.png") > 100))
}
wait_until 5 path_shown || true
same_pixels "$shots/first.png" 200x100+541+463 a-first.bmp ||
    fail "the first picture is not drawn exactly at 541,463"
for xy in "539 512" "742 512" "640 460" "640 565" "0 1023" "1279 1023" "1279 0"; do
    [[ "$(pixel "$shots/first.png" $xy)" == "0 0 0" ]] || fail "not black at $xy"
done
green=$(green_in "$shots/first.png")
((green > 100)) || fail "no green path at the top left ($green pixels)"
green_far=$(count_colour "$shots/first.png" 5x5+0+0 '#00C000')
((green_far == 0)) || fail "the path starts before 7,7"

# Clicks step; the second picture is centred in its turn.
xdotool mousemove 20 900 click 1
wait_for_pixel "0 255 0" 640 512 "$shots/second.png" || fail "a click did not show the second picture"
xdotool click 1
wait_for_pixel "0 0 255" 640 512 "$shots/third.png" || fail "a click did not show the third picture"

# Esc: the player goes and the third picture opens in an image window of the main window.
xdotool key Escape
show_ended() {
    shoot_screen "$shots/end.png"
    [[ "$(pixel "$shots/end.png" 640 512)" != "0 0 255" ]]
}
wait_until 15 show_ended || fail "Esc did not end the show"
image_window_painted() {
    blue=$(count_colour "$shots/end.png" 640x400+0+0 '#0000FF')
    ((blue > 2000)) || { shoot_screen "$shots/end.png" && false; }
}
wait_until 5 image_window_painted || true
echo "blue pixels in the image window: $blue"
# The window is sized from the picture without room for its frame, so less than all of it shows.
((blue > 2000 && blue < 120 * 80)) || fail "no image window with the third picture ($blue blue pixels)"
kill -0 "$pid" || fail "the program ended"
echo "screen show passed"
