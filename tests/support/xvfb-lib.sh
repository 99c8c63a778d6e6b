# shellcheck shell=bash
# Driving a private X server and the real program on it, shared by scripts/with-xvfb.sh and
# the tests of the real program (which also get the picture helpers). Source it.
xvfb_lib_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$xvfb_lib_dir/poll-lib.sh"
source "$xvfb_lib_dir/magick-lib.sh"

# Starts Xvfb (1280x1024 or LUMORA_XVFB_SIZE=WxH, 24 bits, 96 dpi) on a display it picks
# itself, so two runs at once cannot collide, and exports DISPLAY. Sets xvfb_pid.
start_xvfb() {
    local displayfile
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${LUMORA_XVFB_SIZE:-1280x1024}x24" -dpi 96 -nolisten tcp \
        3>"$displayfile" \
        >/dev/null 2>&1 &
    xvfb_pid=$!
    wait_until 20 xvfb_told_display "$displayfile" || fail "Xvfb gave no display"
    DISPLAY=":$(head -n1 "$displayfile")"
    export DISPLAY
    rm -f "$displayfile"
}

xvfb_told_display() {
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
    [[ -s $1 ]] && [[ -n "$(head -n1 "$1")" ]]
}

# Starts a window manager, as on a desktop (it maximizes windows and draws their frames), and
# returns once it has taken over the screen: it announces itself on the root window before
# that, and a window mapped in between can be lost to it, never framed nor maximized. What it
# runs at start-up runs once it is ready. Sets wm_pid.
start_window_manager() {
    local ready
    ready=$(mktemp -u)
    openbox --sm-disable --startup "touch $ready" >/dev/null 2>&1 &
    wm_pid=$!
    wait_until 20 window_manager_ready "$ready" || fail "the window manager did not start"
    rm -f "$ready"
}

window_manager_ready() {
    kill -0 "$wm_pid" 2>/dev/null || fail "the window manager ended"
    [[ -e $1 ]]
}

# The first visible window whose title matches the pattern, waiting up to 15 s. xdotool's own
# --sync gives up when a window vanishes while it looks, so this polls.
wait_for_window() {
    wait_until 15 visible_window "$1"
}

visible_window() {
    local w
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [[ -n $w ]] && echo "$w"
}

# Waits until no visible window's title matches the pattern (up to 15 s).
wait_for_no_window() {
    wait_until 15 no_visible_window "$1"
}

no_visible_window() { ! visible_window "$1" >/dev/null; }

# Sets X, Y, WIDTH and HEIGHT to where window $1's inside is on the screen. xwininfo reads
# the server's own answer; xdotool adds the frame's offset once more under some window
# managers (weston's among them).
window_geometry() {
    local info
    info=$(xwininfo -id "$1")
    X=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
    Y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
    WIDTH=$(sed -n 's/^ *Width: *//p' <<<"$info")
    HEIGHT=$(sed -n 's/^ *Height: *//p' <<<"$info")
}

# Gives the keyboard focus to a window, with or without a window manager.
focus_window() {
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
}

# Whether the window has the keyboard focus (the active window, under a window manager).
has_focus() {
    [[ "$(xdotool getactivewindow 2>/dev/null || true)" == "$1" ||
        "$(xdotool getwindowfocus 2>/dev/null || true)" == "$1" ]]
}

# Waits until a dialog (or any window that takes focus by itself) has the keyboard focus, so
# that what is typed next reaches it.
wait_for_focus() {
    wait_until 15 has_focus "$1" || fail "window $1 never got the keyboard focus"
}

# The visible pop-up windows of a process (menus, tooltips), one a line: the windows no window
# manager frames. Qt does not always mark a menu's window as one.
popup_windows() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
        [[ "$(xwininfo -id "$w" 2>/dev/null)" == *"Override Redirect State: yes"* ]] && echo "$w"
    done
    return 0
}

# Whether a pop-up window of the process not in the list ($2, one a line) is on the screen.
new_popup() {
    local w
    for w in $(popup_windows "$1"); do
        grep -qx "$w" <<<"$2" || return 0
    done
    return 1
}

# Opens a menu of a window by its Alt key ("alt+f") and waits until it is on the screen.
open_menu() {
    local pid before
    pid=$(xdotool getwindowpid "$1")
    focus_window "$1"
    before=$(popup_windows "$pid")
    xdotool key --window "$1" "$2"
    wait_until 15 new_popup "$pid" "$before" || fail "$2 opened no menu"
}

# File > Open in main window $1 with the path $2 typed into the dialog, as a user does.
open_picture() {
    local dialog
    open_menu "$1" alt+f
    xdotool key Return # Open is the File menu's first item
    dialog=$(wait_for_window '^Open File$') || fail "no open dialog"
    wait_for_focus "$dialog"
    xdotool type --delay 5 "$2"
    xdotool key Return
    wait_for_no_window '^Open File$' || fail "the open dialog stayed"
}

# The resident size of a process in KiB, now (VmRSS) and at its highest so far (VmHWM).
resident_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
peak_resident_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }
