#!/usr/bin/env bash
# How the desktop hands the real program its pictures: files on the command line (a path
# relative to the current folder and a file:// URI, as file managers pass them), a second
# start while the first runs (its files open in the running window and it ends at once, a
# bad file included), a drop by another X client, the workspace keys Ctrl+F4, Ctrl+Tab and
# Ctrl+Shift+Tab, and a hundred files at one start.
# Usage: desktop_real.sh <path to lumora> <path to dragsource> <folder for screenshots>
#        <support folder>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
program="$1"
dragsource="$2"
shots="$3"
support="$4"
mkdir -p "$shots"
work="$(mktemp -d)"
cd "$work"
pid=""
sources=()
trap 'kill $pid "${sources[@]}" 2>/dev/null || true' EXIT

# Three pictures of different kinds, each a gradient of its own, in a folder with a space.
mkdir -p "my pictures"
picture() { # name gradient file
    convert -size 160x120 gradient:"$2" -fill white -draw 'rectangle 20,20 60,50' "$3"
    convert "$3" -depth 8 "$work/$1.ppm"
}
picture red '#c02020-#f0f040' "my pictures/red.bmp"
picture green '#20a040-#102060' "my pictures/green.gif"
picture blue '#2040d0-#e0e0e0' "my pictures/blue.jpg"
echo "not a picture" >"my pictures/notes.txt"

# Polls the screen until the named picture is (or, with "not", is no longer) the top one at
# the workspace's top-left corner.
shows() {
    local want=0 name="$1" deadline=$((SECONDS + 20)) found=""
    [[ "$1" == not ]] && { want=1; name="$2"; }
    while ((SECONDS < deadline)); do
        import -window root "$work/screen.png"
        convert "$work/screen.png" -depth 8 "$work/screen.ppm"
        status=0
        found=$(python3 "$support/findpicture.py" "$work/screen.ppm" "$work/$name.ppm" \
            "$MX" "$MY" "$((MX + 40))" "$((MY + 160))" 3) || status=$?
        if ((want == 0 && status == 0)) || ((want == 1 && status != 0)); then
            return 0
        fi
        sleep 0.2
    done
    cp "$work/screen.png" "$shots/failed-$name.png"
    fail "expected $([[ $want == 1 ]] && echo "no longer ")$name at the top left: $found"
}
keys() {
    focus_window "$main"
    xdotool key --delay 30 "$@"
}
# A second start must end by itself, having handed over its files.
second_start() {
    local second status=0 deadline=$((SECONDS + 15))
    "$program" "$@" &
    second=$!
    while kill -0 "$second" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
    kill -0 "$second" 2>/dev/null && { kill "$second"; fail "a second start did not end"; }
    wait "$second" || status=$?
    [[ "$status" == 0 ]] || fail "a second start ended with status $status"
    kill -0 "$pid" 2>/dev/null || fail "the running program is gone"
    [[ $(xdotool search --onlyvisible --name '^Lumora$' | wc -l) == 1 ]] ||
        fail "a second main window came up"
}

# 1. Command line: the relative path opens first, the URI (escaped space) on top of it.
"$program" "my pictures/red.bmp" "file://$work/my%20pictures/green.gif" &
pid=$!
main=$(wait_for_window '^Lumora$') || fail "no main window"
eval "$(xdotool getwindowgeometry --shell "$main")"
MX=$X MY=$Y
shows green
import -window root "$shots/command-line.png"
keys ctrl+F4
shows red

# 2. A second start hands its file over; the running window comes to the front.
second_start "$work/my pictures/blue.jpg"
shows blue
[[ "$(xdotool getactivewindow)" == "$main" ]] || fail "the main window is not in front"

# 3. Ctrl+Tab and Ctrl+Shift+Tab move between the windows (red, blue).
keys ctrl+Tab
shows red
keys ctrl+shift+Tab
shows blue

# 4. A second start with bad files: two grey windows, the program goes on; one with no files.
second_start "$work/nothing here.jpg" "my pictures/notes.txt"
shows not blue
keys ctrl+F4 ctrl+F4
shows blue
second_start

# 5. Drops from another X client: a local file opens; a web address is refused.
drop() {
    local out="$work/drop.out"
    ((${#sources[@]} == 0)) || kill "${sources[@]}" 2>/dev/null || true
    wait_for_no_window '^drag source$' || fail "the last drag source stayed"
    "$dragsource" "$@" >"$out" &
    sources+=($!)
    local source
    source=$(wait_for_window '^drag source$') || fail "no drag source"
    eval "$(xdotool getwindowgeometry --shell "$source")"
    xdotool mousemove $((X + 60)) $((Y + 60)) mousedown 1
    for step in 1 2 3 4 5 6; do
        xdotool mousemove $((X + 60 - step * 120)) $((Y + 60 - step * 100))
        sleep 0.1
    done
    # Pointer motion paced as a hand moves it, so that each position is answered.
    xdotool mousemove $((MX + 500)) $((MY + 400)) && sleep 0.3
    xdotool mousemove $((MX + 501)) $((MY + 401)) && sleep 0.3
    xdotool mouseup 1
    # The source stays until the end: the program fetches the dropped data after the drop.
    local deadline=$((SECONDS + 15))
    until [[ -s "$out" ]] || ((SECONDS > deadline)); do sleep 0.05; done
    dropped=$(cat "$out")
}
drop "file://$work/my%20pictures/green.gif"
[[ "$dropped" == copy ]] || fail "a local file was not taken: $dropped"
shows green
drop "https://example.org/photo.jpg"
[[ "$dropped" == ignore ]] || fail "a web address was taken: $dropped"
shows green
kill -0 "$pid" 2>/dev/null || fail "the program is gone after the drops"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""
wait_for_no_window '^Lumora$' || fail "the first program did not end"

# 6. A hundred files at one start: green first, blue last, red between; all of them open.
# Closing the active window activates the next in the order they were opened, so after blue
# the rest close from green on, and the last red is the last one left.
files=("my pictures/green.gif")
for _ in $(seq 1 98); do files+=("my pictures/red.bmp"); done
files+=("my pictures/blue.jpg")
"$program" "${files[@]}" &
pid=$!
main=$(wait_for_window '^Lumora$') || fail "no main window"
shows blue
import -window root "$shots/hundred.png"
keys --repeat 99 ctrl+F4
shows red
keys ctrl+F4
shows not red
echo PASS
