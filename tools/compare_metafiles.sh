#!/usr/bin/env bash
# Compares our metafile player with other renderers, file by file:
#   tools/compare_metafiles.sh IN_DIR OUT_DIR [RENDER_METAFILES]
# Each .wmf/.emf is rendered by our player (build/tools/render_metafiles unless told) into
# OUT_DIR/ours, and by wmf2svg (libwmf-bin) or emf2svg-conv (emf2svg) then rsvg-convert on white
# into OUT_DIR/theirs. Both are brought to the same size, blurred a little so a pixel's offset
# or a different antialiasing does not count, and compared: "same" is the share of pixels whose
# colours lie within 20% of each other, "ink" the share of the other renderer's non-white pixels
# that are non-white in ours too. A file is counted close at same >= 95% and ink >= 80%.
#
# When LibreOffice (soffice) is installed it is the third renderer: one soffice process draws the
# whole folder into OUT_DIR/lo (each picture on an A4 page at 96 dpi, shrunk when larger). For the
# three-way part every picture is cropped to its drawing (white margins trimmed) and brought to
# the size of our cropped drawing, so a different page or frame does not count, only the drawing.
# Two renderers agree when same >= 95% and ink >= 80% both ways: most of each one's ink is ink in
# the other too, so a blot where the other draws a faint shadow counts. Ink is weighed by its
# darkness (see darkness()); INK_MEASURE=threshold counts pixels darker than 90% grey instead, as
# the tool first did, which splits faint lines on the cut.
# Columns "ours~LO" and "conv~LO" give same/ink and "+" for agreement; "odd" names the renderer
# that disagrees with the two others while those two agree: "ours", "conv" or "LO"; "-" when all
# three agree, "?" when no two agree or the pairs contradict each other.
#
# Every renderer is wrong in places: look at the pictures side by side (OUT_DIR/side: ours,
# converter, LibreOffice) before believing a low figure. A folder holding a.wmf and a.emf gets one
# a.png from each renderer, so keep such pairs in separate folders.
set -uo pipefail
in=${1:?folder of metafiles}
out=${2:?output folder}
render=${3:-$(dirname "$0")/../build/tools/render_metafiles}
mkdir -p "$out/ours" "$out/theirs" "$out/lo" "$out/side" "$out/tmp"

"$render" "$in" "$out/ours" >"$out/ours.txt" 2>/dev/null

files=()
for path in "$in"/*.wmf "$in"/*.emf "$in"/*.WMF "$in"/*.EMF; do
    [[ -f $path ]] && files+=("$path")
done

withLo=
if command -v soffice >/dev/null && ((${#files[@]} > 0)); then
    withLo=1
    rm -f "$out"/lo/*.png
    # A profile of our own, so that a LibreOffice someone else runs under the default one cannot
    # take the job over.
    profile=$(mktemp -d)
    trap 'rm -rf "$profile"' EXIT
    timeout 1800 soffice -env:UserInstallation="file://$profile" --headless --convert-to png \
        --outdir "$out/lo" "${files[@]}" >"$out/lo.txt" 2>&1
fi

# The drawing alone: on white, margins of (near) white trimmed. A blank picture trims to 1x1.
# Trimming takes the corners' colour for the margin, so a white border goes round first: a
# picture whose edges are a colour (a map's sea) keeps them.
crop() {
    convert "$1" -background white -alpha remove -alpha off -bordercolor white -border 1 \
        -fuzz 2% -trim +repage "$2"
}

isBlank() {
    [[ $(identify -format '%wx%h' "$1") == 1x1 ]]
}

# Ink: non-white pixels, white in a mask.
inkMask() {
    convert "$1" -colorspace gray -threshold 90% -negate "$2"
}

# Ink weighed by how dark it is: each pixel's darkness (white 0, black 1, the faintest 3% taken
# as paper). Two drawings then share the ink both have at a pixel, the lighter of the two: a faint
# line drawn a shade lighter by one renderer still counts as shared, where a 90% cut would drop
# it from one mask and keep it in the other; a black blot where the other draws a faint shadow
# shares only the shadow's ink.
darkness() {
    convert "$1" -colorspace gray -negate -level 3%,100% "$2"
}

countWhite() {
    convert "$1" -format '%[fx:mean*w*h]' info:
}

# Prints "same ink" for two cropped drawings brought to SIZE; ink is the smaller of the two
# directions. A blank drawing agrees only with another blank one.
agreement() {
    local a=$1 b=$2 size=$3 tag=$4
    if isBlank "$a" || isBlank "$b"; then
        if isBlank "$a" && isBlank "$b"; then echo "100.0 100.0"; else echo "0.0 0.0"; fi
        return
    fi
    local sa="$out/tmp/$tag.a.png" sb="$out/tmp/$tag.b.png" ma="$out/tmp/$tag.ma.png" mb="$out/tmp/$tag.mb.png"
    convert "$a" -resize "$size!" -blur 0x1.5 "$sa"
    convert "$b" -resize "$size!" -blur 0x1.5 "$sb"
    local pixels differ inkA inkB inkBoth
    pixels=$(identify -format '%[fx:w*h]' "$sa")
    differ=$(compare -metric AE -fuzz 20% "$sa" "$sb" null: 2>&1 | awk '{ print int($1) }')
    if [[ ${INK_MEASURE:-weighted} == threshold ]]; then
        inkMask "$sa" "$ma"
        inkMask "$sb" "$mb"
        inkBoth=$(convert "$ma" "$mb" -compose multiply -composite -format '%[fx:mean*w*h]' info:)
    else
        darkness "$sa" "$ma"
        darkness "$sb" "$mb"
        inkBoth=$(convert "$ma" "$mb" -compose darken -composite -format '%[fx:mean*w*h]' info:)
    fi
    inkA=$(countWhite "$ma")
    inkB=$(countWhite "$mb")
    awk -v d="$differ" -v n="$pixels" -v a="$inkA" -v b="$inkB" -v both="$inkBoth" 'BEGIN {
        ia = a < 1 ? 1 : both / a; ib = b < 1 ? 1 : both / b
        printf "%.1f %.1f\n", 100 * (1 - d / n), 100 * (ia < ib ? ia : ib) }'
}

agrees() {
    awk -v s="$1" -v i="$2" 'BEGIN { exit !(s >= 95 && i >= 80) }'
}

# Prints "same ink flag" for two cropped drawings compared at cmpSize; flag 1 when they agree.
pair() {
    local a=$1 b=$2 tag=$3 same ink
    if [[ ! -f $a || ! -f $b ]]; then
        echo "- - 0"
        return
    fi
    read -r same ink < <(agreement "$a" "$b" "$cmpSize" "$tag")
    if agrees "$same" "$ink"; then echo "$same $ink 1"; else echo "$same $ink 0"; fi
}

# Which one of ours, the converter and LibreOffice differs from the two others.
oddOne() {
    local ol=$1 cl=$2 oc=$3
    case "$ol$cl$oc" in
        111) echo - ;;
        100) echo conv ;;
        010) echo ours ;;
        001) echo LO ;;
        *) echo '?' ;;
    esac
}

total=0
close=0
loTotal=0
oursLo=0
convLo=0
declare -A odd=()
printf '%-34s %6s %6s %6s %-8s %12s %12s %s\n' file ms same ink verdict 'ours~LO' 'conv~LO' odd
for path in "${files[@]}"; do
    name=$(basename "$path")
    base=${name%.*}
    ours="$out/ours/$base.png"
    theirs="$out/theirs/$base.png"
    lo="$out/lo/$base.png"
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
        same=- ink=- verdict="not-ours"
    elif [[ ! -s $theirs ]]; then
        same=- ink=- verdict="not-conv"
    else
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
        if agrees "$same" "$ink"; then
            verdict=close
            close=$((close + 1))
        fi
    fi

    olText=- clText=- oddText=-
    co="$out/tmp/$base.crop-ours.png"
    cc="$out/tmp/$base.crop-conv.png"
    cl="$out/tmp/$base.crop-lo.png"
    rm -f "$co" "$cc" "$cl"
    if [[ -n $withLo ]]; then
        loTotal=$((loTotal + 1))
        [[ -f $ours ]] && crop "$ours" "$co"
        [[ -s $theirs ]] && crop "$theirs" "$cc"
        [[ -s $lo ]] && crop "$lo" "$cl"
        # Compared at the size of our drawing, or LibreOffice's when ours is missing or blank.
        ref=
        for c in "$co" "$cl" "$cc"; do
            if [[ -f $c ]] && ! isBlank "$c"; then ref=$c; break; fi
        done
        cmpSize=$([[ -n $ref ]] && identify -format '%wx%h' "$ref" || echo 1x1)
        read -r olSame olInk olFlag < <(pair "$co" "$cl" "$base.ol")
        read -r clSame clInk clFlag < <(pair "$cc" "$cl" "$base.cl")
        read -r _ _ ocFlag < <(pair "$co" "$cc" "$base.oc")
        olText="$olSame/$olInk$([[ $olFlag == 1 ]] && echo +)"
        clText="$clSame/$clInk$([[ $clFlag == 1 ]] && echo +)"
        [[ -f $cl ]] || olText="no-LO"
        oddText=$(oddOne "$olFlag" "$clFlag" "$ocFlag")
        oursLo=$((oursLo + olFlag))
        convLo=$((convLo + clFlag))
        odd[$oddText]=$((${odd[$oddText]:-0} + 1))
    fi

    if [[ -f $ours ]]; then
        # Side by side at our picture's size: ours, the converter's, LibreOffice's drawing.
        panels=("$ours")
        for other in "$theirs" "$cl"; do
            [[ -s $other ]] && panels+=("(" "$other" -resize "$size" -background white -gravity center -extent "$size" ")")
        done
        convert "${panels[@]}" -background white +append +repage "$out/side/$base.png"
    fi
    printf '%-34s %6s %6s %6s %-8s %12s %12s %s\n' "$name" "${ms:--}" "$same" "$ink" "$verdict" "$olText" "$clText" "$oddText"
done
echo "close: $close of $total; slowest: $(awk '/^slowest/ { print $2 }' "$out/ours.txt") ms"
if [[ -n $withLo ]]; then
    echo "agree with LibreOffice: ours $oursLo of $loTotal, converter $convLo of $loTotal"
    echo "odd one out: ours ${odd[ours]:-0}, converter ${odd[conv]:-0}, LibreOffice ${odd[LO]:-0}; all agree ${odd[-]:-0}; unclear ${odd[?]:-0}"
fi
