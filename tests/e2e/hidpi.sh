#!/usr/bin/env bash
# The bus at 2x and 1.5x on a screen large enough for it: the body, the doors and the sign come
# from the drawings made for those scales, not from the 1x pictures enlarged, while the layout
# stays the 1x layout scaled. Screenshots of all three scales land in the artifacts folder.
source "$(dirname "$0")/lib.sh"
ASSETS=${ASSETS:?}

start_display 3840x2160

# run_at SCALE: starts the bus at that scale and leaves a screenshot of its client area in
# $E2E_TMP/bus-SCALE.png (and of the panel in panel-SCALE.png); the bus is closed again after.
run_at() {
    QT_SCALE_FACTOR=$1 start_bus
    sleep 1 # let the window manager finish placing both windows
    shot "$E2E_TMP/root-$1.png"
    crop_client "$E2E_TMP/root-$1.png" "$BUS_WIN" "$E2E_TMP/bus-$1.png"
    crop_client "$E2E_TMP/root-$1.png" "$PANEL_WIN" "$E2E_TMP/panel-$1.png"
    if [[ -n "${E2E_ARTIFACTS:-}" ]]; then
        mkdir -p "$E2E_ARTIFACTS"
        cp "$E2E_TMP/root-$1.png" "$E2E_ARTIFACTS/hidpi-screen-$1x.png"
        cp "$E2E_TMP/bus-$1.png" "$E2E_ARTIFACTS/hidpi-bus-$1x.png"
        cp "$E2E_TMP/panel-$1.png" "$E2E_ARTIFACTS/hidpi-panel-$1x.png"
    fi
    [[ $1 == 2 ]] && check_about_box_at_2x
    kill "$BUS_PID"; wait "$BUS_PID" 2>/dev/null || true
}

# The about box at 2x shows the icon drawn for 2x, 64 screen pixels square.
check_about_box_at_2x() {
    click_client "$PANEL_WIN" 196 310
    wait_until 10 xdotool search --name '^くるりん号のバージョン情報$' || fail "about box did not open"
    local about
    about=$(xdotool search --name '^くるりん号のバージョン情報$' | head -n1)
    wait_until 5 is_viewable "$about" || fail "about box not shown"
    sleep 0.3
    shot "$E2E_TMP/about-root.png"
    crop_client "$E2E_TMP/about-root.png" "$about" "$E2E_TMP/about.png"
    [[ -n "${E2E_ARTIFACTS:-}" ]] && cp "$E2E_TMP/about.png" "$E2E_ARTIFACTS/hidpi-about-2x.png"
    convert "$E2E_TMP/about.png" -crop 64x64+38+22 +repage "$E2E_TMP/icon.png"
    convert "$ASSETS/bus@2x.ico" -background white -flatten "$E2E_TMP/icon-drawn.png"
    [[ $(differing_pixels "$E2E_TMP/icon.png" "$E2E_TMP/icon-drawn.png") -eq 0 ]] || fail "the about box's icon at 2x is not its 2x drawing"
}

size_of() { identify -format '%wx%h' "$1"; }

# mean_error A B: the mean difference of two pictures of one size, 0 (same) to 1.
mean_error() {
    compare -metric MAE "$1" "$2" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/' || true
}

# below VALUE LIMIT: whether a fraction is below a limit.
below() { awk -v v="$1" -v l="$2" 'BEGIN { exit !(v < l) }'; }

run_at 1
run_at 2
run_at 1.5

[[ $(size_of "$E2E_TMP/bus-1.png") == 807x225 ]] || fail "1x client area is $(size_of "$E2E_TMP/bus-1.png")"
[[ $(size_of "$E2E_TMP/bus-2.png") == 1614x450 ]] || fail "2x client area is $(size_of "$E2E_TMP/bus-2.png")"

# Regions nothing covers, as WIDTHxHEIGHT+X+Y at 1x: the front wheel and the bus's name, with how
# far the 2x one halved may be from the 1x one (text is hinted to the pixel grid at 1x and is not
# at 2x, so its strokes move a little).
regions=("65x63+126+159 0.01" "117x31+574+101 0.04")
for entry in "${regions[@]}"; do
    read -r region limit <<<"$entry"
    IFS='x+' read -r w h x y <<<"$region"
    double="$((2 * w))x$((2 * h))+$((2 * x))+$((2 * y))"
    convert "$E2E_TMP/bus-2.png" -crop "$double" +repage "$E2E_TMP/r2.png"
    convert "$E2E_TMP/bus-1.png" -crop "$region" +repage "$E2E_TMP/r1.png"
    pixels=$((4 * w * h))

    # Exactly the 2x drawing...
    convert "$ASSETS/bus_body@2x.bmp" -crop "$double" +repage "$E2E_TMP/drawn.png"
    drawn=$(differing_pixels "$E2E_TMP/r2.png" "$E2E_TMP/drawn.png")
    [[ $drawn -eq 0 ]] || fail "$region at 2x: $drawn pixels differ from the 2x drawing"
    # ...which is not the 1x screenshot stretched twice...
    convert "$E2E_TMP/r1.png" -scale 200% "$E2E_TMP/stretched.png"
    stretched=$(differing_pixels "$E2E_TMP/r2.png" "$E2E_TMP/stretched.png")
    ((stretched > pixels / 10)) || fail "$region at 2x: only $stretched of $pixels pixels differ from the 1x picture stretched"
    # ...and shrinks back to nearly the 1x screenshot.
    convert "$E2E_TMP/r2.png" -filter Box -resize 50% "$E2E_TMP/shrunk.png"
    error=$(mean_error "$E2E_TMP/shrunk.png" "$E2E_TMP/r1.png")
    below "$error" "$limit" || fail "$region at 2x shrunk by half is $error from the 1x screenshot (limit $limit)"
    echo "$region: stretched 1x differs in $stretched of $pixels pixels; halved 2x is $error from 1x"
done

# The whole window halved is the 1x window: the layout holds, only finer.
convert "$E2E_TMP/bus-2.png" -filter Box -resize 50% "$E2E_TMP/bus-2-halved.png"
error=$(mean_error "$E2E_TMP/bus-2-halved.png" "$E2E_TMP/bus-1.png")
below "$error" 0.005 || fail "the 2x window halved is $error from the 1x window"
echo "whole window: halved 2x is $error from 1x"

# The default sign and the shut front door at 2x come from their 2x drawings.
convert "$E2E_TMP/bus-2.png" -crop 100x60+1000+84 +repage "$E2E_TMP/sign.png"
convert "$ASSETS/sign_default@2x.bmp" -crop 100x60+0+0 +repage "$E2E_TMP/sign-drawn.png"
[[ $(differing_pixels "$E2E_TMP/sign.png" "$E2E_TMP/sign-drawn.png") -eq 0 ]] || fail "the sign at 2x is not its 2x drawing"
convert "$E2E_TMP/bus-2.png" -crop 154x302+52+106 +repage "$E2E_TMP/door.png"
convert "$ASSETS/front_door@2x.bmp" -filter Triangle -resize '154x302!' "$E2E_TMP/door-drawn.png"
convert "$ASSETS/front_door.bmp" -filter Triangle -resize '154x302!' "$E2E_TMP/door-1x.png"
near_drawn=$(compare -metric AE -fuzz 6% "$E2E_TMP/door.png" "$E2E_TMP/door-drawn.png" null: 2>&1 || true)
near_1x=$(compare -metric AE -fuzz 6% "$E2E_TMP/door.png" "$E2E_TMP/door-1x.png" null: 2>&1 || true)
((near_drawn * 3 < near_1x)) || fail "the door at 2x is no closer to its 2x drawing ($near_drawn) than to the 1x one ($near_1x)"

# At 1.5x the body is its 1.5x drawing, placed at the window's corner.
convert "$E2E_TMP/bus-1.5.png" -crop 97x94+189+239 +repage "$E2E_TMP/wheel-15.png"
convert "$ASSETS/bus_body@1.5x.bmp" -crop 97x94+189+239 +repage "$E2E_TMP/wheel-15-drawn.png"
[[ $(differing_pixels "$E2E_TMP/wheel-15.png" "$E2E_TMP/wheel-15-drawn.png") -eq 0 ]] || fail "the wheel at 1.5x is not the 1.5x drawing"
pass
