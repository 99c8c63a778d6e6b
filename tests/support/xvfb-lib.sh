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

# Average colour of a screen rectangle ("WxH+X+Y"), as "r g b" in 0..255.
mean_rgb() {
    import -window root -crop "$1" +repage -resize 1x1\! -depth 8 txt:- |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}
