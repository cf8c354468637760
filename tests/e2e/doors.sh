#!/usr/bin/env bash
# The doors on the real program: a slow front door narrows step by step while its movement runs,
# a second press made meanwhile closes it again afterwards, and a quick door ends exactly at its
# open width with the doorway behind it uncovered.
source "$(dirname "$0")/lib.sh"
ASSETS=${ASSETS:?}

start_display
start_bus

convert "$ASSETS/bus_body.bmp" -crop 77x151+26+53 +repage "$E2E_TMP/doorway.png"
# How much of the front doorway shows the body picture behind the door, in pixels.
uncovered() {
    shot "$E2E_TMP/now.png"
    crop_client "$E2E_TMP/now.png" "$BUS_WIN" "$E2E_TMP/bus_now.png"
    convert "$E2E_TMP/bus_now.png" -crop 77x151+26+53 +repage "$E2E_TMP/door_now.png"
    echo $((77 * 151 - $(differing_pixels "$E2E_TMP/door_now.png" "$E2E_TMP/doorway.png")))
}
closed=$(uncovered)

# Panel controls, in the panel's client coordinates.
check1=(31 30)
hscroll1=(98 23)

# Slowest pace: a whole movement takes about eight seconds.
click_client "$PANEL_WIN" "${hscroll1[@]}"
xdotool key End
click_client "$PANEL_WIN" "${check1[@]}"
previous=$closed
for i in 1 2 3; do
    sleep 1.5
    now=$(uncovered)
    ((now > previous)) || fail "door not narrowing: $previous then $now uncovered pixels"
    echo "opening: $now"
    previous=$now
done
[[ -n "${E2E_ARTIFACTS:-}" ]] && mkdir -p "$E2E_ARTIFACTS" && cp "$E2E_TMP/now.png" "$E2E_ARTIFACTS/doors-moving.png"

# A second press while the door moves waits its turn: the door opens fully, then closes.
click_client "$PANEL_WIN" "${check1[@]}"
most=0
deadline=$((SECONDS + 40))
reopened=no
while ((SECONDS < deadline)); do
    now=$(uncovered)
    ((now > most)) && most=$now
    if ((most > 77 * 151 * 9 / 10 && now <= closed)); then reopened=yes; break; fi
    sleep 0.3
done
[[ $reopened == yes ]] || fail "queued press did not close the door after it opened (most uncovered $most, now $now)"

# Quickest pace: the door ends at its open width, the doorway uncovered right of its 5 pixels.
click_client "$PANEL_WIN" "${hscroll1[@]}"
xdotool key Home
click_client "$PANEL_WIN" "${check1[@]}"
open_now() {
    uncovered >/dev/null
    convert "$E2E_TMP/bus_now.png" -crop 72x151+31+53 +repage "$E2E_TMP/right_part.png"
    convert "$ASSETS/bus_body.bmp" -crop 72x151+31+53 +repage "$E2E_TMP/right_ref.png"
    [[ $(differing_pixels "$E2E_TMP/right_part.png" "$E2E_TMP/right_ref.png") -eq 0 ]]
}
wait_until 20 open_now || fail "front door did not end at its open width"
convert "$E2E_TMP/bus_now.png" -crop 5x151+26+53 +repage "$E2E_TMP/leaf.png"
convert "$ASSETS/bus_body.bmp" -crop 5x151+26+53 +repage "$E2E_TMP/leaf_ref.png"
[[ $(differing_pixels "$E2E_TMP/leaf.png" "$E2E_TMP/leaf_ref.png") -gt 300 ]] || fail "the folded door is not drawn at the hinge"
[[ -n "${E2E_ARTIFACTS:-}" ]] && cp "$E2E_TMP/now.png" "$E2E_ARTIFACTS/doors-open.png"
click_client "$PANEL_WIN" "${check1[@]}"
closed_again() { [[ $(uncovered) -le $closed ]]; }
wait_until 20 closed_again || fail "front door did not close again"
pass
