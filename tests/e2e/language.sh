#!/usr/bin/env bash
# The program in the desktop's language: English when the user's languages put English before
# Japanese, the program's own Japanese for C, Japanese, German and the rest. The desk, the popup
# menu, the about box, the folder window, a message box and Qt's file dialog are photographed in both languages
# (kept in the artifacts folder as language-ja-*.png and language-en-*.png), at the same sizes.
source "$(dirname "$0")/lib.sh"

start_display

keep() { # keep SHOT NAME: a copy for whoever looks at the windows afterwards
    [[ -n "${E2E_ARTIFACTS:-}" ]] && mkdir -p "$E2E_ARTIFACTS" && cp "$1" "$E2E_ARTIFACTS/$2.png"
    return 0
}

# window_named TITLE: waits for a shown window of that title and prints its id.
window_named() {
    wait_until 10 xdotool search --onlyvisible --name "^$1\$" || fail "no window '$1'"
    xdotool search --onlyvisible --name "^$1\$" | head -n1
}

client_size() {
    xwininfo -id "$1" | awk '/  Width:/ {w=$NF} /  Height:/ {h=$NF} END {print w "x" h}'
}

# over_desk TAG TITLE NAME KEY: waits for the window of that title, which must lie above the
# desk, photographs it as language-TAG-NAME and closes it with KEY.
over_desk() {
    local tag=$1 name=$3 key=$4 win
    win=$(window_named "$2")
    wait_until 5 window_is_above "$win" "$PANEL_WIN" || fail "$tag: the $name is under the desk"
    sleep 0.5
    shot "$E2E_TMP/$name.png"
    crop_frames "$E2E_TMP/$name.png" "$E2E_TMP/$name-crop.png" "$win"
    keep "$E2E_TMP/$name-crop.png" "language-$tag-$name"
    wait_until 10 sh -c "[ \"\$(xdotool getwindowfocus)\" = $win ]" || xdotool windowactivate --sync "$win" || true
    xdotool key "$key"
    wait_until 10 sh -c "! xwininfo -id $win 2>/dev/null | grep -q IsViewable" || fail "$tag: the $name stayed"
}

# crop_frames SHOT OUT WIN...: the smallest rectangle holding the windows with their frames.
crop_frames() {
    local shot=$1 out=$2 x0=99999 y0=99999 x1=0 y1=0 x y w h
    shift 2
    for win in "$@"; do
        read -r x y w h < <(frame_rect "$win")
        ((x < x0)) && x0=$x; ((y < y0)) && y0=$y
        ((x + w > x1)) && x1=$((x + w)); ((y + h > y1)) && y1=$((y + h))
    done
    convert "$shot" -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage "$out"
}

stop_bus() {
    wmctrl -i -c "$BUS_WIN"
    wait_until 20 sh -c "! kill -0 $BUS_PID 2>/dev/null" || fail "the program did not end"
    wait "$BUS_PID" 2>/dev/null || true
}

# tour TAG BUS PANEL ABOUT FOLDER MESSAGE: starts the bus, expecting these window titles, and
# photographs each window.
tour() {
    local tag=$1 about_title=$4 folder_title=$5 message_title=$6 dialog_title=$7
    BUS_TITLE=$2 PANEL_TITLE=$3 start_bus
    [[ $(client_size "$PANEL_WIN") == 263x171 ]] || fail "$tag: the panel is $(client_size "$PANEL_WIN")"
    sleep 0.3
    shot "$E2E_TMP/desk.png"
    crop_frames "$E2E_TMP/desk.png" "$E2E_TMP/desk-crop.png" "$BUS_WIN" "$PANEL_WIN"
    keep "$E2E_TMP/desk-crop.png" "language-$tag-desk"
    crop_client "$E2E_TMP/desk.png" "$PANEL_WIN" "$E2E_TMP/panel-$tag.png"

    # The popup menu, opened on the body and photographed where it opens.
    local bx by
    read -r bx by < <(client_origin "$BUS_WIN")
    convert "$E2E_TMP/desk.png" -crop "260x140+$((bx + 700))+$((by + 40))" +repage "$E2E_TMP/before-menu.png"
    click_client "$BUS_WIN" 700 40 3
    menu_open() {
        shot "$E2E_TMP/menu.png"
        convert "$E2E_TMP/menu.png" -crop "260x140+$((bx + 700))+$((by + 40))" +repage "$E2E_TMP/menu-crop.png"
        (($(differing_pixels "$E2E_TMP/before-menu.png" "$E2E_TMP/menu-crop.png") > 2000))
    }
    wait_until 10 menu_open || fail "$tag: no popup menu"
    sleep 0.3
    shot "$E2E_TMP/menu.png"
    convert "$E2E_TMP/menu.png" -crop "260x140+$((bx + 700))+$((by + 40))" +repage "$E2E_TMP/menu-crop.png"
    keep "$E2E_TMP/menu-crop.png" "language-$tag-menu"
    xdotool key Escape

    click_client "$PANEL_WIN" 98 155
    local about
    about=$(window_named "$about_title")
    [[ $(client_size "$about") == 333x223 ]] || fail "$tag: the about box is $(client_size "$about")"
    sleep 0.3
    shot "$E2E_TMP/about.png"
    crop_frames "$E2E_TMP/about.png" "$E2E_TMP/about-crop.png" "$about"
    keep "$E2E_TMP/about-crop.png" "language-$tag-about"
    click_client "$about" 279 207
    wait_until 10 sh -c "! xwininfo -id $about 2>/dev/null | grep -q IsViewable" || fail "$tag: OK left the about box open"

    # The folder window, then the message for a folder that is not there.
    click_client "$PANEL_WIN" 207 155
    FOLDER_WIN=$(window_named "$folder_title")
    [[ $(client_size "$FOLDER_WIN") == 460x81 ]] || fail "$tag: the folder window is $(client_size "$FOLDER_WIN")"
    type_folder "/no/such/sign/folder"
    sleep 0.3
    shot "$E2E_TMP/folder.png"
    crop_frames "$E2E_TMP/folder.png" "$E2E_TMP/folder-crop.png" "$FOLDER_WIN"
    keep "$E2E_TMP/folder-crop.png" "language-$tag-folder"
    click_client "$FOLDER_WIN" 321 66
    over_desk "$tag" "$message_title" message Return
    click_client "$FOLDER_WIN" 409 66
    wait_until 10 sh -c "! xwininfo -id $FOLDER_WIN 2>/dev/null | grep -q IsViewable" || fail "$tag: キャンセル left the folder window open"

    # Qt's own file dialog, from the popup menu's signboard item, speaks the desk's language too.
    local before
    before=$(xdotool search --onlyvisible --classname RX27A0022 | wc -l)
    click_client "$BUS_WIN" 700 150 3
    wait_until 5 sh -c "[ \$(xdotool search --onlyvisible --classname RX27A0022 | wc -l) -gt $before ]" || fail "$tag: no menu"
    xdotool key Down Down Down Return
    over_desk "$tag" "$dialog_title" file-dialog Escape
    stop_bus
}

# The test's own environment is the C locale with no language list: Japanese.
tour ja "くるりん号　-　" "設定パネル" "くるりん号のバージョン情報" "画像の位置" "くるりん号" "開く"
BUS_ENV="LANGUAGE=en" tour en "Kururin-go - " "Control panel" "About Kururin-go" "Picture location" "Kururin-go" "Open"
# The two desks differ only in their words: the same controls in the same places.
changed=$(differing_pixels "$E2E_TMP/panel-ja.png" "$E2E_TMP/panel-en.png")
((changed > 200 && changed < 263 * 171 / 4)) || fail "the English desk differs from the Japanese one in $changed pixels"

# Without a language list the locale decides. Only the program gets it: xdotool reads window
# titles in its own locale's encoding.
BUS_ENV="-u LC_ALL -u LANGUAGE LANG=en_US.UTF-8" BUS_TITLE="Kururin-go - " PANEL_TITLE="Control panel" start_bus
stop_bus
# Under a locale that is not UTF-8, Qt writes the legacy WM_NAME that xdotool matches in that
# locale's encoding; the window manager shows _NET_WM_NAME, so that is what is read here.
titles() { # titles: "window-id title" for each window of the program
    local w
    for w in $(xdotool search --pid "$BUS_PID" 2>/dev/null); do
        xprop -id "$w" _NET_WM_NAME 2>/dev/null | sed -n "s/^_NET_WM_NAME(UTF8_STRING) = \"\(.*\)\"\$/$w \1/p"
    done
}
japanese_windows() {
    local shown
    shown=$(titles)
    grep -q " くるりん号　-　RX27A0022\$" <<<"$shown" && grep -q " 設定パネル\$" <<<"$shown"
}
for locale in C ja_JP.UTF-8 de_DE.UTF-8; do
    env -u LC_ALL -u LANGUAGE LANG=$locale QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR="$E2E_TMP" \
        "$BUS_DIR/RX27A0022" >"$E2E_TMP/bus.log" 2>&1 {E2E_DISPLAY_LOCK}>&- &
    BUS_PID=$!
    E2E_PIDS+=($BUS_PID)
    wait_until 20 japanese_windows || fail "LANG=$locale: the windows are $(titles)"
    BUS_WIN=$(titles | grep " くるりん号　-　RX27A0022\$" | cut -d' ' -f1)
    stop_bus
done
pass
