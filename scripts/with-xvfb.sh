#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb, 1280x1024, 24 bits, 96 dpi) with a private
# D-Bus session bus, and stops both afterwards. LUMORA_XVFB_SIZE=WxH asks for another size.
# Usage: with-xvfb.sh command [args...]
set -euo pipefail
# Xvfb picks a free display itself and tells which: two tests starting at once cannot collide.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 "${LUMORA_XVFB_SIZE:-1280x1024}x24" -dpi 96 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    rm -f "$displayfile"
}
trap cleanup EXIT
display=""
for _ in $(seq 1 200); do
    display=$(head -n1 "$displayfile" 2>/dev/null || true)
    [[ -n "$display" ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.05
done
[[ -n "$display" ]] || { echo "Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
# A window manager, as on a desktop, when the test asks for one (LUMORA_XVFB_WM=1): it is what
# maximizes windows and draws their frames.
if [[ "${LUMORA_XVFB_WM:-0}" == 1 ]]; then
    openbox --sm-disable >/dev/null 2>&1 &
    wm_pid=$!
    trap 'kill "$wm_pid" 2>/dev/null || true; cleanup' EXIT
    for _ in $(seq 1 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
        sleep 0.05
    done
    # The manager announces itself before it has finished taking over the screen; a window
    # mapped in between can be lost to it.
    sleep 0.5
fi
exec_status=0
dbus-run-session -- "$@" || exec_status=$?
exit $exec_status
