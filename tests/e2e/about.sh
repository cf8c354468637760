#!/usr/bin/env bash
# The about box from the panel's button: it opens without an owner or a title-bar icon where the
# window manager puts it, its link hands the homepage's address (from the maker's library beside
# the program) to the desktop, and OK closes it.
source "$(dirname "$0")/lib.sh"

# A stand-in for the desktop's opener that writes down what it was given.
mkdir -p "$E2E_TMP/fakebin"
cat >"$E2E_TMP/fakebin/xdg-open" <<STANDIN
#!/bin/sh
printf '%s\n' "\$1" >>"$E2E_TMP/opened"
STANDIN
chmod +x "$E2E_TMP/fakebin/xdg-open"
export BUS_PATH="$E2E_TMP/fakebin:$PATH"

start_display
start_bus

click_client "$PANEL_WIN" 98 155
wait_until 10 xdotool search --name '^くるりん号のバージョン情報$' || fail "about box did not open"
ABOUT_WIN=$(xdotool search --name '^くるりん号のバージョン情報$' | head -n1)
wait_until 5 is_viewable "$ABOUT_WIN" || fail "about box not shown"
placed_by_window_manager "$ABOUT_WIN" || fail "the about box has an owner or a place of the program's choosing: $(xprop -id "$ABOUT_WIN" WM_TRANSIENT_FOR WM_NORMAL_HINTS)"
[[ $(icon_ink "$ABOUT_WIN") == 0 ]] || fail "the about box shows an icon on its title bar ($(icon_ink "$ABOUT_WIN") pixels)"
sleep 0.3
shot "$E2E_TMP/about.png"
[[ -n "${E2E_ARTIFACTS:-}" ]] && mkdir -p "$E2E_ARTIFACTS" && cp "$E2E_TMP/about.png" "$E2E_ARTIFACTS/about.png"
crop_client "$E2E_TMP/about.png" "$ABOUT_WIN" "$E2E_TMP/box.png"
expect_pixel "$E2E_TMP/box.png" 5 5 "255,255,255" "white box"
expect_pixel "$E2E_TMP/box.png" 300 60 "78,78,78" "model line's dark grey"

click_client "$ABOUT_WIN" 60 206
wait_until 10 test -s "$E2E_TMP/opened" || fail "the link handed nothing to the desktop"
address=$(head -n1 "$E2E_TMP/opened")
[[ "$address" == "file://$BUS_DIR/homepage/index.html" ]] || fail "opened '$address'"
[[ -f "${address#file://}" ]] || fail "the page $address does not exist"

click_client "$ABOUT_WIN" 279 207
wait_until 10 sh -c "! xwininfo -id $ABOUT_WIN 2>/dev/null | grep -q IsViewable" || fail "OK did not close the about box"

# Without the maker's library the link reports the failure instead.
kill "$BUS_PID"; wait "$BUS_PID" 2>/dev/null || true
rm -f "$BUS_DIR"/libKBT7Res.so
start_bus
rm -f "$BUS_DIR"/libKBT7Res.so
: >"$E2E_TMP/opened"
click_client "$PANEL_WIN" 98 155
wait_until 10 xdotool search --name '^くるりん号のバージョン情報$' || fail "about box did not open again"
ABOUT_WIN=$(xdotool search --name '^くるりん号のバージョン情報$' | head -n1)
wait_until 5 is_viewable "$ABOUT_WIN"
click_client "$ABOUT_WIN" 60 206
wait_until 10 xdotool search --name '^Sorhpurl.dllのエラー$' || fail "no error message without the library"
sleep 0.5
[[ ! -s "$E2E_TMP/opened" ]] || fail "something was opened without the library"
pass
