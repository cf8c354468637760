#!/usr/bin/env bash
# Makes a corpus of clip art saved as EMF and WMF the way an office user saves it, for comparing
# our metafile player with other renderers (tools/compare_metafiles.sh):
#   tools/make_clipart_corpus.sh OUT_DIR [COUNT] [BLURRED]
# Needs Debian's openclipart-svg and libreoffice-draw-nogui. The SVGs are picked from the sorted
# list of distinct file names (the package installs many pictures under several categories):
# COUNT (default 70) at a fixed stride through all of them, plus BLURRED (default 6) at a fixed
# stride through the few that use an SVG <filter> (soft shadows, glows), which a stride alone
# would hardly ever meet. The same package version gives the same corpus.
# Writes OUT_DIR/svg (the picked SVGs), OUT_DIR/emf, OUT_DIR/wmf and OUT_DIR/picked.txt.
# The files are LibreOffice's and the clip art's authors': keep them out of the repository.
set -euo pipefail
out=${1:?output folder}
count=${2:-70}
blurred=${3:-6}

mapfile -t all < <(dpkg -L openclipart-svg | grep '\.svg$' | LC_ALL=C sort | awk -F/ '!seen[$NF]++')
((${#all[@]} > 0)) || { echo "openclipart-svg is not installed" >&2; exit 1; }
mapfile -t withFilter < <(printf '%s\n' "${all[@]}" | xargs -d '\n' grep -l '<filter' || true)

pick() { # stride through the arguments after the first, taking $1 of them
    local n=$1; shift
    local total=$# stride i
    ((n > total)) && n=$total
    ((n > 0)) || return 0
    stride=$((total / n))
    local items=("$@")
    for ((i = 0; i < n; i++)); do printf '%s\n' "${items[i * stride]}"; done
}

mkdir -p "$out/svg" "$out/emf" "$out/wmf"
{ pick "$count" "${all[@]}"; pick "$blurred" "${withFilter[@]}"; } | awk '!seen[$0]++' >"$out/picked.txt"
while IFS= read -r path; do cp "$path" "$out/svg/"; done <"$out/picked.txt"

# A profile of our own, so that a LibreOffice someone else runs under the default one cannot
# take the job over.
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
for kind in emf wmf; do
    soffice -env:UserInstallation="file://$profile" --headless --convert-to "$kind" \
        --outdir "$out/$kind" "$out"/svg/*.svg >"$out/$kind.log" 2>&1
done
count() { find "$1" -maxdepth 1 -name "*.$2" | wc -l; }
echo "picked $(wc -l <"$out/picked.txt") SVGs; $(count "$out/emf" emf) EMF, $(count "$out/wmf" wmf) WMF in $out"
