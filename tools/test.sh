#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the short fuzz runs
# and the Windows build under Wine where their tools are present.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

# Outside CI a missing tool skips its part; in CI it is an error.
missing() {
  if [ "${CI:-}" = "true" ]; then
    echo "error: $1 is missing (CI must install it)" >&2
    exit 1
  fi
  echo "skipped: $2 ($1 not installed)"
}

echo "== build and test (build/)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== build and test with sanitizers (build-san/)"
cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=ON -DTW_BENCH=OFF >/dev/null
cmake --build build-san -j"$jobs"
ctest --test-dir build-san --output-on-failure -j"$jobs"

echo "== short fuzz runs"
if ! command -v clang++ >/dev/null 2>&1; then
  missing clang++ "fuzz runs"
elif ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  missing libclang-rt-14-dev "fuzz runs"
else
  tools/fuzz.sh "${FUZZ_SECONDS:-30}"
fi

echo "== Windows build under Wine"
tools/wine_test.sh
