#!/usr/bin/env bash
# The real program as a screen reader finds it on a real accessibility bus: each picture is
# an image named after its file and described by its size (an unreadable one says it has no
# picture), and no visible control of the main window, the print preview, the show's set-up
# dialog, the show and the About box goes unnamed.
# Usage: accessible_real.sh <path to lumora> <support folder>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
support="$2"
work="$(mktemp -d)"
mkdir "$work/show"
cd "$work/show" # the show's set-up dialog lists the process's folder

convert -size 64x48 gradient:'#2060c0-#f0d040' -quality 90 "$work/beach.jpg"
echo "not a picture" >"$work/damaged.jpg"
convert -size 50x30 xc:orange "$work/show/dune.gif"

# The accessibility bus of this session; the program joins it at once, as under a desktop
# whose screen reader is on.
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bus=$!
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" "$work/damaged.jpg" "$work/beach.jpg" &
pid=$!
trap 'kill $pid $bus 2>/dev/null || true' EXIT
main=$(wait_for_window '^Lumora$') || fail "no main window"

# Debian's Python, which has the GObject bindings the bus is read with.
reads() { /usr/bin/python3 "$support/atspi-tree.py" lumora "$@"; }
pixels() { echo "$1 × $2 pixels"; }

reads Lumora "image|beach.jpg|$(pixels 64 48)" "image|damaged.jpg|No picture" \
    "check box|More buttons|*" "image|Lumora icon|*" --press "menu item|Print Preview"
reads "Print Preview" "image|Page|*" "push button|Zoom In|*" \
    --press "menu item|Screen Show"
reads "File Selection" "combo box|*|Drive" "list|Folders|" "list|Pictures in the show|" \
    "image|Preview|No picture" "text|Interval in seconds|" --press "push button|Add all"
reads "File Selection" "list item|$work/show/dune.gif|" --press "push button|BEGIN"
reads "Screen Show" "image|dune.gif|$(pixels 50 30)" "label|$work/show/dune.gif|"
xdotool key Escape
# The show ends in an image window of the picture it showed.
reads Lumora "image|dune.gif|$(pixels 50 30)"

open_menu "$main" alt+h
xdotool key Up Return # About..., the Help menu's last item
reads "About Lumora" "image|Lumora logo|" "push button|OK|" "label|lumora@example.org|*"
echo PASS
