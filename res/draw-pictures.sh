#!/usr/bin/env bash
# Draws the pictures of Harmoload.exe into a folder, from nothing but this script: the Update
# labels (84 x 29), the open folder of Browse (16 x 16), the program icon and the hand cursor.
# The labels and the folder are drawn again at 150 % and 200 % (files ending -150 and -200), so
# that a dialog on a scaled screen shows them as sharp as at 100 %.
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

# label SCALE TEXT FONT SIZE TOP BOTTOM EDGE INK TYPE OUTPUT [BOLDEN]: a rounded button face
# with a vertical gradient, a one-pixel edge (at 100 %) and the text centred, everything SCALE
# percent of its size at 100 %; TYPE TrueColor (24-bit) or Palette (8-bit). BOLDEN, a stroke
# width in pixels at 100 %, thickens a font that has no bold face, so that its strokes have pixels
# of pure ink and not only anti-aliased edges.
label() {
    local scale="$1"
    shift
    local text="$1" face="$2" size="$3" top="$4" bottom="$5" edge="$6" ink="$7" type="$8"
    local width=$((84 * scale / 100)) height=$(((29 * scale + 50) / 100))
    local radius=$((7 * scale / 100)) line=$((scale / 100))
    local bolden=(-stroke none)
    [ -n "${10:-}" ] && bolden=(-stroke "$ink" -strokewidth "$(awk "BEGIN { print ${10} * $scale / 100 }")")
    convert -size "${width}x${height}" "gradient:$top-$bottom" "$work/gradient.png"
    convert -size "${width}x${height}" xc:white +antialias \
        -tile "$work/gradient.png" -draw "roundrectangle 0,0 $((width - 1)),$((height - 1)) $radius,$radius" +tile \
        -fill none -stroke "$edge" -strokewidth "$line" \
        -draw "roundrectangle $(((line - 1) / 2)),$(((line - 1) / 2)) $((width - 1 - line / 2)),$((height - 1 - line / 2)) $radius,$radius" \
        "${bolden[@]}" -antialias -fill "$ink" -font "$face" -pointsize "$((size * scale / 100))" \
        -gravity center -annotate +0+0 "$text" \
        -type "$type" -compress None "BMP3:$9"
}

# The open folder of Browse: back wall with its tab, and the front flap tilted open; the
# corners are given at 100 % and scaled.
folder() {
    local scale="$1" output="$2"
    local size=$((16 * scale / 100))
    points() { echo "$@" | awk -v s="$scale" -v RS=' ' -F, 'NF == 2 { printf "%d,%d ", $1 * s / 100, $2 * s / 100 }'; }
    convert -size "${size}x${size}" xc:white +antialias -stroke '#7a5a10' \
        -strokewidth "$((scale / 100))" \
        -fill '#e0a526' -draw "polygon $(points 0,3 5,3 6,4 12,4 12,13 0,13)" \
        -fill '#fbd75b' -draw "polygon $(points 3,7 15,7 12,13 0,13)" \
        -type TrueColor "BMP3:$output"
}

for scale in 100 150 200; do
    suffix=""
    [ "$scale" = 100 ] || suffix="-$scale"
    label "$scale" "Update" "$latin" 15 '#62aef0' '#1b5aa6' '#12407a' '#ffffff' TrueColor "$out/update-english$suffix.bmp"
    label "$scale" "Update" "$latin" 15 '#d9d9d9' '#a3a3a3' '#7a7a7a' '#ffffff' Palette "$out/update-english-grey$suffix.bmp"
    label "$scale" "更新" "$chinese" 16 '#62aef0' '#1b5aa6' '#12407a' '#ffffff' TrueColor "$out/update-chinese$suffix.bmp" 0.6
    label "$scale" "更新" "$chinese" 16 '#d9d9d9' '#a3a3a3' '#7a7a7a' '#ffffff' Palette "$out/update-chinese-grey$suffix.bmp" 0.6
    folder "$scale" "$out/open-folder$suffix.bmp"
done

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
