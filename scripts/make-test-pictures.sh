#!/usr/bin/env bash
# Makes the picture corpus of the picture-reader tests into the folder given as $1, with tools
# nobody on this project wrote: ImageMagick, libjpeg-turbo's cjpeg and jpegtran, gifsicle and
# exiftool (Debian packages, listed in scripts/packages.txt). Next to every picture it writes
# ImageMagick's own decode of it as an 8-bit PNG (ref/<name>.png), which the tests compare with
# ours. Deterministic: the same packages give the same files.
set -euo pipefail

out="${1:?usage: make-test-pictures.sh OUTPUT_DIR}"
IM="$(command -v convert-im6.q16 || command -v convert)"
profiles=/usr/share/color/icc/colord
rm -rf "$out"
mkdir -p "$out/ref" "$out/refused" "$out/big"
cd "$out"

# ImageMagick's decode with the same integer DCT libjpeg-turbo's tools use by default.
ref() { # ref NAME [extra convert options...]
    local name="$1"
    shift
    "$IM" -define jpeg:dct-method=islow "$name" "$@" -depth 8 "ref/${name%.*}.png"
}

# Base pictures: odd sizes, so that partial MCUs, rows and padding are all exercised.
"$IM" rose: -resize '97x61!' base.ppm
"$IM" -seed 7 logo: -resize '301x203!' -attenuate 0.4 +noise Uniform noisy.ppm

# --- JPEG -------------------------------------------------------------------------------
jpeg() { # jpeg NAME cjpeg-options...
    local name="$1"
    shift
    cjpeg "$@" -outfile "$name" base.ppm
    ref "$name"
}
jpeg j-baseline-420.jpg -quality 85 -sample 2x2
jpeg j-baseline-444.jpg -quality 92 -sample 1x1
jpeg j-baseline-422.jpg -quality 85 -sample 2x1
jpeg j-optimized.jpg -quality 75 -optimize
jpeg j-progressive.jpg -quality 85 -progressive
jpeg j-grey.jpg -quality 85 -grayscale
jpeg j-grey-progressive.jpg -quality 85 -grayscale -progressive
jpeg j-restart-rows.jpg -quality 85 -restart 1
jpeg j-restart-blocks.jpg -quality 85 -restart 3B
jpeg j-arithmetic.jpg -quality 85 -arithmetic
jpeg j-arithmetic-progressive.jpg -quality 85 -arithmetic -progressive
jpeg j-rgb.jpg -quality 90 -rgb

# CMYK as ImageMagick writes it: YCCK coded, with an Adobe marker (inverted values).
"$IM" base.ppm -colorspace CMYK -quality 90 j-ycck.jpg
ref j-ycck.jpg -colorspace sRGB

# CMYK made through a CMYK profile and carrying it, as print workflows make it: shown through
# the profile (here Ghostscript's default CMYK profile), not by the inks alone.
"$IM" base.ppm -profile "$profiles/sRGB.icc" -profile /usr/share/color/icc/ghostscript/default_cmyk.icc \
    -quality 90 j-cmyk-profile.jpg
ref j-cmyk-profile.jpg -profile "$profiles/sRGB.icc"

# EXIF orientations 1 to 8 on a colour and on a greyscale picture.
for n in 1 2 3 4 5 6 7 8; do
    cp j-baseline-420.jpg "j-orient-$n.jpg"
    exiftool -q -overwrite_original "-Orientation#=$n" "j-orient-$n.jpg"
    ref "j-orient-$n.jpg" -auto-orient
done
for n in 3 6; do
    cp j-grey.jpg "j-grey-orient-$n.jpg"
    exiftool -q -overwrite_original "-Orientation#=$n" "j-grey-orient-$n.jpg"
    ref "j-grey-orient-$n.jpg" -auto-orient
done
cp j-ycck.jpg j-ycck-orient-8.jpg
exiftool -q -overwrite_original "-Orientation#=8" j-ycck-orient-8.jpg
ref j-ycck-orient-8.jpg -auto-orient -colorspace sRGB

# Colour profiles: the picture's values in Adobe RGB and in a wide gamut, converted to sRGB
# by ImageMagick (through Little CMS) for the reference.
for profile in AdobeRGB1998 WideGamutRGB ProPhotoRGB sRGB; do
    "$IM" j-baseline-444.jpg -profile "$profiles/$profile.icc" -quality 92 "j-icc-$profile.jpg"
    ref "j-icc-$profile.jpg" -profile "$profiles/sRGB.icc"
done

# Bytes after EOI, as phones append previews and videos.
cp j-baseline-420.jpg j-trailing-data.jpg
head -c 5000 /dev/zero | tr '\0' 'x' >>j-trailing-data.jpg
ref j-trailing-data.jpg

# A progression of 100 scans, the most jpegtran writes: coefficient by coefficient.
{
    echo "0,1,2: 0-0, 0, 0;"
    for k in $(seq 1 63); do echo "0: $k-$k, 0, 0;"; done
    for k in $(seq 1 18); do echo "1: $k-$k, 0, 0;"; done
    echo "1: 19-63, 0, 0;"
    for k in $(seq 1 16); do echo "2: $k-$k, 0, 0;"; done
    echo "2: 17-63, 0, 0;"
} >scans-100.txt
jpegtran -scans scans-100.txt -outfile j-scans-100.jpg j-baseline-444.jpg
ref j-scans-100.jpg

# --- GIF --------------------------------------------------------------------------------
"$IM" base.ppm -colors 256 g-basic.gif
ref g-basic.gif
"$IM" base.ppm -colors 2 g-two-colours.gif
ref g-two-colours.gif
"$IM" base.ppm -colors 16 g-sixteen-colours.gif
ref g-sixteen-colours.gif
gifsicle --interlace g-basic.gif >g-interlaced.gif
ref g-interlaced.gif
# gifsicle writes GIF87a when no extension is needed.
gifsicle --no-extensions g-basic.gif >g-87a.gif
ref g-87a.gif
gifsicle --transparent 0 g-sixteen-colours.gif >g-transparent.gif
ref g-transparent.gif
gifsicle --interlace --transparent 0 g-sixteen-colours.gif >g-transparent-interlaced.gif
ref g-transparent-interlaced.gif
# A frame smaller than the screen, placed inside it: the rest of the screen is transparent.
gifsicle --logical-screen 120x80 --position 9,7 g-basic.gif >g-offset-frame.gif
ref g-offset-frame.gif -background none -flatten
# Only the first frame of an animation is shown.
"$IM" base.ppm -flip -colors 64 flipped.gif
gifsicle g-basic.gif flipped.gif >g-animated.gif
"$IM" 'g-animated.gif[0]' -depth 8 ref/g-animated.png
# Noise fills the LZW table, so codes of 12 bits and full-table (deferred clear) coding occur.
"$IM" noisy.ppm -colors 256 g-noisy.gif
ref g-noisy.gif

# --- BMP --------------------------------------------------------------------------------
bmp() { # bmp NAME convert-options-before-output... (the output format is NAME's prefix)
    local name="$1" format="$2"
    shift 2
    "$IM" base.ppm "$@" "$format:$name"
    ref "$name"
}
bmp b-1bit.bmp BMP3 -colors 2
bmp b-4bit.bmp BMP3 -colors 16
bmp b-8bit.bmp BMP3 -colors 256
bmp b-rle8.bmp BMP3 -colors 256 -compress RLE
bmp b-rle8-few-colours.bmp BMP3 -colors 16 -compress RLE
bmp b-24bit.bmp BMP3 -type truecolor
bmp b-os2.bmp BMP2 -type truecolor
bmp b-os2-8bit.bmp BMP2 -colors 256
bmp b-565.bmp BMP -define bmp:subtype=RGB565
bmp b-32bit-alpha.bmp BMP -alpha set -channel A -fx 'i/w' +channel
"$IM" noisy.ppm -type truecolor BMP3:b-noisy-24bit.bmp
ref b-noisy-24bit.bmp

# --- Small files that declare big pictures --------------------------------------------
# A 1 x 1 frame on a 5000 x 5000 screen, in a few dozen bytes.
"$IM" -size 1x1 xc:red tiny.gif
gifsicle --logical-screen 5000x5000 tiny.gif >big/g-screen-5000.gif
rm -f tiny.gif

# --- Formats that are not ours ----------------------------------------------------------
"$IM" base.ppm -resize 16x16 refused/xpm.xpm
"$IM" base.ppm -resize 16x16 refused/icon.ico
"$IM" base.ppm -resize 16x16 refused/bitmap.pbm
"$IM" base.ppm -resize 16x16 refused/png.png
"$IM" base.ppm -resize 16x16 -compress none refused/tiff.tif
rm -f base.ppm noisy.ppm flipped.gif scans-*.txt
