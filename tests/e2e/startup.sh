#!/usr/bin/env bash
# The real program starts under a window manager: the bus with its doors, sign, signboard and
# frame where the layout puts them, the panel under it and above it, the popup menu on the
# body only, and a clean end when the bus window is closed.
source "$(dirname "$0")/lib.sh"
ASSETS=${ASSETS:?}

start_display
start_bus

panel_under_bus() {
    local bx by bw bh px py pw ph
    read -r bx by bw bh < <(frame_rect "$BUS_WIN")
    read -r px py pw ph < <(frame_rect "$PANEL_WIN")
    [[ $px -eq $bx && $py -eq $((by + bh)) && $bx -eq 0 && $by -eq 0 ]]
}
wait_until 10 panel_under_bus || fail "panel not directly under the bus: bus $(frame_rect "$BUS_WIN"), panel $(frame_rect "$PANEL_WIN")"

shot "$E2E_TMP/start.png"
crop_client "$E2E_TMP/start.png" "$BUS_WIN" "$E2E_TMP/bus.png"
[[ $(identify -format '%wx%h' "$E2E_TMP/bus.png") == 807x225 ]] || fail "client area is not 807x225"
if [[ -n "${E2E_ARTIFACTS:-}" ]]; then
    # The README's picture: both windows with their frames, as a user first sees them.
    mkdir -p "$E2E_ARTIFACTS"
    read -r bx by bw bh < <(frame_rect "$BUS_WIN")
    read -r px py pw ph < <(frame_rect "$PANEL_WIN")
    convert "$E2E_TMP/start.png" -crop "${bw}x$((py + ph - by))+${bx}+${by}" +repage "$E2E_ARTIFACTS/screenshot.png"
fi

# The sign box: dark border, the default sign picture inside from its inner corner.
expect_pixel "$E2E_TMP/bus.png" 499 41 "0,0,0" "sign box border"
expect_pixel "$E2E_TMP/bus.png" 510 52 "$(pixel "$ASSETS/sign_default.bmp" 10 10)" "default sign"
# The signboard at its home place, white inside its border, with the grey frame beside it.
expect_pixel "$E2E_TMP/bus.png" 212 121 "0,0,0" "signboard border"
expect_pixel "$E2E_TMP/bus.png" 259 136 "255,255,255" "signboard face"
expect_pixel "$E2E_TMP/bus.png" 209 130 "224,224,224" "frame post"
expect_pixel "$E2E_TMP/bus.png" 259 153 "224,224,224" "frame bar"
# Body picture elsewhere; the bottom row is the window's own colour.
expect_pixel "$E2E_TMP/bus.png" 700 10 "$(pixel "$ASSETS/bus_body.bmp" 700 10)" "body picture"
face=$(pixel "$E2E_TMP/bus.png" 0 224)
expect_pixel "$E2E_TMP/bus.png" 806 224 "$face" "bottom strip"
[[ "$face" != "$(pixel "$ASSETS/bus_body.bmp" 0 223)" ]] || true
# The doors cover the doorways: the front door picture's middle shows at the door's middle.
convert "$ASSETS/front_door.bmp" -resize '77x151!' "$E2E_TMP/door.png"
convert "$ASSETS/bus_body.bmp" -crop 77x151+26+53 +repage "$E2E_TMP/doorway.png"
convert "$E2E_TMP/bus.png" -crop 77x151+26+53 +repage "$E2E_TMP/door_shown.png"
[[ $(differing_pixels "$E2E_TMP/door_shown.png" "$E2E_TMP/doorway.png") -gt 1000 ]] || fail "front door not drawn over the doorway"

# The panel stays above the bus when the bus is clicked and activated.
xprop -id "$PANEL_WIN" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "panel is not topmost"
click_client "$BUS_WIN" 700 150
wait_until 5 sh -c "[ \$(xdotool getactivewindow) -eq $BUS_WIN ]" || fail "bus did not become active"
window_is_above "$PANEL_WIN" "$BUS_WIN" || fail "panel fell below the bus"
xprop -id "$BUS_WIN" _NET_WM_ALLOWED_ACTIONS | grep -q MAXIMIZE && fail "bus window can be maximised"

# Right press: the menu on the body, none on a door or the sign.
popups() { xdotool search --onlyvisible --classname RX27A0022 | wc -l; }
base=$(popups)
click_client "$BUS_WIN" 60 120 3
click_client "$BUS_WIN" 400 120 3
click_client "$BUS_WIN" 520 55 3
sleep 0.5
[[ $(popups) -eq $base ]] || fail "a right press on a door or the sign opened a menu"
click_client "$BUS_WIN" 700 150 3
wait_until 5 sh -c "[ \$(xdotool search --onlyvisible --classname RX27A0022 | wc -l) -gt $base ]" || fail "no menu on the body"
shot "$E2E_TMP/menu.png"
xdotool key Escape
wait_until 5 sh -c "[ \$(xdotool search --onlyvisible --classname RX27A0022 | wc -l) -eq $base ]" || fail "menu did not close"

# Closing the bus ends the program, panel and all, within a second.
wmctrl -i -c "$BUS_WIN"
start=$(date +%s%N)
wait_until 5 sh -c "! kill -0 $BUS_PID" || fail "program still running after the bus was closed"
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
((elapsed_ms <= 1000)) || fail "program took ${elapsed_ms} ms to end"
xwininfo -id "$PANEL_WIN" >/dev/null 2>&1 && fail "panel outlived the bus"
wait "$BUS_PID" || fail "program ended with status $? after the bus was closed"

# A renamed copy shows its own name; asked to stop by the system, it shuts down like a closed
# bus window, cleanly and at once.
start_bus "MyBus.x86_64"
[[ $(xdotool getwindowname "$BUS_WIN") == "くるりん号　-　MyBus" ]] || fail "caption is '$(xdotool getwindowname "$BUS_WIN")'"
kill -TERM "$BUS_PID"
wait_until 5 sh -c "! kill -0 $BUS_PID" || fail "SIGTERM did not end the program"
wait "$BUS_PID" || fail "SIGTERM ended the program with status $?"
pass
