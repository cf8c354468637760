# Runs lupdate over the program's sources into a copy of the translation and fails on any text
# it finds untranslated (new in the code) or obsolete (gone from the code).
# Usage: translations_complete.sh LUPDATE TS SOURCE_FOLDER...
set -euo pipefail

lupdate=$1 ts=$2
shift 2
scratch=$(mktemp -d /tmp/kururin-ts.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

cp "$ts" "$scratch/check.ts"
"$lupdate" -silent -I . -locations none -source-language ja -target-language en "$@" -ts "$scratch/check.ts" \
    >"$scratch/lupdate.log" 2>&1 || { cat "$scratch/lupdate.log"; exit 1; }
# lupdate warns about texts it cannot read (a tr() outside a class that has Q_OBJECT, say).
if grep -v -e '^Scanning directory' -e '^Updating' -e 'Found [0-9]* source text' "$scratch/lupdate.log" | grep -q .; then
    cat "$scratch/lupdate.log"
    exit 1
fi

status=0
for kind in unfinished obsolete vanished; do
    count=$(grep -c "type=\"$kind\"" "$scratch/check.ts" || true)
    if ((count > 0)); then
        echo "$count $kind entr$( ((count == 1)) && echo y || echo ies) in $(basename "$ts"):"
        grep -B2 "type=\"$kind\"" "$scratch/check.ts" | grep '<source>' | sed 's/^ */  /'
        status=1
    fi
done
if ((status == 0)) && ! cmp -s "$ts" "$scratch/check.ts"; then
    echo "$(basename "$ts") is not as lupdate keeps it (cmake --build build --target update_translations):"
    diff "$ts" "$scratch/check.ts" || true
    status=1
fi
((status == 0)) && echo "$(grep -c '<source>' "$ts") texts, all translated and current"
exit $status
