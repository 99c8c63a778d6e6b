# Shared by the tests of the real program under Xvfb: source it from a test script.

fail() { echo "FAIL: $*" >&2; exit 1; }

# The first visible window whose title matches the pattern, waiting up to 15 s. xdotool's own
# --sync gives up when a window vanishes while it looks, so this polls.
wait_for_window() {
    local deadline=$((SECONDS + 15)) w
    while ((SECONDS < deadline)); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
        [[ -n "$w" ]] && { echo "$w"; return 0; }
        sleep 0.05
    done
    return 1
}

# Waits until no visible window's title matches the pattern (up to 15 s).
wait_for_no_window() {
    local deadline=$((SECONDS + 15))
    while ((SECONDS < deadline)); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.05
    done
    return 1
}

# Gives the keyboard focus to a window, with or without a window manager.
focus_window() {
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
}

# Opens a menu of a focused window by its Alt key ("alt+f") and lets it unfold.
open_menu() {
    focus_window "$1"
    xdotool key --window "$1" "$2"
    sleep 0.3
}

# File > Open in main window $1 with the path $2 typed into the dialog, as a user does.
open_picture() {
    open_menu "$1" alt+f
    xdotool key Return # Open is the File menu's first item
    wait_for_window '^Open File$' >/dev/null || fail "no open dialog"
    sleep 0.5
    xdotool type --delay 5 "$2"
    xdotool key Return
    wait_for_no_window '^Open File$' || fail "the open dialog stayed"
}

# Photographs the screen (import's options, then a file): the X server's root window, or under
# with-wayland.sh the screen the compositor draws into, X and Wayland windows alike.
shoot_screen() {
    DISPLAY="${LUMORA_SCREEN_DISPLAY:-$DISPLAY}" import -window root "$@"
}

# Average colour of a screen rectangle ("WxH+X+Y"), as "r g b" in 0..255.
mean_rgb() {
    shoot_screen -crop "$1" +repage -resize 1x1\! -depth 8 txt:- |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}
