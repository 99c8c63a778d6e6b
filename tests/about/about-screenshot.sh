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

"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

main=$(wait_for_window '^Lumora$') || fail "no main window"
open_menu "$main" alt+h
# The Help menu opens on "Contents"; the next item is "About...".
xdotool key Down Return

about=$(wait_for_window '^About Lumora$') || fail "Help > About... showed no About box"
eval "$(xdotool getwindowgeometry --shell "$about")"
[[ "$WIDTH" == 382 && "$HEIGHT" == 237 ]] || fail "the About box is ${WIDTH}x${HEIGHT}, not 382x237"
shot="$shots/about.png"
# The logo's blue field is painted with the rest of the box.
logo_shown() {
    import -window "$about" "$shot"
    field=$(count_colour "$shot" 104x134+0+16 '#1764D6')
    ((field > 2000))
}
wait_until 15 logo_shown || fail "the logo's blue field is missing ($field pixels)"
shoot_screen "$shots/about-screen.png"

for x in 10 200 370; do
    [[ "$(pixel "$shot" "$x" 163)" == "128 128 128" ]] || fail "no grey groove line at $x,163"
    [[ "$(pixel "$shot" "$x" 164)" == "255 255 255" ]] || fail "no white groove line at $x,164"
    [[ "$(pixel "$shot" "$x" 165)" == "255 255 255" ]] || fail "the white line is not 2 pixels at $x"
done
blue=$(count_colour "$shot" 160x14+57+219 '#0000FF')
(( blue > 20 )) || fail "the mail address is not written in blue ($blue pixels)"
read -r r g b <<<"$(pixel "$shot" 50 85)"
(( r < 40 && g < 50 && b < 90 )) || fail "the logo's lens is not drawn ($r $g $b at 50,85)"

# The main window takes no input while the box is open: Alt+F sent to it opens no File menu.
# Esc, sent after it, closes the box: once the box is gone the program has handled both keys.
xdotool key --window "$main" alt+f
focus_window "$about" 2>/dev/null || true
xdotool key Escape
wait_for_no_window '^About Lumora$' || fail "Esc left the About box open (or a menu took it)"
[[ -z "$(popup_windows "$pid")" ]] || fail "the main window took a key while the About box was open"
echo "PASS"
