#!/usr/bin/env bash
# The user's arrangement survives a restart: window places, the signboard's place, both speeds
# and the middle door's mode go into the settings file at exit and come back at the next start;
# a click on the signboard that moves nothing leaves its place as it was read.
source "$(dirname "$0")/lib.sh"

start_display
start_bus
ini="$BUS_DIR/RX27A0022.ini"

wmctrl -i -r "$BUS_WIN" -e 1,120,90,-1,-1
wmctrl -i -r "$PANEL_WIN" -e 1,700,500,-1,-1
moved() { read -r x y w h < <(frame_rect "$BUS_WIN"); read -r px py pw ph < <(frame_rect "$PANEL_WIN"); [[ $x == 120 && $y == 90 && $px == 700 && $py == 500 ]]; }
wait_until 10 moved || fail "windows did not move: bus $(frame_rect "$BUS_WIN"), panel $(frame_rect "$PANEL_WIN")"

# The signboard 40 pixels (600 twips) to the right of its home place.
read -r bx by < <(client_origin "$BUS_WIN")
xdotool mousemove --sync $((bx + 230)) $((by + 130)) mousedown 1
for step in 10 20 30 40; do xdotool mousemove --sync $((bx + 230 + step)) $((by + 130)); sleep 0.05; done
xdotool mouseup 1

# Front door fastest, middle door slowest, only the right leaf.
click_client "$PANEL_WIN" 98 23
xdotool key Home
click_client "$PANEL_WIN" 96 66
xdotool key End
click_client "$PANEL_WIN" 112 116
sleep 0.3

read -r bus_x bus_y _ < <(frame_rect "$BUS_WIN")
wmctrl -i -c "$BUS_WIN"
wait_until 10 sh -c "! kill -0 $BUS_PID" || fail "program did not end"
[[ -f "$ini" ]] || fail "no settings file beside the program"
IFS=, read -r -a items < <(tr -d '\r' <"$ini")
echo "saved: $(cat "$ini")"
((${#items[@]} == 16)) || fail "the file holds ${#items[@]} items, not 16"
[[ ${items[0]} == $((bus_x * 15)) && ${items[1]} == $((bus_y * 15)) ]] || fail "bus place not saved"
[[ ${items[2]} == $((700 * 15)) && ${items[3]} == $((500 * 15)) ]] || fail "panel place not saved"
[[ ${items[9]} == 3780 && ${items[10]} == 1815 ]] || fail "signboard place not saved"
[[ ${items[13]} == 1 && ${items[14]} == 30000 && ${items[15]} == 2 ]] || fail "speeds or mode not saved"
cp "$ini" "$E2E_TMP/first.ini"

start_bus
back() { read -r x y w h < <(frame_rect "$BUS_WIN"); read -r px py pw ph < <(frame_rect "$PANEL_WIN"); [[ $x == "$bus_x" && $y == "$bus_y" && $px == 700 && $py == 500 ]]; }
wait_until 10 back || fail "windows not back in place: bus $(frame_rect "$BUS_WIN"), panel $(frame_rect "$PANEL_WIN")"
shot "$E2E_TMP/s.png"
crop_client "$E2E_TMP/s.png" "$BUS_WIN" "$E2E_TMP/bus.png"
expect_pixel "$E2E_TMP/bus.png" 299 136 "255,255,255" "signboard back at its saved place"
expect_pixel "$E2E_TMP/bus.png" 249 130 "224,224,224" "frame fitted round it"
wmctrl -i -c "$BUS_WIN"
wait_until 10 sh -c "! kill -0 $BUS_PID" || fail "program did not end"
cmp -s "$ini" "$E2E_TMP/first.ini" || fail "the second run wrote back something else: $(cat "$ini")"

# A signboard place between whole pixels (3187 twips lies in pixel 212) survives a plain click.
printf '0,0,0,3690,"","",0,0,"",3187,1822,#TRUE#,#TRUE#,10000,6000,0\r\n' >"$ini"
start_bus
click_client "$BUS_WIN" 232 131
sleep 0.3
wmctrl -i -c "$BUS_WIN"
wait_until 10 sh -c "! kill -0 $BUS_PID" || fail "program did not end"
IFS=, read -r -a items < <(tr -d '\r' <"$ini")
[[ ${items[9]} == 3187 && ${items[10]} == 1822 ]] || fail "a click moved the signboard's saved place: $(cat "$ini")"
pass
