#!/usr/bin/env bash
# Draws the pictures of Harmoload.exe into a folder, from nothing but this script: the Update
# labels (84 x 29), the open folder of Browse (16 x 16), the program icon and the hand cursor.
# White (FFFFFF) is the colour the buttons leave out: it lies around a label's rounded face and
# in its letters, so the letters show the dialog's light background and stay open when a disabled
# button draws the picture embossed; nothing else on a face is pure white.
# Needs ImageMagick and the fonts of scripts/setup.sh.
set -euo pipefail
out="${1:?usage: draw-pictures.sh OUTPUT_FOLDER}"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

font() { fc-match -f '%{file}' "$1"; }
latin="$(font 'Liberation Sans:bold')"
chinese="$(font 'WenQuanYi Micro Hei')"

# label TEXT FONT SIZE TOP BOTTOM EDGE INK TYPE OUTPUT [BOLDEN]: a rounded button face with a
# vertical gradient, a one-pixel edge and the text centred; TYPE TrueColor (24-bit) or Palette
# (8-bit). BOLDEN, a stroke width in pixels, thickens a font that has no bold face, so that its
# strokes have pixels of pure ink and not only anti-aliased edges.
label() {
    local text="$1" face="$2" size="$3" top="$4" bottom="$5" edge="$6" ink="$7" type="$8"
    local bolden=(-stroke none)
    [ -n "${10:-}" ] && bolden=(-stroke "$ink" -strokewidth "${10}")
    convert -size 84x29 "gradient:$top-$bottom" "$work/gradient.png"
    convert -size 84x29 xc:white +antialias \
        -tile "$work/gradient.png" -draw "roundrectangle 0,0 83,28 7,7" +tile \
        -fill none -stroke "$edge" -draw "roundrectangle 0,0 83,28 7,7" \
        "${bolden[@]}" -antialias -fill "$ink" -font "$face" -pointsize "$size" \
        -gravity center -annotate +0+0 "$text" \
        -type "$type" -compress None "BMP3:$9"
}
label "Update" "$latin" 15 '#62aef0' '#1b5aa6' '#12407a' '#ffffff' TrueColor "$out/update-english.bmp"
label "Update" "$latin" 15 '#d9d9d9' '#a3a3a3' '#7a7a7a' '#ffffff' Palette "$out/update-english-grey.bmp"
label "更新" "$chinese" 16 '#62aef0' '#1b5aa6' '#12407a' '#ffffff' TrueColor "$out/update-chinese.bmp" 0.6
label "更新" "$chinese" 16 '#d9d9d9' '#a3a3a3' '#7a7a7a' '#ffffff' Palette "$out/update-chinese-grey.bmp" 0.6

# The open folder of Browse: back wall with its tab, and the front flap tilted open.
convert -size 16x16 xc:white +antialias -stroke '#7a5a10' \
    -fill '#e0a526' -draw "polygon 0,3 5,3 6,4 12,4 12,13 0,13" \
    -fill '#fbd75b' -draw "polygon 3,7 15,7 12,13 0,13" \
    -type TrueColor "BMP3:$out/open-folder.bmp"

# The program icon: two beamed notes on a blue tile, with a green arrow into the instrument.
convert -size 256x256 xc:none \
    \( -size 256x256 gradient:'#3d7fd6-#14356b' \) \
    \( -size 256x256 xc:black -fill white -draw "roundrectangle 8,8 247,247 44,44" \) \
    -delete 0 -alpha off -compose CopyOpacity -composite -compose Over \
    -fill '#fafafa' -stroke none \
    -draw "ellipse 78,182 26,19 0,360" -draw "ellipse 164,162 26,19 0,360" \
    -draw "rectangle 92,58 106,180" -draw "rectangle 178,38 192,160" \
    -draw "polygon 92,58 192,38 192,72 92,92" \
    -fill '#53d35a' -stroke '#1f7a25' -strokewidth 6 \
    -draw "polygon 196,186 244,186 244,206 220,238 196,206" \
    "$work/icon.png"
convert "$work/icon.png" -define icon:auto-resize=48,32,16 "$out/harmoload.ico"

# The hand cursor: a hand with the index finger up, black outline on white, hot spot on the
# fingertip. ImageMagick writes an icon; a cursor differs only in its type and hot spot fields.
convert -size 32x32 xc:none +antialias -fill white -stroke black \
    -draw "polygon 9,2 10,1 12,1 13,2 13,11 15,11 16,10 18,10 19,12 20,11 22,11 23,13 24,13 26,15 26,23 24,27 24,30 11,30 11,27 5,20 4,17 5,16 7,16 9,18" \
    -draw "line 16,12 16,16" -draw "line 19,12 19,16" -draw "line 23,13 23,16" \
    "$work/hand.png"
convert "$work/hand.png" "$work/hand.ico"
hot_x=11
hot_y=1
{
    head -c 2 "$work/hand.ico"
    printf '\002\000'                                          # type: cursor
    head -c 10 "$work/hand.ico" | tail -c 6                    # count, size, colours, reserved
    printf "\\$(printf '%03o' "$hot_x")\\000\\$(printf '%03o' "$hot_y")\\000"  # hot spot
    tail -c +15 "$work/hand.ico"
} >"$out/hand.cur"
