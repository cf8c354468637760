#!/usr/bin/env bash
# What a user installs: the program installed into a fresh prefix starts from there as an
# ordinary user, finds the maker's library and its homepage and the sample signs, and keeps its
# settings in the user's own folder because the program's folder is not the user's to write.
source "$(dirname "$0")/lib.sh"
: "${BUILD_DIR:?}"

chmod 755 "$E2E_TMP"
prefix="$E2E_TMP/prefix"
cmake --install "$BUILD_DIR" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
chmod -R a+rX "$prefix"
for f in bin/RX27A0022 share/applications/kururin-go.desktop share/kururin/homepage/index.html \
         share/icons/hicolor/256x256/apps/kururin-go.png share/metainfo/io.github.kururingo.KururinGo.metainfo.xml \
         share/man/man6/RX27A0022.6 share/man/ja/man6/RX27A0022.6 share/kururin/translations/kururin_en.qm; do
    [[ -e "$prefix/$f" ]] || fail "$f was not installed"
done
(($(ls "$prefix/share/kururin/samples" | wc -l) >= 12)) || fail "fewer than twelve sample signs installed"
ls "$prefix"/lib*/kururin/libKBT7Res.so >/dev/null || fail "the maker's library was not installed"
[[ -n $(find "$prefix" -path '*/qt6/plugins/imageformats/libqmetafile.so') ]] || fail "the metafile plugin was not installed"

home="$E2E_TMP/home"
mkdir -p "$home" "$E2E_TMP/fakebin"
cat >"$E2E_TMP/fakebin/xdg-open" <<STANDIN
#!/bin/sh
printf '%s\n' "\$1" >>"$home/opened"
STANDIN
chmod 755 "$E2E_TMP/fakebin/xdg-open"
chown -R nobody "$home"

start_display
runuser -u nobody -- env HOME="$home" XDG_CONFIG_HOME= XDG_RUNTIME_DIR="$home" DISPLAY="$DISPLAY" \
    PATH="$E2E_TMP/fakebin:$PATH" QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy \
    "$prefix/bin/RX27A0022" >"$E2E_TMP/bus.log" 2>&1 &
BUS_PID=$!
E2E_PIDS+=($BUS_PID)
wait_until 20 xdotool search --name '^くるりん号　-　RX27A0022$' || fail "installed program did not start: $(cat "$E2E_TMP/bus.log")"
BUS_WIN=$(xdotool search --name '^くるりん号　-　RX27A0022$' | head -n1)
wait_until 20 xdotool search --name '^設定パネル$' || fail "no panel"
PANEL_WIN=$(xdotool search --name '^設定パネル$' | head -n1)
wait_until 10 is_viewable "$BUS_WIN"

# The about box's link: the homepage installed under share/.
click_client "$PANEL_WIN" 98 155
wait_until 10 xdotool search --name '^くるりん号のバージョン情報$' || fail "about box did not open"
ABOUT_WIN=$(xdotool search --name '^くるりん号のバージョン情報$' | head -n1)
wait_until 5 is_viewable "$ABOUT_WIN"
click_client "$ABOUT_WIN" 60 206
wait_until 10 test -s "$home/opened" || fail "the link opened nothing (is the maker's library found?)"
[[ $(head -n1 "$home/opened") == "file://$prefix/share/kururin/homepage/index.html" ]] || fail "opened $(head -n1 "$home/opened")"
click_client "$ABOUT_WIN" 279 207
wait_until 10 sh -c "! xwininfo -id $ABOUT_WIN 2>/dev/null | grep -q IsViewable"

# The sample signs, chosen in the folder window.
choose_sign_folder "$prefix/share/kururin/samples"
click_client "$PANEL_WIN" 206 131   # C
click_client "$PANEL_WIN" 239 131   # 設定: sign 0
sign_shows_sample() {
    shot "$E2E_TMP/s.png"
    crop_client "$E2E_TMP/s.png" "$BUS_WIN" "$E2E_TMP/bus.png"
    [[ $(pixel "$E2E_TMP/bus.png" 501 43) == "$(pixel "$prefix/share/kururin/samples/00_junkan.bmp" 1 1)" ]]
}
wait_until 10 sign_shows_sample || fail "the first sample sign is not shown"

wmctrl -i -c "$BUS_WIN"
wait_until 10 sh -c "! kill -0 $BUS_PID" || fail "program did not end"
[[ -f "$home/.config/kururin/RX27A0022.ini" ]] || fail "settings not in the user's folder"
[[ ! -e "$prefix/bin/RX27A0022.ini" ]] || fail "settings written into the program's folder"
grep -q "share/kururin/samples/" "$home/.config/kururin/RX27A0022.ini" || fail "the sign folder was not saved"
pass
