#!/usr/bin/env bash
# A photo of about 100 megapixels in the real program while it is still being decoded: its top
# rows are on the screen while rows further down still have the window's grey; Zoom Out, Save
# As and Print issued then wait for it and act on the whole photo; closing its window, or File >
# Exit, stops the decode and gives its memory back. A JPEG cut off half way ends as the empty
# grey window of a picture that cannot be read, and so do small files declaring gigantic JPEG,
# GIF and BMP pictures, without taking memory for them.
#
# The decode outruns any screenshot on an idle machine, so the program is stopped (SIGSTOP)
# for every look at the screen, and a command's keys are sent while it is stopped with rows
# still missing: the command is issued while the photo arrives, however fast the machine. Its
# resident size tells how far the decode got: the photo is decoded into memory no one has
# touched yet, top down.
# Usage: arriving_real.sh <path to lumora> <folder for screenshots> <support folder>
#                         <cache folder for the photo>
# Runs under scripts/cups-run.sh and scripts/with-xvfb.sh, with a window manager, on a screen
# tall enough for the rows that are looked at.
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
mkdir -p "$2" "$4"
program="$(realpath "$1")"
shots="$(realpath "$2")"
support="$(realpath "$3")"
cache="$(realpath "$4")"
work="$(mktemp -d)"
cd "$work"
pid=""
ended() {
    if [[ -n $pid ]]; then
        (($1 == 0)) || shoot_screen "$shots/failed.png" || true
        kill -CONT "$pid" 2>/dev/null || true
        kill "$pid" 2>/dev/null || true
    fi
    rm -rf "$work" # it holds a saved picture of 295 MB for a while
}
trap 'ended $?' EXIT
began=$(now_ms)
# A line of the log, with the seconds since the start.
say() {
    local ms=$(($(now_ms) - began))
    echo "$((ms / 1000)).$((ms % 1000 / 100)) s: $*"
}

# Six bands of colour, top to bottom, each with noise of +-32 in every channel: the noise makes
# every row of the screen tell where it comes from, the bands tell a whole photo from a part.
width=65500
height=1500
bands=("200 40 40" "40 160 40" "40 60 200" "220 200 40" "40 200 200" "160 40 160")
photo="$cache/arriving-${width}x$height.jpg"
whole="$cache/arriving-${width}x$height.ppm" # djpeg's decode of it
make_photo() {
    python3 - "$width" "$height" "${bands[@]}" <<'PY' | cjpeg -quality 90 -outfile "$photo.part"
import random, sys
width, height = int(sys.argv[1]), int(sys.argv[2])
bands = [tuple(int(v) for v in band.split()) for band in sys.argv[3:]]
shift = 4096  # each row is the noise moved along by 7 pixels more than the row above
rng = random.Random(7)
noise = bytes(64 * (i % 3) + rng.randrange(64) for i in range(3 * (width + shift)))
tables = []  # noise byte to channel value: 0-63 red, 64-127 green, 128-191 blue
for band in bands:
    table = bytearray(256)
    for v in range(192):
        table[v] = min(255, max(0, band[v // 64] + v % 64 - 32))
    tables.append(bytes(table))
out = sys.stdout.buffer
out.write(b"P6\n%d %d\n255\n" % (width, height))
for y in range(height):
    s = 3 * (7 * y % shift)
    out.write(noise[s:s + 3 * width].translate(tables[y * len(bands) // height]))
PY
    djpeg -outfile "$whole.part" "$photo.part"
    mv "$whole.part" "$whole"
    mv "$photo.part" "$photo"
}
[[ -s $photo && -s $whole ]] || make_photo
# Rows looked at on the screen, away from the menus that open over the photo's left part.
look_x=640
low_row=1100
# 512 x 32 pixels of the photo at $2,$3 as a decode of the whole photo has them: djpeg -crop
# smooths the colours at the edges of what it decodes from what it does not, so it is given
# a margin.
decoded_part() {
    local above=$(($3 < 16 ? $3 : 16))
    djpeg -crop "544x$((48 + above))+$(($2 - 16))+$(($3 - above))" "$photo" |
        convert - -crop "512x32+16+$above" +repage -depth 8 "$1"
}
decoded_part top.ppm "$look_x" 0
head -c "$(($(stat -c %s "$photo") / 2))" "$photo" >cut.jpg

# Small files declaring pictures of 65500 x 65500 (JPEG), 65535 x 65535 (a GIF's screen) and
# 100000 x 100000 (BMP), made from real files of 16 x 16.
convert -size 16x16 xc:teal giant.jpg
convert -size 16x16 xc:teal giant.gif
convert -size 16x16 xc:teal BMP3:giant.bmp
python3 - <<'PY'
import struct
def patch(name, find, fmt, *values):
    data = bytearray(open(name, "rb").read())
    struct.pack_into(fmt, data, find(data), *values)
    open(name, "wb").write(data)
patch("giant.jpg", lambda d: d.index(b"\xff\xc0") + 5, ">HH", 65500, 65500)
patch("giant.gif", lambda d: 6, "<HH", 65535, 65535)
patch("giant.bmp", lambda d: 18, "<ii", 100000, 100000)
PY

# The PDF queue, as the default printer.
queue() { lpadmin "$@" 2>&1 | grep -v 'drivers are deprecated' || true; }
queue -p lumora_a -E -v "cups-pdf:/${LUMORA_CUPS_PREFIX}a" -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
queue -d lumora_a
lpstat -d | grep -q lumora_a || fail "no PDF queue"
pdfs="$LUMORA_CUPS_DIR/a"

# The budget holds one such photo and its zoomed-out drawing, not two photos: memory a closed
# window kept in it would refuse the photo opened next.
LUMORA_MEMORY_BUDGET_MB=600 "$program" &
pid=$!
main=$(wait_for_window '^Lumora$') || fail "no main window"

grey='#E0E0E0'
shot="$work/screen.ppm"
look() { shoot_screen -depth 8 "$shot"; }
close_window() { xdotool key ctrl+F4; }

# The empty window of a picture that cannot be read, at the workspace's top left corner; the
# first one tells where the client area of every new window starts (cx, cy).
empty_window() {
    local box
    look
    box=$(colour_box "$shot" 400x400+0+60 "$grey")
    [[ $box == "113 97 "* ]] || return 1
    [[ -z ${cx:-} ]] && read -r _ _ cx cy <<<"$box"
    [[ $box == "113 97 $cx $cy" ]]
}
no_empty_window() {
    look
    [[ -z $(colour_box "$shot" 400x400+0+60 "$grey") ]]
}

for giant in giant.jpg giant.gif giant.bmp; do
    peak=$(peak_resident_kib "$pid")
    open_picture "$main" "$work/$giant"
    start=$(now_ms)
    wait_until 15 empty_window || fail "$giant: no empty window"
    say "$giant refused: the empty window on the screen $(($(now_ms) - start)) ms after the dialog closed"
    grown=$(($(peak_resident_kib "$pid") - peak))
    ((grown < 50 * 1024)) || fail "$giant took $grown KiB"
    close_window
    wait_until 15 no_empty_window || fail "$giant: its window did not close"
done
say "client area at $cx,$cy"

# The photo's drawing, its pixels and the frame's strip, takes 375 MiB, row by row.
base=$(resident_kib "$pid")
decoding() { (($(resident_kib "$pid") > base + 40 * 1024)); }
not_decoded_whole() { (($(resident_kib "$pid") < base + 330 * 1024)); }
memory_back() { (($(resident_kib "$pid") < base + 64 * 1024)); }

# File Open of the photo, until its rows are being decoded.
open_photo() {
    open_picture "$main" "$photo"
    wait_until 20 decoding || fail "the photo is not being decoded (refused by the budget?)"
}

# Stops the program; true when its top rows are on the screen and row $low_row is not yet,
# while the decode has rows left. Otherwise it goes on again.
stopped_while_arriving() {
    kill -STOP "$pid"
    if ! not_decoded_whole; then
        kill -CONT "$pid"
        fail "the photo was decoded before it was seen arriving"
    fi
    look
    if python3 "$support/findpicture.py" "$shot" top.ppm "$((cx + look_x))" "$cy" \
        "$((cx + look_x))" "$cy" 0 >/dev/null &&
        (($(count_colour "$shot" "512x32+$((cx + look_x))+$((cy + low_row))" "$grey") == 512 * 32)); then
        return 0
    fi
    kill -CONT "$pid"
    return 1
}

# Opens the photo and the menu $1 (none when empty); once the program is stopped while the
# photo arrives, types $2... and lets it go on.
while_arriving() {
    local menu=$1
    shift
    open_photo
    [[ -n $menu ]] && open_menu "$main" "$menu"
    wait_until 20 stopped_while_arriving || fail "the photo's top rows were never seen before the rest"
    xdotool key "$@"
    kill -CONT "$pid"
}

# Whether the bands of a photo stand in a picture at $2,$3 that is $4 rows high, each of its
# colour (within 12), in a strip $5 pixels wide.
bands_at() {
    local i r g b er eg eb
    for i in "${!bands[@]}"; do
        read -r er eg eb <<<"${bands[$i]}"
        read -r r g b <<<"$(mean_rgb "${5}x4+$2+$(($3 + (2 * i + 1) * $4 / 12 - 2))" "$1")"
        ((${r:-999} - er <= 12 && er - r <= 12 && g - eg <= 12 && eg - g <= 12 &&
            b - eb <= 12 && eb - b <= 12)) || return 1
    done
}

# Closing the window while the photo arrives: the decode stops short of the end and its
# memory goes back, to the system and to the budget (the next photo would be refused).
while_arriving "" ctrl+F4
wait_until 15 memory_back || fail "closing the window gave back no memory: $(resident_kib "$pid") KiB"
peak=$(($(peak_resident_kib "$pid") - base))
((peak < 330 * 1024)) || fail "the photo was decoded to its end after its window closed ($peak KiB)"
say "closed while arriving: at most $peak KiB of the photo were decoded"
shoot_screen "$shots/closed.png"

# Zoom Out while it arrives: half the size, every band of the whole photo in it.
while_arriving alt+e Down Down Down Return
shoot_screen "$shots/arriving.png" # the program stopped
zoomed() {
    look
    bands_at "$shot" "$((cx + look_x))" "$cy" "$(((height + 2) / 2))" 512
}
wait_until 30 zoomed || fail "Zoom Out did not show the whole photo at half its size"
say "zoomed out"
shoot_screen "$shots/zoomed.png"
close_window
wait_until 15 memory_back || fail "closing the zoomed photo gave back no memory"

# Save As while it arrives: the whole photo in its drawing, pixel for pixel djpeg's decode.
while_arriving alt+f s
dialog=$(wait_for_window '^File Name$') || fail "no save dialog"
wait_for_focus "$dialog"
xdotool type --delay 5 "$work/saved.bmp"
xdotool key Return
wait_for_no_window '^File Name$' || fail "the save dialog stayed"
saved_size=$((54 + ((width + 2) * 3 + 3) / 4 * 4 * (height + 2)))
saved() { [[ "$(stat -c %s saved.bmp 2>/dev/null)" == "$saved_size" ]]; }
wait_until 30 saved || fail "saved.bmp is not the $((width + 2)) x $((height + 2)) drawing"
say "saved"
# Compared while the next photo prints: a few seconds of work each.
python3 "$support/findpicture.py" saved.bmp "$whole" 0 0 0 0 0 >/dev/null &
comparing=$!
close_window
wait_until 15 memory_back || fail "closing the saved photo gave back no memory"

# Print while it arrives: one page, the whole photo stretched to 9630 x 12960 twips.
while_arriving alt+f r
printed() { [[ -n $(ls "$pdfs") ]] && [[ -z $(lpstat -o) ]]; }
wait_until 60 printed || fail "nothing printed"
no_visible_window '^Error$' || fail "the print reported an error"
pdftoppm -r 20 -singlefile "$pdfs"/*.pdf page
box=$(convert page.ppm -fuzz 10% -format '%@' info:)
[[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "nothing on the printed page"
read -r pw ph px py <<<"${BASH_REMATCH[*]:1}"
say "printed at $box of $(identify -format %wx%h page.ppm)"
((pw * 12960 / 9630 - ph <= 2 && ph - pw * 12960 / 9630 <= 2)) ||
    fail "the printed picture is $pw x $ph, not 9630 x 12960 twips"
bands_at page.ppm "$((px + pw / 4))" "$py" "$ph" "$((pw / 2))" ||
    fail "the printed page does not hold the whole photo"
close_window
wait_until 15 memory_back || fail "closing the printed photo gave back no memory"
wait "$comparing" || fail "the saved picture is not the whole photo"
say "the saved picture is the whole photo"

# A JPEG cut off half way ends as the empty window, its memory back. (The open dialog may
# have read it all while the name was typed: it is not looked for while it arrives.)
open_picture "$main" "$work/cut.jpg"
wait_until 20 empty_window || fail "the cut JPEG did not end as the empty window"
say "the cut JPEG ended as the empty window"
wait_until 15 memory_back || fail "the cut JPEG's memory did not come back"
close_window

# File > Exit while it arrives: the program ends without waiting for the rest.
while_arriving alt+f Up Return
wait_for_exit "$pid" 15 || fail "File > Exit did not end the program"
status=0
wait "$pid" || status=$?
((status == 0)) || fail "the program ended with status $status"
say PASS
