#!/usr/bin/env bash
# Animated LED signs: the sample that alternates its Japanese and English pages every two seconds
# is stepped to on the keypad, and two screenshots a page apart must each show one of its pages,
# and not the same one. Then the same for a signboard chosen from the popup menu.
source "$(dirname "$0")/lib.sh"

samples="$ASSETS/samples"
for name in 16_led_ekimae 17_led_shiyakusho; do
    convert "$samples/$name.gif" -coalesce "$E2E_TMP/$name-%d.png"
done

start_display
start_bus
choose_sign_folder "$samples"

bus_shot() {
    shot "$E2E_TMP/s.png"
    crop_client "$E2E_TMP/s.png" "$BUS_WIN" "$E2E_TMP/bus.png"
}

# which_page NAME WxH+X+Y: the number of the page of sample NAME whose top-left WxH the bus shows
# at X,Y, or nothing when it shows none of them.
which_page() {
    local page size=${2%%+*}
    convert "$E2E_TMP/bus.png" -crop "$2" +repage "$E2E_TMP/area.png"
    for page in "$E2E_TMP/$1"-*.png; do
        convert "$page" -crop "$size+0+0" +repage "$E2E_TMP/page.png"
        if [[ $(compare -metric AE "$E2E_TMP/area.png" "$E2E_TMP/page.png" null: 2>&1) == 0 ]]; then
            page=${page##*-}
            echo "${page%.png}"
            return 0
        fi
    done
}

# two_pages_a_page_apart NAME GEOMETRY WHAT: two screenshots two seconds apart show two pages.
# A screenshot that lands right on a page's turn may see the same page twice; that is tried again.
two_pages_a_page_apart() {
    local attempt first second
    for attempt in 1 2 3; do
        bus_shot
        first=$(which_page "$1" "$2")
        [[ -n "$first" ]] || fail "the $3 shows none of the pages of $1"
        cp "$E2E_TMP/s.png" "$E2E_TMP/$1-first.png"
        sleep 2
        bus_shot
        second=$(which_page "$1" "$2")
        [[ -n "$second" ]] || fail "the $3 shows none of the pages of $1 two seconds later"
        if [[ "$first" != "$second" ]]; then
            echo "the $3 showed page $first, then page $second"
            if [[ -n "${E2E_ARTIFACTS:-}" ]]; then
                mkdir -p "$E2E_ARTIFACTS"
                cp "$E2E_TMP/$1-first.png" "$E2E_ARTIFACTS/animation-$3-page-$first.png"
                cp "$E2E_TMP/s.png" "$E2E_ARTIFACTS/animation-$3-page-$second.png"
            fi
            return 0
        fi
    done
    fail "the $3 showed page $first both times, three times over"
}

# Sign 16 on the keypad: C, 1, 6, 設定. Its first page is up at once.
click_client "$PANEL_WIN" 206 131   # C
click_client "$PANEL_WIN" 173 105   # 1
click_client "$PANEL_WIN" 239 79    # 6
click_client "$PANEL_WIN" 239 131   # 設定
# Inside the sign box's border: the top-left 50 x 30 of the sign.
sign_area=50x30+500+42
first_page_up() { bus_shot; [[ $(which_page 16_led_ekimae "$sign_area") == 0 ]]; }
wait_until 5 first_page_up || fail "the LED sign's first page did not come up"
two_pages_a_page_apart 16_led_ekimae "$sign_area" sign

# The signboard, chosen from the popup menu's third item, plays the colour sign's three pages.
base=$(xdotool search --onlyvisible --classname RX27A0022 | wc -l)
click_client "$BUS_WIN" 700 150 3
wait_until 5 sh -c "[ \$(xdotool search --onlyvisible --classname RX27A0022 | wc -l) -gt $base ]" || fail "no menu"
xdotool key Down Down Down Return
choose_in_file_dialog "$samples/17_led_shiyakusho.gif"
board_area=52x32+213+122
board_shows_sign() { bus_shot; [[ -n $(which_page 17_led_shiyakusho "$board_area") ]]; }
wait_until 40 board_shows_sign || fail "the signboard does not show the LED sign"
two_pages_a_page_apart 17_led_shiyakusho "$board_area" signboard
# The sign plays on beside it.
bus_shot
[[ -n $(which_page 16_led_ekimae "$sign_area") ]] || fail "the sign stopped showing its pages"

# Minimized, the bus rests; brought back, both play on.
xdotool windowminimize --sync "$BUS_WIN"
wait_until 10 sh -c "! xwininfo -id $BUS_WIN | grep -q IsViewable" || fail "the bus window did not minimize"
sleep 1
xdotool windowactivate --sync "$BUS_WIN" 2>/dev/null || wmctrl -i -a "$BUS_WIN"
wait_until 10 is_viewable "$BUS_WIN" || fail "the bus window did not come back"
sign_shows_a_page() { bus_shot; [[ -n $(which_page 16_led_ekimae "$sign_area") ]]; }
wait_until 10 sign_shows_a_page || fail "the sign shows none of its pages after the bus came back"
two_pages_a_page_apart 16_led_ekimae "$sign_area" sign-restored
two_pages_a_page_apart 17_led_shiyakusho "$board_area" signboard-restored
pass
