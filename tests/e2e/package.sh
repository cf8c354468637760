#!/usr/bin/env bash
# The Debian package: built by CPack with the right dependencies and every file in its standard
# place, its desktop entry and software-centre data valid, and the program in it starting from
# the desktop entry's command line.
source "$(dirname "$0")/lib.sh"
: "${BUILD_DIR:?}"

(cd "$BUILD_DIR" && cpack -G DEB -B "$E2E_TMP/package" >"$E2E_TMP/cpack.log" 2>&1) || fail "cpack failed: $(tail -n 20 "$E2E_TMP/cpack.log")"
deb=$(ls "$E2E_TMP"/package/kururin-go_*.deb | head -n1)
[[ -f "$deb" ]] || fail "no package made"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for need in libqt6widgets6 libqt6gui6 libsdl2-2.0-0 qt6-qpa-plugins fonts-ipafont-gothic; do
    [[ "$depends" == *"$need"* ]] || fail "the package does not depend on $need"
done
[[ $(dpkg-deb -f "$deb" Package) == kururin-go ]] || fail "package name"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/RX27A0022 ./usr/lib/kururin/libKBT7Res.so ./usr/share/applications/kururin-go.desktop \
         ./usr/share/metainfo/io.github.kururingo.KururinGo.metainfo.xml ./usr/share/kururin/homepage/index.html \
         ./usr/share/icons/hicolor/32x32/apps/kururin-go.png ./usr/share/icons/hicolor/256x256/apps/kururin-go.png \
         ./usr/share/kururin/samples/01_ekimae.bmp; do
    grep -qxF "$f" <<<"$contents" || fail "$f is not in the package"
done
# Nothing outside /usr, and no script that could leave anything behind on removal: the only
# ones are CPack's calls of ldconfig for the shared library.
grep -v '^\./usr/\|^\./$\|^\./usr$' <<<"$contents" && fail "files outside /usr"
dpkg-deb -e "$deb" "$E2E_TMP/control"
for script in "$E2E_TMP"/control/{preinst,postinst,prerm,postrm}; do
    [[ -e "$script" ]] || continue
    grep -vE '^#!/bin/sh$|^set -e$|^$|^if \[ "\$1" = "(configure|remove)" \]; then$|^\s*ldconfig$|^fi$' "$script" \
        && fail "$(basename "$script") does more than call ldconfig"
done

root="$E2E_TMP/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/kururin-go.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.kururingo.KururinGo.metainfo.xml" || fail "metainfo invalid"

# Start it the way the desktop does: the entry's Exec line, with the package's bin on the PATH.
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/kururin-go.desktop")
start_display
mkdir -p "$E2E_TMP/home"
HOME="$E2E_TMP/home" PATH="$root/usr/bin:$PATH" QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR="$E2E_TMP" \
    sh -c "exec $exec_line" >"$E2E_TMP/bus.log" 2>&1 &
E2E_PIDS+=($!)
wait_until 20 xdotool search --name '^くるりん号　-　RX27A0022$' || fail "the packaged program did not start: $(cat "$E2E_TMP/bus.log")"
pass
