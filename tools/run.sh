#!/usr/bin/env bash
# Builds the program and runs it in run/ with the plot script beside it and
# the wgnuplot.exe launcher on PATH. Answer 0,0 twice for the default map,
# which lands in run/TWOPHMAP.png.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"

build="${TWOPHMAP_BUILD:-build}"
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target twophmap >/dev/null

mkdir -p run
cp plot/TWOPHMAP.plt run/TWOPHMAP.plt
if ! command -v gnuplot >/dev/null 2>&1; then
  echo "note: gnuplot is not installed: the map will not be drawn" >&2
fi

cd run
# Without COMSPEC (and with no cmd.exe on PATH) the program hands its
# command to /bin/sh, which finds the launcher on PATH.
unset COMSPEC
export PATH="$top/plot:$PATH"
exec "$top/$build/twophmap"
