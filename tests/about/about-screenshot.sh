#!/usr/bin/env bash
# The About box in the real program, on the X server that with-xvfb.sh provides: Help >
# About... opens it over the main window at its designed size, the screenshot shows the
# etched groove, the blue mail address and the logo, and Esc closes it again.
# Usage: about-screenshot.sh <path to lumora> <folder for screenshots>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
shots="$2"
mkdir -p "$shots"
cd "$(mktemp -d)"


# The colour of one pixel of a picture, as "r g b" in 0..255.
pixel() {
    convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# How many pixels of a rectangle of a picture have exactly the colour given.
count_colour() {
    convert "$1" -crop "$2" +repage -depth 8 txt:- | grep -ci "$3" || true
}


"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

main=$(wait_for_window '^Lumora$') || fail "no main window"
sleep 0.3
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --window "$main" alt+h
sleep 0.4
# The Help menu opens on "Contents"; the next item is "About...".
xdotool key Down Return

about=$(wait_for_window '^About Lumora$') || fail "Help > About... showed no About box"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$about")"
[[ "$WIDTH" == 382 && "$HEIGHT" == 237 ]] || fail "the About box is ${WIDTH}x${HEIGHT}, not 382x237"
shot="$shots/about.png"
import -window "$about" "$shot"
import -window root "$shots/about-screen.png"

for x in 10 200 370; do
    [[ "$(pixel "$shot" "$x" 163)" == "128 128 128" ]] || fail "no grey groove line at $x,163"
    [[ "$(pixel "$shot" "$x" 164)" == "255 255 255" ]] || fail "no white groove line at $x,164"
    [[ "$(pixel "$shot" "$x" 165)" == "255 255 255" ]] || fail "the white line is not 2 pixels at $x"
done
blue=$(count_colour "$shot" 160x14+57+219 '#0000FF')
(( blue > 20 )) || fail "the mail address is not written in blue ($blue pixels)"
field=$(count_colour "$shot" 104x134+0+16 '#1764D6')
(( field > 2000 )) || fail "the logo's blue field is missing ($field pixels)"
read -r r g b <<<"$(pixel "$shot" 50 85)"
(( r < 40 && g < 50 && b < 90 )) || fail "the logo's lens is not drawn ($r $g $b at 50,85)"

# The main window takes no input while the box is open: Alt+F opens no File menu.
before=$(xdotool search --onlyvisible --pid "$pid" | wc -l)
xdotool key --window "$main" alt+f
sleep 0.3
after=$(xdotool search --onlyvisible --pid "$pid" | wc -l)
[[ "$before" == "$after" ]] || fail "the main window took a key while the About box was open"

xdotool windowfocus --sync "$about" 2>/dev/null || true
xdotool key Escape
for _ in $(seq 1 50); do
    xdotool search --onlyvisible --name '^About Lumora$' >/dev/null 2>&1 || { echo "PASS"; exit 0; }
    sleep 0.1
done
fail "Esc left the About box open"
