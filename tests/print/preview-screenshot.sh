#!/usr/bin/env bash
# The real program under Xvfb: a picture opened through File > Open, then File > Print
# Preview. The screenshot must show the preview window's blue-grey background, the white
# sheet with its flat black border, the dark shadow 8 pixels right of and below it, and the
# red picture one inch (scaled) inside the sheet, about 25 pixels square.
# Usage: preview-screenshot.sh <path to lumora> <folder for screenshots>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
shots="$2"
mkdir -p "$shots"
work=$(mktemp -d)
cd "$work"

expect_pixel() { # x y "r g b" what
    local got
    got=$(pixel "$shot" "$1" "$2")
    [[ "$got" == "$3" ]] || fail "$4 at $1,$2 is ($got), not ($3)"
}

convert -size 92x92 xc:'#c00000' -type TrueColor BMP3:"$work/red.bmp"

"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT

main=$(wait_for_window '^Lumora$') || fail "no main window"
# Without a window manager nothing maximizes the main window: make room for the preview.
xdotool windowsize --sync "$main" 1200 900 2>/dev/null || xdotool windowsize "$main" 1200 900
# The File menu opens with its first item, Open, selected.
open_menu "$main" alt+f
xdotool key Return
dialog=$(wait_for_window '^Open File$') || fail "no open dialog"
wait_for_focus "$dialog"
xdotool type --window "$dialog" "$work/red.bmp"
xdotool key Return
wait_for_no_window '^Open File$' || fail "the open dialog stayed"
shot="$shots/preview.png"
red_shown() {
    shoot_screen "$shot"
    (($(count_colour "$shot" 1280x1024+0+0 'rgb(192,0,0)') > 1000))
}
wait_until 15 red_shown || fail "the picture did not open"
open_menu "$main" alt+f
xdotool key p Return # Open is selected: the next item with that access key is Print Preview

# The preview window: the only place with its blue-grey background, and the picture inside it.
preview_shown() {
    shoot_screen "$shot"
    read -r bw bh bx by <<<"$(colour_box "$shot" 1280x1024+0+0 'rgb(192,192,255)')"
    ((${bw:-0} >= 300 && ${bh:-0} >= 300)) || return 1
    read -r rw rh rx ry <<<"$(colour_box "$shot" "${bw}x${bh}+${bx}+${by}" 'rgb(192,0,0)')"
    [[ -n $ry ]]
}
wait_until 15 preview_shown || fail "no preview window with the picture on the screen"
echo "preview background ${bw}x${bh} at ${bx},${by}"
echo "picture ${rw}x${rh} at ${rx},${ry}"
((rw >= 24 && rw <= 26 && rh >= 24 && rh <= 26)) || fail "the picture is ${rw}x${rh}, not about 25x25"

# The sheet's border: the nearest dark pixel left of and above the picture, within 39 pixels
# (only the border is dark there: the shadow lies right of and below the sheet).
read -r w _ x _ <<<"$(colour_box "$shot" "39x1+$((rx - 39))+$((ry + 5))" black 20%)"
[[ -n $x ]] && left=$((x + w - 1))
read -r _ h _ y <<<"$(colour_box "$shot" "1x39+$((rx + 5))+$((ry - 39))" black 20%)"
[[ -n $y ]] && top=$((y + h - 1))
[[ -n "${left:-}" && -n "${top:-}" ]] || fail "no sheet border around the picture"
echo "sheet at ${left},${top}"
# 1 pixel of border plus about 24.6 pixels (368.8 twips) of margin.
((rx - left >= 25 && rx - left <= 26 && ry - top >= 25 && ry - top <= 26)) ||
    fail "the picture is not one scaled inch inside the sheet: $((rx - left)), $((ry - top))"

white="255 255 255"
shadow="64 64 64"
back="192 192 255"
expect_pixel $((left + 100)) $((top + 150)) "$white" "the sheet"
expect_pixel $((left + 209 + 3)) $((top + 150)) "$shadow" "the shadow's right strip"
expect_pixel $((left + 100)) $((top + 273 + 3)) "$shadow" "the shadow's bottom strip"
expect_pixel $((left + 4)) $((top + 273 + 3)) "$back" "the background left of the shadow"
expect_pixel $((left + 209 + 3)) $((top + 4)) "$back" "the background above the shadow"
expect_pixel $((left + 209 + 20)) $((top + 150)) "$back" "the window background"
echo "preview screenshot: $shot"
