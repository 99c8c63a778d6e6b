#!/usr/bin/env bash
# The real program as a user starts it, on the X server that with-xvfb.sh provides: the splash
# comes up centred and borderless, the main window follows about a second later and the splash
# is gone, Alt+F opens the File menu, and Exit ends the process with status 0.
# Usage: startup.sh <path to lumora> <folder for screenshots>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
shots="$2"
mkdir -p "$shots"
cd "$(mktemp -d)" # the program must not depend on the current folder

"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

# The splash: a splash-type window, which desktops keep out of the task bar.
splash_window() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true); do
        [[ "$(xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null)" == *_NET_WM_WINDOW_TYPE_SPLASH* ]] &&
            { echo "$w"; return 0; }
    done
    return 1
}
# It is on the screen for a second only: look often.
splash=$(poll_interval=0.02 wait_until 15 splash_window) || fail "no splash window"
eval "$(xdotool getwindowgeometry --shell "$splash")"
echo "splash at ${X},${Y} size ${WIDTH}x${HEIGHT}"
[[ "$WIDTH" == 305 && "$HEIGHT" == 206 ]] || fail "splash client is ${WIDTH}x${HEIGHT}, not 305x206"
(( X >= 487 && X <= 488 && Y >= 409 && Y <= 409 )) || fail "splash not centred: ${X},${Y}"
# No frame and no caption bar: the window asks the window manager to leave it undecorated.
undecorated() { [[ "$(xprop -id "$splash" _NET_WM_WINDOW_TYPE)" == *_KDE_NET_WM_WINDOW_TYPE_OVERRIDE* ]]; }
wait_until 5 undecorated || fail "the splash asks for a frame: $(xprop -id "$splash" _NET_WM_WINDOW_TYPE)"
brighter_than() { # rect sum: the screen's mean colour there adds up to more than sum
    local r g b
    read -r r g b <<<"$(mean_rgb "$1")"
    ((r + g + b > $2))
}
poll_interval=0.02 wait_until 5 brighter_than "300x200+$((X + 2))+$((Y + 2))" 60 || fail "the splash picture is not on the screen"
shoot_screen "$shots/splash.png"

# The main window, about a second later, maximized by the window manager; the splash is gone.
main=$(wait_for_window '^Lumora$') || fail "no main window"
splash_gone() { ! grep -qx "$splash" <<<"$(xdotool search --onlyvisible --pid "$pid" || true)"; }
wait_until 5 splash_gone || fail "the splash is still shown"
maximized() { [[ "$(xprop -id "$main" _NET_WM_STATE)" == *_NET_WM_STATE_MAXIMIZED* ]]; }
wait_until 5 maximized || fail "main window not maximized"
eval "$(xdotool getwindowgeometry --shell "$main")"
echo "main window ${WIDTH}x${HEIGHT} at ${X},${Y}"
# In a Wayland session the compositor's panel and the frames it draws take part of the screen.
min_width=1270 min_height=950
[[ -n "${WAYLAND_DISPLAY:-}" ]] && min_width=1240 min_height=900
(( WIDTH >= min_width && HEIGHT >= min_height )) || fail "main window does not fill the screen: ${WIDTH}x${HEIGHT}"
shoot_screen "$shots/main.png"

# Help > Contents opens the help window on the program's own help file, whatever the
# current folder; it shows the first topic.
open_menu "$main" alt+h
xdotool key Return
help=$(wait_for_window '^Lumora Help$') || fail "no help window"
eval "$(xdotool getwindowgeometry --shell "$help")"
wait_until 15 brighter_than "${WIDTH}x${HEIGHT}+${X}+${Y}" 300 || fail "the help window looks empty"
shoot_screen "$shots/help.png"
xdotool windowclose "$help" 2>/dev/null || xdotool windowunmap "$help"

# Alt+F opens the File menu: a new window appears under the menu bar.
wait_for_no_window '^Lumora Help$' || fail "the help window stayed"
focus_window "$main"
before=$(mean_rgb "200x150+5+30")
open_menu "$main" alt+f
changed() { [[ "$(mean_rgb "200x150+5+30")" != "$before" ]]; }
wait_until 5 changed || fail "Alt+F showed no menu on the screen"
shoot_screen "$shots/filemenu.png"

# Exit ends the program with status 0. Its access key E is shared with Screen Show, so the
# first E moves to Screen Show, the second to Exit, and Return chooses it.
xdotool key e e Return
wait_for_exit "$pid" 10 || fail "the program did not end after Exit"
trap - EXIT
wait "$pid" && status=0 || status=$?
[[ "$status" == 0 ]] || fail "exit status $status"
echo "PASS"
