#!/bin/sh
# Builds the libFuzzer targets in build-fuzz/ and runs each one in turn for
# the given seconds (30 by default) over a scratch copy of its seeds, so the
# repository's corpus stays small. Fails when a fuzzer finds something.
set -eu
secs=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DTW_TESTS=OFF -DTW_BENCH=OFF -DTW_FUZZ=ON >/dev/null
cmake --build "$build" -j2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for target in reader_fuzz format_fuzz program_fuzz; do
  exe=$build/tests/fuzz/$target
  [ -x "$exe" ] || continue
  seeds=$root/tests/fuzz/corpus/${target%_fuzz}
  mkdir -p "$scratch/$target" "$scratch/$target.art"
  if [ -d "$seeds" ]; then cp "$seeds"/* "$scratch/$target/" 2>/dev/null || true; fi
  echo "== $target for $secs s"
  if ! (cd "$scratch/$target.art" && "$exe" -max_total_time="$secs" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$scratch/$target.art/" "$scratch/$target" \
        >"$scratch/$target.log" 2>&1); then
    tail -n 60 "$scratch/$target.log"
    mkdir -p "$root/build-fuzz/findings"
    cp "$scratch/$target.art"/* "$root/build-fuzz/findings/" 2>/dev/null || true
    echo "$target found a fault; its input is in build-fuzz/findings/"
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "$scratch/$target.log" || true
  fi
done
exit $status
