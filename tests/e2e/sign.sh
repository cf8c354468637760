#!/usr/bin/env bash
# Choosing the sign folder by typing it into the folder window (no owner, no title-bar icon, placed
# by the window manager), then stepping through the signs
# with the arrow keys and picking one on the keypad, judged by the sign's pixels on the screen.
source "$(dirname "$0")/lib.sh"

signs="$E2E_TMP/My Signs"
mkdir -p "$signs"
convert -size 52x32 xc:'rgb(200,0,0)' "BMP3:$signs/a.bmp"
convert -size 52x32 xc:'rgb(0,160,0)' "BMP3:$signs/B.bmp"
convert -size 52x32 xc:'rgb(0,0,220)' "BMP3:$signs/c.bmp"
echo "not a sign" >"$signs/notes.txt"

start_display
start_bus

sign_colour() {
    shot "$E2E_TMP/s.png"
    crop_client "$E2E_TMP/s.png" "$BUS_WIN" "$E2E_TMP/bus.png"
    pixel "$E2E_TMP/bus.png" 510 52
}
sign_is() { [[ $(sign_colour) == "$1" ]]; }
default_sign=$(sign_colour)

# 方向幕フォルダー on the panel opens the folder window; type the path and press OK.
open_folder_window
placed_by_window_manager "$FOLDER_WIN" || fail "the folder window has an owner or a place of the program's choosing: $(xprop -id "$FOLDER_WIN" WM_TRANSIENT_FOR WM_NORMAL_HINTS)"
[[ $(icon_ink "$FOLDER_WIN") == 0 ]] || fail "the folder window shows an icon on its title bar ($(icon_ink "$FOLDER_WIN") pixels)"
type_folder "$signs"
xdotool key Return Escape   # neither closes the window
sleep 0.3
is_viewable "$FOLDER_WIN" || fail "Enter or Escape closed the folder window"
press_folder_ok
sign_is "$default_sign" || fail "a new folder changed the sign before any key"

# Arrow keys on the sign: a.bmp, B.bmp, c.bmp in name order without regard to case.
click_client "$BUS_WIN" 525 57
xdotool key Down
wait_until 5 sign_is "0,160,0" || fail "down did not show B.bmp (sign is $(sign_colour))"
xdotool key Down
wait_until 5 sign_is "0,0,220" || fail "down did not show c.bmp"
xdotool key Down
sleep 0.3
sign_is "0,0,220" || fail "down at the last sign changed it"
xdotool key Up Up
wait_until 5 sign_is "200,0,0" || fail "up did not come back to a.bmp"
[[ -n "${E2E_ARTIFACTS:-}" ]] && mkdir -p "$E2E_ARTIFACTS" && cp "$E2E_TMP/s.png" "$E2E_ARTIFACTS/sign.png"

# The keypad: 2 then 設定 shows the third sign; the arrows then step from their own place.
click_client "$PANEL_WIN" 206 131   # C
click_client "$PANEL_WIN" 206 105   # 2
click_client "$PANEL_WIN" 239 131   # 設定
wait_until 5 sign_is "0,0,220" || fail "keypad 2 did not show c.bmp"
click_client "$BUS_WIN" 525 57
xdotool key Down
wait_until 5 sign_is "0,160,0" || fail "down after the keypad did not step from the arrows' own place"
pass
