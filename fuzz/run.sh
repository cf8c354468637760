#!/usr/bin/env bash
# Builds the fuzz targets (the "fuzz" preset, with clang) if needed and runs one for a bounded time:
#   fuzz/run.sh TARGET SECONDS
# Crashes land in build/fuzz/artifacts; the corpus grows in a copy under build/fuzz, so the
# repository's seed corpus stays as committed.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?target name}
seconds=${2:-30}
build=${KURURIN_FUZZ_BUILD_DIR:-build/fuzz}
# Targets run side by side (ctest -j) share one build folder: one configures and builds at a time.
mkdir -p "$build"
exec 9>"$build/.lock"
flock 9
if [[ ! -f "$build/build.ninja" ]]; then
    cmake --preset fuzz -B "$build" >/dev/null
fi
cmake --build "$build" --target "fuzz_$target" >/dev/null
flock -u 9
exec 9>&-
mkdir -p "$build/corpus/$target" "$build/artifacts"
cp -n fuzz/corpus/"$target"/* "$build/corpus/$target/" 2>/dev/null || true
exec "$build/fuzz_$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 \
    "$build/corpus/$target" fuzz/corpus/"$target"
