#!/usr/bin/env bash
# The real program under a real address-space limit (prlimit --as): File > Open of a
# 24-megapixel photo again and again fills the memory budget it derives from that limit. Each
# photo opens whole until the budget is reached; after that a window opens without its picture,
# and the program is still alive and answering, never stopped by a failed allocation.
# Usage: memorylimit_real.sh <path to lumora> <folder for screenshots>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
shots="$2"
mkdir -p "$shots"
work="$(mktemp -d)"
cd "$work"

# 1300 MiB of address space: a few hundred MiB go to Qt and the libraries, half of the rest
# is the budget, which holds two such photos with their drawings (192 MB a window).
limit=$((1300 * 1024 * 1024))
# Two photos of different colours, opened in turn, so that each new window is told from the
# one below it.
convert -size 6000x4000 xc:navy -quality 90 "$work/navy.jpg"
convert -size 6000x4000 xc:maroon -quality 90 "$work/maroon.jpg"
unset LUMORA_MEMORY_BUDGET_MB

prlimit --as="$limit" "$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_for_window '^Lumora$') || fail "no main window"

open_photo() {
    open_menu "$main" alt+f
    xdotool key Return # Open is the File menu's first item
    local dialog
    dialog=$(wait_for_window '^Open File$') || fail "no open dialog"
    wait_for_focus "$dialog"
    xdotool type --delay 2 "$1"
    xdotool key Return
    wait_for_no_window '^Open File$' || fail "the open dialog stayed"
}

# The top left corner of the first photo's client area, once it is painted: where every new
# window's picture starts, in front of the others.
open_photo "$work/navy.jpg"
first_photo_shown() {
    shoot_screen "$shots/first.png"
    read -r _ _ cx cy <<<"$(colour_box "$shots/first.png" 1280x1024+0+0 navy 4%)"
    [[ -n $cy ]]
}
wait_until 20 first_photo_shown || fail "the first photo is not on the screen"
echo "client area at $cx,$cy"
sample="80x70+$((cx + 10))+$((cy + 10))" # inside even an empty window's 113 x 97 box

# What the newest window shows once it is painted: its photo (colour $1) or the empty grey box.
newest_painted() {
    read -r r g b <<<"$(mean_rgb "$sample")"
    if ((r > 200 && g > 200 && b > 200)); then
        echo empty
    elif [[ "$1" == navy ]] && ((r < 20 && g < 20 && b > 100)); then
        echo photo
    elif [[ "$1" == maroon ]] && ((r > 100 && g < 20 && b < 20)); then
        echo photo
    else
        return 1
    fi
}
newest() {
    local r g b
    wait_until 20 newest_painted "$1" || echo "neither: $r $g $b"
}

whole=1
refused=0
for i in $(seq 2 10); do
    colour=$( ((i % 2)) && echo navy || echo maroon)
    open_photo "$work/$colour.jpg"
    seen=$(newest "$colour")
    kill -0 "$pid" 2>/dev/null || fail "the program died at photo $i"
    case "$seen" in
    photo) whole=$((whole + 1)) ;;
    empty)
        refused=$i
        shoot_screen "$shots/refused.png"
        break
        ;;
    *) fail "photo $i: $seen" ;;
    esac
done
echo "$whole photos opened whole; photo $refused was refused"
((whole >= 2)) || fail "the budget refused the second photo already"
((refused > 0)) || fail "ten photos fitted: the limit did not bind"
grep -E 'VmSize|VmRSS' "/proc/$pid/status"

# Still answering: the open dialog comes up again and goes away.
open_menu "$main" alt+f
xdotool key Return
wait_for_window '^Open File$' >/dev/null || fail "no open dialog after the budget was reached"
xdotool key Escape
wait_for_no_window '^Open File$' || fail "the open dialog stayed"
kill -0 "$pid" 2>/dev/null || fail "the program died"
xdotool getwindowname "$main" | grep -qx Lumora || fail "main window gone"
echo PASS
