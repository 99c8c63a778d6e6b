#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb, 1280x1024, 24 bits, 96 dpi) with a private
# D-Bus session bus, and stops both afterwards. Usage: with-xvfb.sh command [args...]
set -euo pipefail
for n in $(seq 90 190); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || { display=$n; break; }
done
: "${display:?no free X display}"
Xvfb ":$display" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 1 100); do
    [[ -e /tmp/.X11-unix/X$display ]] && break
    sleep 0.05
done
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
fi
exec_status=0
dbus-run-session -- "$@" || exec_status=$?
exit $exec_status
