# shellcheck shell=bash
# Screenshots and picture comparisons with ImageMagick, shared by the scripts that look at the
# real program on the screen. Rectangles are "WxH+X+Y"; colours are ImageMagick's ("#0000FF",
# "rgb(192,0,0)", "navy"). Source it.

# Photographs the screen (import's options, then a file): the X server's root window, or under
# with-wayland.sh the screen the compositor draws into, X and Wayland windows alike.
shoot_screen() {
    DISPLAY="${LUMORA_SCREEN_DISPLAY:-$DISPLAY}" import -window root "$@"
}

# The colour of one pixel of a picture, as "r g b" in 0..255.
pixel() {
    convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# Average colour of a rectangle, as "r g b" in 0..255: of the picture file when one is given,
# else of the screen as it is now.
mean_rgb() {
    local source=${2:-}
    if [[ -z $source ]]; then
        shoot_screen -crop "$1" +repage -resize 1x1\! -depth 8 txt:-
    else
        convert "$source" -crop "$1" +repage -resize 1x1\! -depth 8 txt:-
    fi | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# Sets mask_args to ImageMagick's arguments that crop a picture to a rectangle and make it
# white where it has the colour (within the fuzz, "0%" when none is given), black elsewhere.
colour_mask() {
    mask_args=("$1" -crop "$2" +repage -alpha off -fuzz "${4:-0%}" -transparent "$3"
        -alpha extract -negate)
}

# How many pixels of a rectangle of a picture have the colour. Usage: file rect colour [fuzz]
count_colour() {
    colour_mask "$@"
    convert "${mask_args[@]}" -format '%[fx:round(mean*w*h)]\n' info:
}

# Where the colour lies within a rectangle of a picture: its bounding box on the whole picture
# as "w h x y", or nothing when the rectangle does not hold it. Usage: file rect colour [fuzz]
colour_box() {
    local box w h x y origin=${2#*+}
    colour_mask "$@"
    box=$(convert "${mask_args[@]}" -bordercolor black -border 1 -format '%@' info: 2>/dev/null)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 0
    read -r w h x y <<<"${BASH_REMATCH[*]:1}"
    ((w > 0)) || return 0
    echo "$w $h $((x - 1 + ${origin%%+*})) $((y - 1 + ${origin##*+}))"
}

# Whether a rectangle of a picture is exactly a reference picture, pixel for pixel.
same_pixels() {
    [[ "$(convert "$1" -crop "$2" +repage miff:- | compare -metric AE miff:- "$3" null: 2>&1)" == 0 ]]
}
