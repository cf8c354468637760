#!/usr/bin/env bash
# The signboard under a real mouse: dragged 600 twips to the right it leaves its frame behind,
# a double click brings the frame round it, a right press opens the menu on it, and a drag far
# outside the window stops with the board still in reach.
source "$(dirname "$0")/lib.sh"

start_display
start_bus

bus_shot() {
    shot "$E2E_TMP/s.png"
    crop_client "$E2E_TMP/s.png" "$BUS_WIN" "$E2E_TMP/bus.png"
}
# The board stands at its home place: 212,121 to 306,151 in pixels, the left post at 207..211.
bus_shot
expect_pixel "$E2E_TMP/bus.png" 259 136 "255,255,255" "signboard at home"
expect_pixel "$E2E_TMP/bus.png" 209 130 "224,224,224" "left post at home"

read -r bx by < <(client_origin "$BUS_WIN")
xdotool mousemove --sync $((bx + 230)) $((by + 130)) mousedown 1
for step in 10 20 30 40; do xdotool mousemove --sync $((bx + 230 + step)) $((by + 130)); sleep 0.05; done
xdotool mouseup 1
board_moved() { bus_shot; [[ $(pixel "$E2E_TMP/bus.png" 299 136) == "255,255,255" && $(pixel "$E2E_TMP/bus.png" 240 136) != "255,255,255" ]]; }
wait_until 5 board_moved || fail "the signboard did not follow the mouse 40 pixels to the right"
expect_pixel "$E2E_TMP/bus.png" 209 130 "224,224,224" "the frame stays behind after a drag"
[[ -n "${E2E_ARTIFACTS:-}" ]] && mkdir -p "$E2E_ARTIFACTS" && cp "$E2E_TMP/s.png" "$E2E_ARTIFACTS/signboard-dragged.png"

xdotool mousemove --sync $((bx + 290)) $((by + 136)) click --repeat 2 --delay 80 1
frame_fitted() { bus_shot; [[ $(pixel "$E2E_TMP/bus.png" 249 130) == "224,224,224" && $(pixel "$E2E_TMP/bus.png" 209 130) != "224,224,224" ]]; }
wait_until 5 frame_fitted || fail "a double click did not fit the frame round the board"

popups() { xdotool search --onlyvisible --classname RX27A0022 | wc -l; }
base=$(popups)
xdotool mousemove --sync $((bx + 290)) $((by + 136)) click 3
wait_until 5 sh -c "[ \$(xdotool search --onlyvisible --classname RX27A0022 | wc -l) -gt $base ]" || fail "no menu on the signboard"
xdotool key Escape
wait_until 5 sh -c "[ \$(xdotool search --onlyvisible --classname RX27A0022 | wc -l) -eq $base ]" || fail "menu did not close"

# Far beyond the window's right edge: the grab point stops at the edge, the board stays in reach.
xdotool mousemove --sync $((bx + 290)) $((by + 136)) mousedown 1
xdotool mousemove --sync $((bx + 600)) $((by + 136)); sleep 0.05
xdotool mousemove --sync $((bx + 1200)) $((by + 600)); sleep 0.05
xdotool mouseup 1
at_edge() { bus_shot; [[ $(pixel "$E2E_TMP/bus.png" 805 223) == "255,255,255" || $(pixel "$E2E_TMP/bus.png" 800 220) == "255,255,255" ]]; }
wait_until 5 at_edge || fail "the board did not stop at the window's edge"
[[ -n "${E2E_ARTIFACTS:-}" ]] && cp "$E2E_TMP/s.png" "$E2E_ARTIFACTS/signboard-edge.png"
pass
