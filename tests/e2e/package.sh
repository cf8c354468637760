#!/usr/bin/env bash
# The Debian packages, made the way a distribution makes them: dpkg-buildpackage on a clean copy
# of the source, lintian without errors or warnings on the source and binary packages, every
# file in its place, and the autopkgtests run against the packages installed on this machine.
# Removing them afterwards must leave nothing of theirs behind.
#
# This installs and then removes kururin-go and the metafile plugin on this machine (as root, or
# through sudo). KURURIN_SKIP_PACKAGE=1 skips it.
source "$(dirname "$0")/lib.sh"
: "${SOURCE_DIR:?}"

if [[ -n "${KURURIN_SKIP_PACKAGE:-}" ]]; then
    echo "SKIP: KURURIN_SKIP_PACKAGE is set"
    exit 77
fi
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
packages=(kururin-go qt6-image-formats-plugin-metafile)

# A copy of the source as the version control system sees it (build folders and other ignored
# files left out), so the build neither sees nor litters the working tree or its parent folder.
src="$E2E_TMP/kururin-go-$(dpkg-parsechangelog -l "$SOURCE_DIR/debian/changelog" -SVersion)"
mkdir -p "$src"
if git -C "$SOURCE_DIR" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$SOURCE_DIR" && git ls-files -z --cached --others --exclude-standard \
        | while IFS= read -r -d '' f; do if [[ -e "$f" || -L "$f" ]]; then printf '%s\0' "$f"; fi; done \
        | xargs -0 cp -a --parents -t "$src")
else
    tar -C "$SOURCE_DIR" --exclude='./build*' --exclude='./obj-*' --exclude='./.git' -cf - . | tar -C "$src" -xf -
fi

# Objects compiled by an earlier run are reused when ccache is there (the flags and the sources,
# seen from the copy's own folder, must be the same); the build is otherwise the distribution's.
if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR="$src"
fi
started=$SECONDS
# The source package too, so that lintian looks at debian/ as an archive would.
(cd "$src" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc >"$E2E_TMP/build.log" 2>&1) \
    || fail "dpkg-buildpackage failed: $(tail -n 30 "$E2E_TMP/build.log")"
echo "dpkg-buildpackage took $((SECONDS - started)) s"
changes=$(ls "$E2E_TMP"/kururin-go_*.changes)
debs=()
for p in "${packages[@]}"; do
    deb=$(ls "$E2E_TMP/${p}"_*.deb 2>/dev/null | head -n1)
    [[ -f "$deb" ]] || fail "no package $p was made"
    debs+=("$deb")
done

# Informational tags are shown; an error or a warning fails, as does lintian failing to run.
started=$SECONDS
lintian --fail-on error,warning --tag-display-limit 0 "$changes" || fail "lintian reports errors or warnings"
echo "lintian took $((SECONDS - started)) s"

program_deb=${debs[0]} plugin_deb=${debs[1]}
depends=$(dpkg-deb -f "$program_deb" Depends)
echo "Depends: $depends"
for need in libqt6widgets6 libqt6gui6 libsdl2-2.0-0 qt6-qpa-plugins fonts-ipafont-gothic; do
    [[ "$depends" == *"$need"* ]] || fail "kururin-go does not depend on $need"
done
[[ $(dpkg-deb -f "$plugin_deb" Depends) == *libqt6gui6* ]] || fail "the plugin does not depend on Qt's GUI library"

triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
contents=$(dpkg-deb -c "$program_deb" | awk '{print $6}')
for f in ./usr/bin/RX27A0022 ./usr/lib/$triplet/kururin/libKBT7Res.so ./usr/share/applications/kururin-go.desktop \
         ./usr/share/metainfo/io.github.kururingo.KururinGo.metainfo.xml ./usr/share/kururin/homepage/index.html \
         ./usr/share/icons/hicolor/32x32/apps/kururin-go.png ./usr/share/icons/hicolor/256x256/apps/kururin-go.png \
         ./usr/share/kururin/samples/01_ekimae.bmp ./usr/share/man/man6/RX27A0022.6.gz \
         ./usr/share/man/ja/man6/RX27A0022.6.gz ./usr/share/doc/kururin-go/copyright; do
    grep -qxF "$f" <<<"$contents" || fail "$f is not in kururin-go"
done
grep -v '^\./usr/\|^\./$\|^\./usr$' <<<"$contents" && fail "kururin-go has files outside /usr"
dpkg-deb -c "$plugin_deb" | awk '{print $6}' | grep -qxF "./usr/lib/$triplet/qt6/plugins/imageformats/libqmetafile.so" \
    || fail "the plugin is not in Qt's imageformats folder"

root="$E2E_TMP/root"
dpkg-deb -x "$program_deb" "$root"
desktop-file-validate "$root/usr/share/applications/kururin-go.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.kururingo.KururinGo.metainfo.xml" || fail "metainfo invalid"

# Installing, testing and removing happen one run at a time on this machine, whichever working
# copy runs them.
exec 8>/tmp/kururin-package-test.lock
flock 8
started=$SECONDS
status=0
"${sudo[@]}" autopkgtest --timeout-test 300 --output-dir "$E2E_TMP/autopkgtest" "${debs[@]}" "$src" -- null \
    >"$E2E_TMP/autopkgtest.log" 2>&1 || status=$?
cat "$E2E_TMP/autopkgtest/summary" 2>/dev/null || true
echo "autopkgtest took $((SECONDS - started)) s"

# What the packages put on the machine, then removed whatever the outcome, so a failed run
# leaves nothing installed either.
listed="$E2E_TMP/installed-files"
: >"$listed"
not_installed=()
for p in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        dpkg -L "$p" >>"$listed"
    else
        not_installed+=("$p")
    fi
done
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y -qq "${packages[@]}" >"$E2E_TMP/remove.log" 2>&1 \
    || fail "removing failed: $(cat "$E2E_TMP/remove.log")"
((status == 0)) || fail "autopkgtest failed (exit $status): $(tail -n 60 "$E2E_TMP/autopkgtest.log")"
((${#not_installed[@]} == 0)) || fail "autopkgtest did not install ${not_installed[*]}"

# Not even configuration files may stay: a plain remove must take everything.
for p in "${packages[@]}"; do
    state=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [[ -z "$state" || "$state" == not-installed ]] || fail "$p is left $state after removal"
done
# Every file is gone; a folder that is still there must belong to some other package.
left=()
while IFS= read -r path; do
    [[ -n "$path" && "$path" != /. ]] || continue
    if [[ -L "$path" || -f "$path" ]]; then
        left+=("$path")
    elif [[ -d "$path" ]] && ! dpkg -S "$path" >/dev/null 2>&1; then
        left+=("$path/")
    fi
done < <(sort -u "$listed")
((${#left[@]} == 0)) || fail "left behind after removal: ${left[*]}"
echo "$(sort -u "$listed" | wc -l) installed paths, none left behind"
pass
