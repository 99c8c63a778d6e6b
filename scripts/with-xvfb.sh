#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb, 1280x1024, 24 bits, 96 dpi) with a private
# D-Bus session bus, and stops both afterwards. LUMORA_XVFB_SIZE=WxH asks for another size;
# with LUMORA_XVFB_WM=1 a window manager runs there too, as on a desktop.
# Usage: with-xvfb.sh command [args...]
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../tests/support/xvfb-lib.sh"
xvfb_pid=""
wm_pid=""
cleanup() {
    [[ -n $wm_pid ]] && kill "$wm_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null || true
}
trap cleanup EXIT
start_xvfb
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
if [[ "${LUMORA_XVFB_WM:-0}" == 1 ]]; then
    start_window_manager
fi
exec_status=0
dbus-run-session -- "$@" || exec_status=$?
exit $exec_status
