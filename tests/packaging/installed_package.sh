#!/usr/bin/env bash
# The Debian package as a user gets it: cpack builds it from the build folder, it is unpacked
# into a scratch root (the machine itself is left alone), its desktop entry and software-centre
# description pass the freedesktop validators, and the program started from the scratch root
# comes up and finds its own help file there. The desktop entry offers Lumora for the types
# that shared-mime-info gives real JPEG, GIF, BMP and WMF files, and the session bus starts the
# program through the installed D-Bus service to open a picture, as file managers do. Debian's
# package checker finds no fault in it, and its manual page renders and lists every option the
# program's --help gives.
# Usage: installed_package.sh <build folder> <folder for screenshots>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
build="$1"
shots="$2"
mkdir -p "$shots"
scratch=$(mktemp -d)
pid=""
bus_pid=""
cleanup() {
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
    [[ -n "$bus_pid" ]] && kill "$bus_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

# A private package folder, so that `make package` or another run cannot collide with this one.
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
debs=("$scratch"/out/lumora_*.deb)
[[ ${#debs[@]} == 1 && -f "${debs[0]}" ]] || fail "cpack wrote no single lumora_*.deb"
deb="${debs[0]}"
echo "package $(basename "$deb"), $(stat -c %s "$deb") bytes"
# Its notes (I:) are left to the report; an error or a warning fails.
lint=$(lintian --fail-on error,warning "$deb" 2>&1) ||
    { printf '%s\n' "$lint" >&2; fail "lintian finds errors or warnings in the package"; }

# What apt pulls in by name: the linked libraries and what the program loads or starts itself.
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == lumora && "$(field Section)" == graphics ]] || fail "package name or section"
[[ "$(field Maintainer)" == *"<lumora@example.org>"* ]] || fail "maintainer: $(field Maintainer)"
depends=$(field Depends)
echo "Depends: $depends"
for needed in libc6 libqt6core6 libqt6widgets6 libqt6help6 libqt6printsupport6 libjpeg62-turbo \
    qt6-qpa-plugins libqt6sql6-sqlite xdg-utils fonts-liberation2; do
    [[ ",$depends," =~ [,\ ]${needed}[\ ,\(] ]] || fail "Depends lacks $needed"
done

# Everything lies in the standard places under /usr, and nothing else is shipped.
while read -r path; do
    case "$path" in
    ./usr/bin/lumora | ./usr/share/lumora/* | ./usr/share/applications/* | \
        ./usr/share/metainfo/* | ./usr/share/icons/hicolor/* | ./usr/share/doc/lumora/* | \
        ./usr/share/man/man1/lumora.1.gz | \
        ./usr/share/dbus-1/services/org.example.lumora.service) ;;
    *) fail "unexpected file in the package: $path" ;;
    esac
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$')

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"
desktop="$share/applications/org.example.lumora.desktop"
metainfo="$share/metainfo/org.example.lumora.metainfo.xml"
service="$share/dbus-1/services/org.example.lumora.service"
for file in "$root/usr/bin/lumora" "$share/lumora/lumora.hlp" "$desktop" "$metainfo" \
    "$service" "$share/doc/lumora/copyright" "$share/doc/lumora/changelog.gz"; do
    [[ -f "$file" ]] || fail "missing ${file#"$root"}"
done
for size in 48 64 128 256; do
    icon="$share/icons/hicolor/${size}x${size}/apps/lumora.png"
    [[ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" == "${size}x${size}" ]] ||
        fail "no ${size}x${size} icon"
done
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
appstreamcli validate --no-net --pedantic "$metainfo" || fail "metainfo does not validate"
grep -qx 'Exec=lumora %F' "$desktop" || fail "the desktop entry must hand lumora local files"
grep -qx 'DBusActivatable=true' "$desktop" || fail "the desktop entry is not D-Bus activatable"
[[ "$(grep -v '^\[' "$service" | sort)" == $'Exec=/usr/bin/lumora\nName=org.example.lumora' ]] ||
    fail "D-Bus service: $(cat "$service")"

# Open With: the entry and the metainfo list the same types, among them the type of each
# kind of picture as file(1) and GIO name it.
entry_types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)
meta_types=$(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$metainfo" | sort)
[[ -n "$entry_types" && "$entry_types" == "$meta_types" ]] ||
    fail "desktop entry and metainfo list other types: $entry_types / $meta_types"
samples="$scratch/samples"
mkdir -p "$samples"
for kind in jpg gif bmp; do convert -size 16x16 xc:teal "$samples/sample.$kind"; done
cp "$(cd "$(dirname "$0")" && pwd)/../data/wmf/corpus/Eg.wmf" "$samples/sample.wmf"
for sample in "$samples"/sample.*; do
    for type in "$(file -b --mime-type "$sample")" \
        "$(gio info -a standard::content-type "$sample" | sed -n 's/.*content-type: //p')"; do
        grep -qx "$type" <<<"$entry_types" || fail "$(basename "$sample") is $type: not offered"
    done
done
grep -qx 'Icon=lumora' "$desktop" || fail "the desktop entry names another icon"
grep -q "<release version=\"$(field Version)\"" "$metainfo" || fail "metainfo lacks this release"
page=$(LC_ALL=C MANWIDTH=80 man -l "$share/man/man1/lumora.1.gz" 2>&1) || fail "man: $page"
[[ "$page" == *$'NAME\n       lumora - picture viewer'* ]] || fail "the manual page names no lumora: $page"
options=$("$root/usr/bin/lumora" --help | sed -n 's/^  \(-[^ ].*\)/\1/p' | sed 's/  .*//' |
    tr ',' '\n' | tr -d ' ')
(($(wc -w <<<"$options") >= 3)) || fail "no options read from lumora --help: $options"
for option in $options; do
    [[ "$page" =~ (^|[^-a-z])"$option"($|[^-a-z]) ]] ||
        fail "the manual page lacks $option, which --help lists"
done
missing=$(ldd "$root/usr/bin/lumora" | grep 'not found' || true)
[[ -z "$missing" ]] || fail "unresolved libraries: $missing"

# The installed program, started from an unrelated folder, finds its files beside itself.
cd "$scratch"
"$root/usr/bin/lumora" &
pid=$!
main=$(wait_for_window '^Lumora$') || fail "no main window"
open_menu "$main" alt+h
xdotool key Return
help=$(wait_for_window '^Lumora Help$') || fail "no help window"

# The topic's own words, copied out of the help window: a missing or unreadable help file
# would show an explanation there instead.
eval "$(xdotool getwindowgeometry --shell "$help")"
first_topic_shown() {
    xdotool mousemove $((X + WIDTH * 3 / 4)) $((Y + HEIGHT - 40)) click 1
    xdotool key ctrl+a ctrl+c
    shown=$(xclip -o -selection clipboard 2>/dev/null || true)
    [[ "$shown" == *"Starting Lumora"* ]]
}
wait_until 15 first_topic_shown ||
    fail "the help window does not show the first topic: ${shown:0:300}"
shoot_screen "$shots/help.png"
xdotool windowclose "$help" 2>/dev/null || xdotool windowunmap "$help"

# File > Exit ends the program normally (E is shared with Screen Show: the second E is Exit).
wait_for_no_window '^Lumora Help$' || fail "the help window stayed"
open_menu "$main" alt+f
xdotool key e e Return
wait_for_exit "$pid" 10 || fail "the program did not end after Exit"
status=0
wait "$pid" || status=$?
pid=""
[[ "$status" == 0 ]] || fail "exit status $status"

# Open With in a file manager: the picture is sent to the program's bus name, and the session
# bus starts the installed program through its service file (pointed at the scratch root).
mkdir -p "$scratch/services"
sed "s|^Exec=/usr/bin/lumora$|Exec=$root/usr/bin/lumora|" "$service" \
    >"$scratch/services/org.example.lumora.service"
cat >"$scratch/bus.conf" <<BUS
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$scratch</listen>
  <servicedir>$scratch/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
BUS
dbus-daemon --config-file="$scratch/bus.conf" --nofork --print-address=3 3>"$scratch/bus.address" &
bus_pid=$!
wait_until 10 test -s "$scratch/bus.address" || fail "the private session bus did not start"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$scratch/bus.address")
export DBUS_SESSION_BUS_ADDRESS
convert -size 120x90 gradient:'#d03030-#3030d0' BMP3:"$scratch/opened.bmp"
convert "$scratch/opened.bmp" -depth 8 "$scratch/opened.ppm"
gdbus call --session --dest org.example.lumora --object-path /org/example/lumora \
    --method org.freedesktop.Application.Open "['file://$scratch/opened.bmp']" '{}' >/dev/null ||
    fail "the session bus did not start lumora"
main=$(wait_for_window '^Lumora$') || fail "no main window after activation"
pid=$(xdotool getwindowpid "$main")
eval "$(xdotool getwindowgeometry --shell "$main")"
support="$(cd "$(dirname "$0")" && pwd)/../support"
found=""
deadline=$((SECONDS + 15))
while ((SECONDS < deadline)); do
    import -window root -depth 8 "$scratch/screen.ppm"
    found=$(python3 "$support/findpicture.py" "$scratch/screen.ppm" "$scratch/opened.ppm" \
        "$X" "$Y" "$((X + 40))" "$((Y + 160))" 0) && break
    sleep 0.2
done
import -window root "$shots/activated.png"
[[ "$found" =~ ^[0-9]+\ [0-9]+\ 0\  ]] || fail "the picture sent over the bus is not shown: $found"
echo "PASS"
