#!/usr/bin/env bash
# Compares our metafile player with other renderers, file by file:
#   tools/compare_metafiles.sh IN_DIR OUT_DIR [RENDER_METAFILES]
# Each .wmf/.emf is rendered by our player (build/tools/render_metafiles unless told) into
# OUT_DIR/ours, and by wmf2svg (libwmf-bin) or emf2svg-conv (emf2svg) then rsvg-convert on white
# into OUT_DIR/theirs. Both are brought to the same size, blurred a little so a pixel's offset
# or a different antialiasing does not count, and compared: "same" is the share of pixels whose
# colours lie within 20% of each other, "ink" the share of the other renderer's non-white pixels
# that are non-white in ours too. A file is counted close at same >= 95% and ink >= 80%. The
# other renderers are wrong in places: look at the pictures side by side (OUT_DIR/side) before
# believing a low figure.
set -uo pipefail
in=${1:?folder of metafiles}
out=${2:?output folder}
render=${3:-$(dirname "$0")/../build/tools/render_metafiles}
mkdir -p "$out/ours" "$out/theirs" "$out/side" "$out/tmp"

"$render" "$in" "$out/ours" >"$out/ours.txt" 2>/dev/null

total=0
close=0
printf '%-22s %9s %6s %6s %s\n' file ms same ink verdict
for path in "$in"/*.wmf "$in"/*.emf "$in"/*.WMF "$in"/*.EMF; do
    [[ -f $path ]] || continue
    name=$(basename "$path")
    base=${name%.*}
    ours="$out/ours/$base.png"
    theirs="$out/theirs/$base.png"
    svg="$out/tmp/$base.svg"
    rm -f "$svg" "$theirs"
    case ${name,,} in
        *.wmf) timeout 20 wmf2svg -o "$svg" "$path" >/dev/null 2>&1 ;;
        *.emf) timeout 20 emf2svg-conv -i "$path" -o "$svg" >/dev/null 2>&1 ;;
    esac
    # Theirs drawn straight at our picture's size, so neither is resampled from pixels.
    size=
    [[ -f $ours ]] && size=$(identify -format '%wx%h' "$ours")
    if [[ -s $svg && -n $size ]]; then
        timeout 20 rsvg-convert -b white -w "${size%x*}" -h "${size#*x}" -o "$theirs" "$svg" 2>/dev/null
    elif [[ -s $svg ]]; then
        timeout 20 rsvg-convert -b white -w 1024 -a -o "$theirs" "$svg" 2>/dev/null
    fi
    ms=$(awk -v n="$name" '$1 == n { print $3 }' "$out/ours.txt")
    total=$((total + 1))
    if [[ ! -f $ours ]]; then
        printf '%-22s %9s %6s %6s %s\n' "$name" "${ms:--}" - - "not drawn by us"
        continue
    fi
    if [[ ! -s $theirs ]]; then
        printf '%-22s %9s %6s %6s %s\n' "$name" "${ms:--}" - - "not drawn by the other renderer"
        continue
    fi
    a="$out/tmp/$base.a.png"
    b="$out/tmp/$base.b.png"
    convert "$ours" -alpha off -blur 0x1.5 "$a"
    convert "$theirs" -alpha off -resize "$size!" -blur 0x1.5 "$b"
    pixels=$(identify -format '%[fx:w*h]' "$a")
    differ=$(compare -metric AE -fuzz 20% "$a" "$b" null: 2>&1 | awk '{ print int($1) }')
    same=$(awk -v d="$differ" -v n="$pixels" 'BEGIN { printf "%.1f", 100 * (1 - d / n) }')
    # Ink: their non-white pixels, and how many of those are non-white in ours.
    inkTheirs=$(convert "$b" -colorspace gray -threshold 90% -negate -format '%[fx:mean*w*h]' info:)
    inkBoth=$(convert "$a" "$b" -colorspace gray -threshold 90% -negate -compose multiply -composite \
        -format '%[fx:mean*w*h]' info:)
    ink=$(awk -v t="$inkTheirs" -v b="$inkBoth" 'BEGIN { if (t < 1) print "100.0"; else printf "%.1f", 100 * b / t }')
    verdict=differs
    if awk -v s="$same" -v i="$ink" 'BEGIN { exit !(s >= 95 && i >= 80) }'; then
        verdict=close
        close=$((close + 1))
    fi
    convert "$ours" \( "$theirs" -resize "$size!" \) +append "$out/side/$base.png"
    printf '%-22s %9s %6s %6s %s\n' "$name" "${ms:--}" "$same" "$ink" "$verdict"
done
echo "close: $close of $total; slowest: $(awk '/^slowest/ { print $2 }' "$out/ours.txt") ms"
