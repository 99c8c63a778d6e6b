#!/usr/bin/env bash
# The real program under a real address-space limit (prlimit --as): File > Open of a
# 12-megapixel photo again and again fills the memory budget it derives from that limit. Each
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

# 1200 MiB of address space: about 400 MiB go to Qt and the libraries, half of the rest is
# the budget, which holds three such photos with their drawings (96 MB a window).
limit=$((1200 * 1024 * 1024))
convert -size 4000x3000 xc:navy -quality 90 "$work/photo.jpg"
unset LUMORA_MEMORY_BUDGET_MB

prlimit --as="$limit" "$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(wait_for_window '^Lumora$') || fail "no main window"
sleep 0.5

open_photo() {
    focus_window "$main"
    xdotool key --window "$main" alt+f
    sleep 0.3
    xdotool key Return # Open is the File menu's first item
    wait_for_window '^Open File$' >/dev/null || fail "no open dialog"
    sleep 0.3
    xdotool type --delay 2 "$work/photo.jpg"
    xdotool key Return
    wait_for_no_window '^Open File$' || fail "the open dialog stayed"
    sleep 1.5
}

# The top left corner of the first photo's client area: where every new window's picture
# starts, in front of the others.
open_photo
import -window root "$shots/first.png"
corner=$(convert "$shots/first.png" -fuzz 4% -fill white +opaque navy -fill black -opaque navy \
    -negate -trim -format '%X %Y' info:) || fail "the first photo is not on the screen"
read -r cx cy <<<"${corner//+/}"
echo "client area at $cx,$cy"
sample="80x70+$((cx + 10))+$((cy + 10))" # inside even an empty window's 113 x 97 box

whole=1
refused=0
for i in $(seq 2 10); do
    open_photo
    kill -0 "$pid" 2>/dev/null || fail "the program died at photo $i"
    read -r r g b <<<"$(mean_rgb "$sample")"
    if ((r < 20 && g < 20 && b > 100)); then
        whole=$((whole + 1))
    elif ((r > 200 && g > 200 && b > 200)); then
        refused=$i
        import -window root "$shots/refused.png"
        break
    else
        fail "photo $i shows neither the photo nor an empty window: $r $g $b"
    fi
done
echo "$whole photos opened whole; photo $refused was refused"
((whole >= 2)) || fail "the budget refused the second photo already"
((refused > 0)) || fail "ten photos fitted: the limit did not bind"
grep -E 'VmSize|VmRSS' "/proc/$pid/status"

# Still answering: the open dialog comes up again and goes away.
focus_window "$main"
xdotool key --window "$main" alt+f
sleep 0.3
xdotool key Return
wait_for_window '^Open File$' >/dev/null || fail "no open dialog after the budget was reached"
xdotool key Escape
wait_for_no_window '^Open File$' || fail "the open dialog stayed"
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "the program died"
xdotool getwindowname "$main" | grep -qx Lumora || fail "main window gone"
echo PASS
