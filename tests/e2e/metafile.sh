#!/usr/bin/env bash
# Windows metafiles on the real program: a WMF and an EMF as destination signs, and an EMF
# chosen in the file dialog as the signboard's picture.
source "$(dirname "$0")/lib.sh"
ASSETS=${ASSETS:?}
corpus="$ASSETS/../fuzz/corpus/metafile"

signs="$E2E_TMP/signs"
mkdir -p "$signs"
cp "$corpus/shapes_text_dib.wmf" "$signs/a.wmf"
cp "$corpus/shapes_paths_text.emf" "$signs/b.EMF"

start_display
start_bus

bus_shot() {
    shot "$E2E_TMP/s.png"
    crop_client "$E2E_TMP/s.png" "$BUS_WIN" "$E2E_TMP/bus.png"
}
# How many pixels of a colour lie in a region of the bus's client area.
count_colour() { # REGION COLOUR
    convert "$E2E_TMP/bus.png" -crop "$1" +repage -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:int(mean*w*h+0.5)]' info:
}

choose_sign_folder "$signs"

# Sign 0, the WMF: a yellow and red grid in a blue frame at its top left.
click_client "$PANEL_WIN" 206 131   # C
click_client "$PANEL_WIN" 239 131   # 設定
wmf_shown() { bus_shot; (($(count_colour 50x30+500+42 yellow) > 100)); }
wait_until 10 wmf_shown || fail "the WMF sign is not shown"
# Down to the EMF: a red triangle in a blue outline.
click_client "$BUS_WIN" 525 57
xdotool key Down
emf_shown() { bus_shot; (($(count_colour 50x30+500+42 red) > 100)) && (($(count_colour 50x30+500+42 yellow) < 20)); }
wait_until 10 emf_shown || fail "the EMF sign is not shown"
[[ -n "${E2E_ARTIFACTS:-}" ]] && mkdir -p "$E2E_ARTIFACTS" && cp "$E2E_TMP/s.png" "$E2E_ARTIFACTS/metafile-sign.png"

# The signboard from the popup menu's third item and the file dialog.
base=$(xdotool search --onlyvisible --classname RX27A0022 | wc -l)
click_client "$BUS_WIN" 700 150 3
wait_until 5 sh -c "[ \$(xdotool search --onlyvisible --classname RX27A0022 | wc -l) -gt $base ]" || fail "no menu"
xdotool key Down Down Down Return
choose_in_file_dialog "$signs/b.EMF"
board_shows_emf() { bus_shot; (($(count_colour 240x120+213+122 red) > 500)); }
wait_until 40 board_shows_emf || fail "the signboard does not show the EMF"
[[ -n "${E2E_ARTIFACTS:-}" ]] && cp "$E2E_TMP/s.png" "$E2E_ARTIFACTS/metafile-signboard.png"

# And the WMF as the signboard's picture.
click_client "$BUS_WIN" 700 150 3
wait_until 5 sh -c "[ \$(xdotool search --onlyvisible --classname RX27A0022 | wc -l) -gt $base ]" || fail "no menu"
xdotool key Down Down Down Return
choose_in_file_dialog "$signs/a.wmf"
board_shows_wmf() { bus_shot; (($(count_colour 190x90+213+122 yellow) > 500)); }
wait_until 40 board_shows_wmf || fail "the signboard does not show the WMF"
pass
