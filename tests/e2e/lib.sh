# Shared helpers for the end-to-end tests: a private X server with a window manager, the real
# program started in a scratch folder, and ways to wait, look and poke at it.
set -euo pipefail

: "${BUS_EXE:?BUS_EXE must name the built program}"

E2E_TMP=$(mktemp -d /tmp/kururin-e2e.XXXXXX)
E2E_PIDS=()

# X servers of tests running side by side start and stop one at a time: a server choosing its
# display number while another gives its number up can end up unreachable.
exec {E2E_DISPLAY_LOCK}>>/tmp/kururin-e2e-display.lock # kept from the processes the tests start

cleanup() {
    local pid
    flock -w 60 "$E2E_DISPLAY_LOCK" || true
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    flock -u "$E2E_DISPLAY_LOCK" || true
    if [[ -n "${E2E_KEEP:-}" ]]; then echo "kept $E2E_TMP"; else rm -rf "$E2E_TMP"; fi
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [[ -f "$E2E_TMP/last.png" && -n "${E2E_ARTIFACTS:-}" ]]; then
        mkdir -p "$E2E_ARTIFACTS" && cp "$E2E_TMP/last.png" "$E2E_ARTIFACTS/$(basename "$0" .sh)-fail.png"
    fi
    exit 1
}

# wait_until SECONDS COMMAND...: polls until the command succeeds.
wait_until() {
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# start_display [WIDTHxHEIGHT]: the screen is 1280x1024 unless a test needs room for more.
# Tests run side by side, and servers starting together can end up with a display that answers
# one client and then no other (a number being given up by one server and taken by the next);
# a display where the window manager cannot start is replaced by a new server.
start_display() {
    local attempt fd_file xvfb wm
    flock -w 120 "$E2E_DISPLAY_LOCK" || true
    for attempt in 1 2 3; do
        fd_file="$E2E_TMP/display.$attempt"
        Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp 3>"$fd_file" >"$E2E_TMP/xvfb.$attempt.log" 2>&1 \
            {E2E_DISPLAY_LOCK}>&- &
        xvfb=$!
        E2E_PIDS+=($xvfb)
        wait_until 10 test -s "$fd_file" || fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.$attempt.log")"
        export DISPLAY=":$(head -n1 "$fd_file")"
        if wait_until 5 xdpyinfo; then
            openbox >"$E2E_TMP/openbox.log" 2>&1 {E2E_DISPLAY_LOCK}>&- &
            wm=$!
            E2E_PIDS+=($wm)
            if wait_until 15 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
                flock -u "$E2E_DISPLAY_LOCK" || true
                return 0
            fi
            kill "$wm" 2>/dev/null || true
        fi
        echo "display $DISPLAY is not usable (attempt $attempt): $(cat "$E2E_TMP/openbox.log" 2>/dev/null)" >&2
        kill "$xvfb" 2>/dev/null || true
        sleep 1
    done
    flock -u "$E2E_DISPLAY_LOCK" || true
    fail "no display with a window manager: $(cat "$E2E_TMP/xvfb.3.log")"
}

# start_bus [NAME]: copies the program into a scratch folder (under NAME) and starts it there.
# BUS_TITLE and PANEL_TITLE name its windows in another language than Japanese.
start_bus() {
    local name=${1:-RX27A0022}
    BUS_DIR="$E2E_TMP/bin"
    mkdir -p "$BUS_DIR"
    cp "$BUS_EXE" "$BUS_DIR/$name"
    local lib
    for lib in "$(dirname "$BUS_EXE")"/lib*.so; do [[ -e "$lib" ]] && cp "$lib" "$BUS_DIR/"; done
    [[ -d "$(dirname "$BUS_EXE")/homepage" ]] && cp -r "$(dirname "$BUS_EXE")/homepage" "$BUS_DIR/"
    [[ -d "$(dirname "$BUS_EXE")/translations" ]] && cp -r "$(dirname "$BUS_EXE")/translations" "$BUS_DIR/"
    # BUS_ENV: words for env that change only the program's environment ("-u LC_ALL LANG=...").
    # shellcheck disable=SC2086
    env ${BUS_ENV:-} PATH="${BUS_PATH:-$PATH}" QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}" XDG_RUNTIME_DIR="$E2E_TMP" \
        "$BUS_DIR/$name" >"$E2E_TMP/bus.log" 2>&1 {E2E_DISPLAY_LOCK}>&- &
    BUS_PID=$!
    E2E_PIDS+=($BUS_PID)
    local caption="${BUS_TITLE:-くるりん号　-　}${name%.*}" panel="${PANEL_TITLE:-設定パネル}"
    wait_until 20 xdotool search --name "^$caption\$" || fail "bus window '$caption' did not appear"
    BUS_WIN=$(xdotool search --name "^$caption\$" | head -n1)
    wait_until 20 xdotool search --name "^$panel\$" || fail "panel '$panel' did not appear"
    PANEL_WIN=$(xdotool search --name "^$panel\$" | head -n1)
    wait_until 10 is_viewable "$BUS_WIN" || fail "bus window not mapped"
}

is_viewable() {
    xwininfo -id "$1" | grep -q "Map State: IsViewable"
}

# client_origin WIN: absolute x y of the window's client area.
client_origin() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}

# frame_rect WIN: x y w h of the window including the window manager's frame.
frame_rect() {
    local x y w h l r t b
    read -r x y < <(client_origin "$1")
    w=$(xwininfo -id "$1" | awk '/  Width:/ {print $NF}')
    h=$(xwininfo -id "$1" | awk '/  Height:/ {print $NF}')
    read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    echo $((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))
}

# icon_ink WIN: how many pixels of the window's title-bar icon would show; "none" when the
# window gives the window manager no icon, which then draws its own.
icon_ink() {
    xprop -id "$1" -f _NET_WM_ICON 32c '=$0+\n' _NET_WM_ICON | awk -F'[=,]' '
        !/=/ { print "none"; exit }
        {
            n = 0
            for (i = 2; i <= NF; i++) v[++n] = $i + 0
            ink = 0
            for (i = 1; i + 1 <= n; i += 2 + v[i] * v[i + 1])
                for (j = 0; j < v[i] * v[i + 1]; j++)
                    if (v[i + 2 + j] >= 16777216) ink++
            print ink
        }'
}

# placed_by_window_manager WIN: the window names no owner among ours (BUS_WIN, PANEL_WIN) and
# asks for no place of its own, so the window manager chose where it stands.
placed_by_window_manager() {
    local owner w
    owner=$(xprop -id "$1" WM_TRANSIENT_FOR | sed -n 's/.*# //p')
    for w in "$BUS_WIN" "$PANEL_WIN"; do
        [[ -n "$owner" && $((owner)) -eq $w ]] && return 1
    done
    ! xprop -id "$1" WM_NORMAL_HINTS | grep -q "specified location"
}

shot() {
    import -window root "$1"
    cp "$1" "$E2E_TMP/last.png"
}

# crop_client SHOT WIN OUT: the client area of WIN, cut out of a screenshot.
crop_client() {
    local x y w h
    read -r x y < <(client_origin "$2")
    w=$(xwininfo -id "$2" | awk '/  Width:/ {print $NF}')
    h=$(xwininfo -id "$2" | awk '/  Height:/ {print $NF}')
    convert "$1" -crop "${w}x${h}+${x}+${y}" +repage "$3"
}

# pixel IMAGE X Y: "r,g,b" of one pixel.
pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r+.5)],%[fx:int(255*p{$2,$3}.g+.5)],%[fx:int(255*p{$2,$3}.b+.5)]" info:
}

expect_pixel() {
    local got
    got=$(pixel "$1" "$2" "$3")
    [[ "$got" == "$4" ]] || fail "pixel $2,$3 of $(basename "$1") is $got, expected $4${5:+ ($5)}"
}

# differing_pixels A B [GEOMETRY]: how many pixels differ, optionally within a region.
differing_pixels() {
    local a=$1 b=$2
    if [[ -n "${3:-}" ]]; then
        convert "$1" -crop "$3" +repage "$E2E_TMP/da.png"
        convert "$2" -crop "$3" +repage "$E2E_TMP/db.png"
        a="$E2E_TMP/da.png" b="$E2E_TMP/db.png"
    fi
    compare -metric AE "$a" "$b" null: 2>&1 || true
}

# click_client WIN X Y [BUTTON]: clicks at client coordinates.
click_client() {
    local x y
    read -r x y < <(client_origin "$1")
    xdotool mousemove --sync $((x + $2)) $((y + $3)) click "${4:-1}"
}

# Stacking order of managed windows, bottom to top.
stacking() {
    xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'
}

window_is_above() { # window_is_above UPPER LOWER
    local upper lower i=0 pos_u=-1 pos_l=-1 w
    upper=$(printf '0x%x' "$1"); lower=$(printf '0x%x' "$2")
    for w in $(stacking); do
        [[ $((w)) -eq $((upper)) ]] && pos_u=$i
        [[ $((w)) -eq $((lower)) ]] && pos_l=$i
        i=$((i + 1))
    done
    ((pos_u > pos_l && pos_l >= 0))
}

# The folder window, opened from the panel's 方向幕フォルダー button: sets FOLDER_WIN.
open_folder_window() {
    click_client "$PANEL_WIN" 207 155
    wait_until 10 xdotool search --name '^画像の位置$' || fail "folder window did not open"
    FOLDER_WIN=$(xdotool search --name '^画像の位置$' | head -n1)
    wait_until 5 is_viewable "$FOLDER_WIN" || fail "folder window not shown"
}

type_folder() {
    xdotool key --window "$FOLDER_WIN" ctrl+a
    xdotool type --delay 5 "$1"
}

press_folder_ok() {
    click_client "$FOLDER_WIN" 321 66
    wait_until 10 sh -c "! xwininfo -id $FOLDER_WIN 2>/dev/null | grep -q IsViewable" || fail "OK did not close the folder window"
}

# choose_sign_folder PATH: types PATH into the folder window and presses OK.
choose_sign_folder() {
    open_folder_window
    type_folder "$1"
    press_folder_ok
}

pass() {
    echo "PASS: $(basename "$0" .sh)"
}

# choose_in_file_dialog PATH: waits until the open-file dialog has the keyboard, enters PATH
# and waits until the dialog has gone. Keys typed before it has the focus would go elsewhere,
# and a slow build can take seconds to show it. The file-name completer's popup, opening while
# the path is typed, now and then swallows the rest of it; the path is then typed again.
# The dialog is Qt's own, titled in the desk's language: 開く, or Open where Qt's Japanese texts
# are not installed.
choose_in_file_dialog() {
    local dialog attempt title='^(開く|Open)$'
    wait_until 30 xdotool search --onlyvisible --name "$title" || fail "no file dialog"
    dialog=$(xdotool search --onlyvisible --name "$title" | head -n1)
    for attempt in 1 2 3; do
        if ! wait_until 10 sh -c "[ \"\$(xdotool getwindowfocus)\" = $dialog ]"; then
            xdotool windowactivate --sync "$dialog" || true
        fi
        xdotool key --clearmodifiers ctrl+a
        xdotool type --delay 20 "$1"
        sleep 0.5
        xdotool key Return
        wait_until 15 sh -c "! xdotool search --onlyvisible --name '$title'" && return 0
        echo "the file dialog is still open after typing $1 (attempt $attempt)" >&2
    done
    shot "$E2E_TMP/dialog.png"
    fail "the file dialog did not take $1"
}
