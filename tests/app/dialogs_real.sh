#!/usr/bin/env bash
# The real modal dialogs and message boxes of the program, end to end, as a user meets them:
# the "No active Windows" message, the save dialog writing a BMP under the typed name, and the
# printer dialog titled "Select Printer", each closed from the keyboard.
# Usage: dialogs_real.sh <path to lumora> <folder for screenshots>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
shots="$2"
mkdir -p "$shots"
work="$(mktemp -d)"
cd "$work"
convert -size 64x48 gradient:red-blue "$work/picture.bmp"

"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_for_window '^Lumora$') || fail "no main window"

file_menu() {
    open_menu "$main" alt+f
    xdotool key "$@"
}

# Save As with no picture: the message box, with its title, closed by Return.
file_menu s
box=$(wait_for_window '^Error$') || fail "no message box"
wait_for_focus "$box"
shoot_screen "$shots/noactive.png"
xdotool key Return
wait_for_no_window '^Error$' || fail "the message box stayed"

# Open a picture through the open dialog, then save it through the save dialog under a name
# without an extension: the file is BMP data under exactly that name.
file_menu Return
dialog=$(wait_for_window '^Open File$') || fail "no open dialog"
wait_for_focus "$dialog"
xdotool type --delay 5 "$work/picture.bmp"
xdotool key Return
wait_for_no_window '^Open File$' || fail "the open dialog stayed"
file_menu s
dialog=$(wait_for_window '^File Name$') || fail "no save dialog"
wait_for_focus "$dialog"
shoot_screen "$shots/save.png"
xdotool type --delay 5 "$work/saved copy"
xdotool key Return
wait_for_no_window '^File Name$' || fail "the save dialog stayed"
wait_until 5 test -s "$work/saved copy" || fail "nothing saved under the typed name"
[[ "$(identify -format %m "$work/saved copy")" == BMP* ]] || fail "no BMP written under the typed name"
[[ ! -e "$work/saved copy.bmp" ]] || fail "an extension was added"
[[ "$(identify -format %wx%h "$work/saved copy")" == 66x50 ]] || fail "the saved picture is not the drawn box"

# Printer Setup: the system's printer dialog under its title; Esc cancels it.
file_menu Down Down Down Down Return
dialog=$(wait_for_window '^Select Printer$') || fail "no printer dialog"
wait_for_focus "$dialog"
shoot_screen "$shots/printer.png"
xdotool key Escape
wait_for_no_window '^Select Printer$' || fail "the printer dialog stayed"
kill -0 "$pid" || fail "the program ended"
echo PASS
