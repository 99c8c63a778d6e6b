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



# "r g b" of one screen pixel of the last screenshot.
pixel() {
    convert "$shot" -format "%[fx:int(255*p{$1,$2}.r+.5)] %[fx:int(255*p{$1,$2}.g+.5)] %[fx:int(255*p{$1,$2}.b+.5)]" info:
}
expect_pixel() { # x y "r g b" what
    local got
    got=$(pixel "$1" "$2")
    [[ "$got" == "$3" ]] || fail "$4 at $1,$2 is ($got), not ($3)"
}
is_dark() { local r g b; read -r r g b <<<"$(pixel "$1" "$2")"; ((r + g + b < 150)); }

convert -size 92x92 xc:'#c00000' -type TrueColor BMP3:"$work/red.bmp"

"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT

main=$(wait_for_window '^Lumora$') || fail "no main window"
sleep 0.5
# Without a window manager nothing maximizes the main window: make room for the preview.
xdotool windowsize --sync "$main" 1200 900 2>/dev/null || xdotool windowsize "$main" 1200 900
sleep 0.3
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main" 2>/dev/null || true
# The File menu opens with its first item, Open, selected.
xdotool key --window "$main" alt+f
sleep 0.3
xdotool key Return
dialog=$(wait_for_window '^Open File$') || fail "no open dialog"
sleep 0.5
xdotool type --window "$dialog" "$work/red.bmp"
xdotool key Return
sleep 1
xdotool windowfocus --sync "$main" 2>/dev/null || true
xdotool key --window "$main" alt+f
sleep 0.3
xdotool key p Return # Open is selected: the next item with that access key is Print Preview
sleep 1

shot="$shots/preview.png"
import -window root "$shot"

# Where colour $2 lies in the screenshot, cropped to $1 first: "w h x y" on the whole screen.
box_of() {
    local w h x y
    read -r w h x y <<<"$(convert "$shot" -crop "$1" +repage -fill white +opaque "$2" \
        -fill black -opaque "$2" -trim -format '%w %h %X %Y' info:)"
    local cx=${1#*+}
    echo "$w $h $((${x#+} + ${cx%%+*})) $((${y#+} + ${1##*+}))"
}

# The preview window: the only place with its blue-grey background.
read -r bw bh bx by <<<"$(box_of 1280x1024+0+0 'rgb(192,192,255)')"
echo "preview background ${bw}x${bh} at ${bx},${by}"
((bw >= 300 && bh >= 300)) || fail "no preview window on the screen (${bw}x${bh})"
# The picture inside it: (192, 0, 0).
read -r rw rh rx ry <<<"$(box_of "${bw}x${bh}+${bx}+${by}" 'rgb(192,0,0)')"
echo "picture ${rw}x${rh} at ${rx},${ry}"
((rw >= 24 && rw <= 26 && rh >= 24 && rh <= 26)) || fail "the picture is ${rw}x${rh}, not about 25x25"

# The sheet's border: the first dark pixel left of and above the picture.
left=""
for ((x = rx - 1; x > rx - 40; --x)); do is_dark "$x" "$((ry + 5))" && { left=$x; break; }; done
top=""
for ((y = ry - 1; y > ry - 40; --y)); do is_dark "$((rx + 5))" "$y" && { top=$y; break; }; done
[[ -n "$left" && -n "$top" ]] || fail "no sheet border around the picture"
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
