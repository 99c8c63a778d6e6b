#!/usr/bin/env bash
# Runs a command in a private Wayland session with XWayland, as most Linux desktops now are,
# and stops it afterwards. The compositor draws into a window on a private Xvfb (1280x1024,
# 96 dpi); drawn there, it has a seat, which Wayland clients such as wl-paste need, and the
# tests can photograph all it composes, X and Wayland windows alike, from that Xvfb's root
# (LUMORA_SCREEN_DISPLAY). The command sees the session as a program started in it does:
# WAYLAND_DISPLAY, DISPLAY (XWayland's) and no QT_QPA_PLATFORM.
#
# The compositor is weston (a stacking desktop that manages X windows with its own window
# manager) unless LUMORA_COMPOSITOR=sway: weston hands only text between the X and Wayland
# clipboards, where sway, like the big desktops, hands over every type, pictures included.
# Sway refuses to run as root, so it runs as the unprivileged user nobody, and lets root's
# programs use its XWayland.
# Usage: [LUMORA_COMPOSITOR=sway] with-wayland.sh command [args...]
set -euo pipefail
compositor="${LUMORA_COMPOSITOR:-weston}"
runtime_dir=$(mktemp -d)
chmod 700 "$runtime_dir"
session_dir="$runtime_dir" # the compositor's runtime folder, which holds the Wayland socket
displayfile="$runtime_dir/xvfb-display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!
compositor_pid=""
cleanup() {
    if [[ -n "$compositor_pid" ]]; then
        kill "$compositor_pid" 2>/dev/null || true
        wait "$compositor_pid" 2>/dev/null || true # sway ends with the signal's status
    fi
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$runtime_dir" "$session_dir"
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
log="$runtime_dir/compositor.log"

start_weston() {
    DISPLAY="$screen_display" XDG_RUNTIME_DIR="$session_dir" weston --backend=x11-backend.so \
        --use-pixman --width=1280 --height=1024 --xwayland --socket=wayland-0 --idle-time=0 \
        --log="$log" >/dev/null 2>&1 &
    compositor_pid=$!
    wayland_socket="$session_dir/wayland-0"
    # XWayland's display is the first free one, which weston tells only in its log.
    wait_until 'grep -q "xserver listening on display" "$log" 2>/dev/null && [[ -S "$wayland_socket" ]]' \
        "$compositor_pid" || { echo "weston did not start:" >&2; cat "$log" >&2; exit 1; }
    x_display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$log" | head -n1)
}

as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }

start_sway() {
    # Its own runtime folder, out of root's, which nobody may not enter.
    session_dir=$(mktemp -d)
    chown nobody "$session_dir"
    local config="$session_dir/sway.conf"
    # Sway tells its XWayland's display to the programs it starts: the first one writes it down.
    cat >"$config" <<EOF
xwayland force
output * resolution 1280x1024 bg #404040 solid_color
exec echo "\$DISPLAY" >"$session_dir/x-display"
EOF
    chmod 644 "$config"
    DISPLAY="$screen_display" XDG_RUNTIME_DIR="$session_dir" HOME="$session_dir" \
        WLR_BACKENDS=x11 WLR_RENDERER=pixman WLR_X11_OUTPUTS=1 \
        as_nobody sway -c "$config" >"$log" 2>&1 &
    compositor_pid=$!
    wait_until '[[ -s "$session_dir/x-display" ]] && ls "$session_dir"/wayland-* >/dev/null 2>&1' \
        "$compositor_pid" || { echo "sway did not start:" >&2; cat "$log" >&2; exit 1; }
    wayland_socket=$(ls "$session_dir"/wayland-? | head -n1)
    x_display=$(cat "$session_dir/x-display")
    # XWayland admits only sway's user; root's programs are let in by name.
    wait_until 'DISPLAY="$x_display" as_nobody /usr/bin/xhost +si:localuser:root >/dev/null 2>&1' \
        "$compositor_pid" || { echo "sway's XWayland did not start" >&2; exit 1; }
}

case "$compositor" in
weston) start_weston ;;
sway) start_sway ;;
*) echo "unknown compositor $compositor (weston or sway)" >&2 && exit 1 ;;
esac
# The compositor draws the pointer of the X server it runs on into what it composes, where
# that server put it: the middle of the screen. The tests move XWayland's pointer, not that
# one, so it is put where no test looks, at the right edge.
DISPLAY="$screen_display" xdotool mousemove 1279 700
export DISPLAY="$x_display" WAYLAND_DISPLAY="$wayland_socket" XDG_SESSION_TYPE=wayland
export XDG_RUNTIME_DIR="$runtime_dir" LUMORA_SCREEN_DISPLAY="$screen_display"
unset QT_QPA_PLATFORM
# XWayland starts at its first client; the tests' own X clients should not pay for that.
wait_until 'xdpyinfo >/dev/null 2>&1' "$compositor_pid" || { echo "XWayland did not start" >&2; exit 1; }
exec_status=0
dbus-run-session -- "$@" || exec_status=$?
exit $exec_status
