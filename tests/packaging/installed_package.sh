#!/usr/bin/env bash
# The Debian package as a user gets it: cpack builds it from the build folder, it is unpacked
# into a scratch root (the machine itself is left alone), its desktop entry and software-centre
# description pass the freedesktop validators, and the program started from the scratch root
# comes up and finds its own help file there.
# Usage: installed_package.sh <build folder> <folder for screenshots>
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../support/xvfb-lib.sh"
build="$1"
shots="$2"
mkdir -p "$shots"
scratch=$(mktemp -d)
pid=""
cleanup() {
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
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

# What apt pulls in by name: the linked libraries and what the program loads or starts itself.
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == lumora && "$(field Section)" == graphics ]] || fail "package name or section"
[[ "$(field Maintainer)" == *"<lumora@example.org>"* ]] || fail "maintainer: $(field Maintainer)"
depends=$(field Depends)
echo "Depends: $depends"
for needed in libc6 libqt6core6 libqt6widgets6 libqt6help6 libqt6printsupport6 libjpeg62-turbo \
    qt6-qpa-plugins libqt6sql6-sqlite xdg-utils fonts-liberation2; do
    [[ ",$depends," =~ [,\ ]$needed[\ ,\(] ]] || fail "Depends lacks $needed"
done

# Everything lies in the standard places under /usr, and nothing else is shipped.
while read -r path; do
    case "$path" in
    ./usr/bin/lumora | ./usr/share/lumora/* | ./usr/share/applications/* | \
        ./usr/share/metainfo/* | ./usr/share/icons/hicolor/* | ./usr/share/doc/lumora/*) ;;
    *) fail "unexpected file in the package: $path" ;;
    esac
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$')

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"
desktop="$share/applications/org.example.lumora.desktop"
metainfo="$share/metainfo/org.example.lumora.metainfo.xml"
for file in "$root/usr/bin/lumora" "$share/lumora/lumora.hlp" "$desktop" "$metainfo" \
    "$share/doc/lumora/copyright"; do
    [[ -f "$file" ]] || fail "missing ${file#"$root"}"
done
for size in 48 64 128 256; do
    icon="$share/icons/hicolor/${size}x${size}/apps/lumora.png"
    [[ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" == "${size}x${size}" ]] ||
        fail "no ${size}x${size} icon"
done
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
appstreamcli validate --no-net --pedantic "$metainfo" || fail "metainfo does not validate"
grep -qx 'Exec=lumora' "$desktop" || fail "the desktop entry must start lumora without file arguments"
grep -qx 'Icon=lumora' "$desktop" || fail "the desktop entry names another icon"
grep -q "<release version=\"$(field Version)\"" "$metainfo" || fail "metainfo lacks this release"
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
echo "PASS"
