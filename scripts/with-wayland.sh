#!/usr/bin/env bash
# Runs a command in a private Wayland session with XWayland, as most Linux desktops now are,
# and stops it afterwards: weston with XWayland and its own X window manager, drawing into a
# window on a private Xvfb (1280x1024, 96 dpi). Drawn there, the compositor has a seat, which
# Wayland clients such as wl-paste need, and the tests can photograph all it composes, X and
# Wayland windows alike, from that Xvfb's root (LUMORA_SCREEN_DISPLAY). The command sees the
# session as a program started in it does: WAYLAND_DISPLAY, DISPLAY (XWayland's) and no
# QT_QPA_PLATFORM. Usage: with-wayland.sh command [args...]
set -euo pipefail
runtime_dir=$(mktemp -d)
displayfile="$runtime_dir/xvfb-display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!
weston_pid=""
cleanup() {
    [[ -n "$weston_pid" ]] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$runtime_dir"
}
trap cleanup EXIT

# Polls `$1` (a command) every 50 ms for up to 30 s while process `$2` lives.
wait_until() {
    for _ in $(seq 1 600); do
        eval "$1" && return 0
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}
wait_until '[[ -s "$displayfile" ]]' "$xvfb_pid" || { echo "Xvfb did not start" >&2; exit 1; }
screen_display=":$(head -n1 "$displayfile")"

log="$runtime_dir/weston.log"
chmod 700 "$runtime_dir"
DISPLAY="$screen_display" XDG_RUNTIME_DIR="$runtime_dir" weston --backend=x11-backend.so \
    --use-pixman --width=1280 --height=1024 --xwayland --socket=wayland-0 --idle-time=0 \
    --log="$log" >/dev/null 2>&1 &
weston_pid=$!
# XWayland's display is the first free one, which weston tells only in its log.
wait_until 'grep -q "xserver listening on display" "$log" 2>/dev/null && [[ -S "$runtime_dir/wayland-0" ]]' \
    "$weston_pid" || { echo "weston did not start:" >&2; cat "$log" >&2; exit 1; }
export DISPLAY
DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$log" | head -n1)
export XDG_RUNTIME_DIR="$runtime_dir" WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland
export LUMORA_SCREEN_DISPLAY="$screen_display"
unset QT_QPA_PLATFORM
# XWayland starts at its first client; the tests' own X clients should not pay for that.
wait_until 'xdpyinfo >/dev/null 2>&1' "$weston_pid" || { echo "XWayland did not start" >&2; exit 1; }
exec_status=0
dbus-run-session -- "$@" || exec_status=$?
exit $exec_status
