#!/usr/bin/env bash
# Builds the Windows program (build-win/twophmap.exe) and runs it under Wine
# beside the POSIX build (build/twophmap): the same files, console bytes,
# failure reports and exit statuses, the plot launch through COMSPEC, and
# the same pow bits on both C libraries. TWOPHMAP_POSIX names another POSIX
# build to compare with.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cases=$root/tests/wine/cases.txt

# Outside CI a missing tool skips the whole check; in CI it is an error.
for tool in x86_64-w64-mingw32-g++ wine cmake; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    if [ "${CI:-}" = "true" ]; then
      echo "error: $tool is missing (CI must install it)" >&2
      exit 1
    fi
    echo "skipped: Windows tests under Wine ($tool not installed)"
    exit 0
  fi
done

echo "== Windows build (build-win/)"
cmake --preset windows >/dev/null
cmake --build build-win -j2
exe=$root/build-win/twophmap.exe
aux=$root/build-win/wine
mkdir -p "$aux"
cxx_flags=(-std=c++20 -O2 -ffp-contract=off -I"$root")
x86_64-w64-mingw32-g++ -O2 -static tests/wine/helper.cpp -o "$aux/helper.exe"
x86_64-w64-mingw32-g++ "${cxx_flags[@]}" -static tests/wine/powfix_check.cpp map/powfix.cpp -o "$aux/powfix_check.exe"
${CXX:-g++} "${cxx_flags[@]}" tests/wine/powfix_check.cpp map/powfix.cpp -o "$aux/powfix_check"

posix=${TWOPHMAP_POSIX:-$root/build/twophmap}
if [ ! -x "$posix" ]; then
  echo "== POSIX build (build/) for the comparison"
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j2 --target twophmap
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/twophmap-wine.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  # TW_WINE_KEEP=1 keeps the runs for a look at what differed.
  if [ "${TW_WINE_KEEP:-}" = 1 ]; then echo "runs kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
echo "== Wine prefix in $WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true

winpath() { winepath -w "$1" 2>/dev/null; }
helper_w=$(winpath "$aux/helper.exe")
exe_w=$(winpath "$exe")

failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# run_posix DIR INPUT [COMSPEC]   run_win DIR INPUT [COMSPEC|-]   ("-": unset)
run_posix() {
  (cd "$1" && printf '%b' "$2" | env COMSPEC="${3:-/bin/true}" "$posix" >stdout 2>stderr; echo $? >status) || true
}
run_win() {
  local env_arg="COMSPEC=${3:-$helper_w 0}"
  [ "${3:-}" = "-" ] && env_arg="-COMSPEC"
  (cd "$1" && printf '%b' "$2" | wine "$aux/helper.exe" --env "$env_arg" -- "$4" >stdout 2>stderr; echo $? >status) || true
}
same() {  # same NAME DIR_A DIR_B FILE...
  local name=$1 a=$2 b=$3; shift 3
  for f in "$@"; do
    if [ -e "$a/$f" ] || [ -e "$b/$f" ]; then
      if [ -d "$a/$f" ] && [ -d "$b/$f" ]; then continue; fi
      if ! cmp -s "$a/$f" "$b/$f"; then
        fail "$name: $f differs"
        (cmp "$a/$f" "$b/$f" 2>&1 || true) | head -2 | sed "s/^/    /"
      fi
    fi
  done
}
setup() {  # setup DIR KIND
  mkdir -p "$1"
  case $2 in
    old) printf 'old contents\r\n' >"$1/TWOPHMAP.out" ;;
    dir) mkdir "$1/TWOPHMAP.out" ;;
  esac
}

echo "== parameter sets: POSIX and Windows runs compared"
n=0
while IFS= read -r line; do
  case $line in ''|'#'*) continue ;; esac
  name=$(echo "${line%%|*}" | tr -d ' ')
  rest=${line#*|}
  kind=$(echo "${rest%%|*}" | tr -d ' ')
  input=${rest#*|}
  input=${input# }
  d=$work/case/$name
  setup "$d/posix" "$kind"
  setup "$d/win" "$kind"
  run_posix "$d/posix" "$input"
  run_win "$d/win" "$input" "" "$exe_w"
  same "$name" "$d/posix" "$d/win" TWOPHMAP.out TWOPHMAP.plp stdout stderr status
  n=$((n + 1))
done <"$cases"
echo "   $n cases run"

echo "== plot launch"
launch() {  # launch NAME EXPECTED_TAIL POSIX_COMSPEC WIN_COMSPEC
  local d=$work/launch/$1
  mkdir -p "$d/posix" "$d/win"
  run_posix "$d/posix" '0,0\n0,0\n' "$3"
  run_win "$d/win" '0,0\n0,0\n' "$4" "$exe_w"
  local want=$2 got
  got=$(tail -c "${#want}" "$d/win/stdout" | od -An -c | tr -s ' ')
  want=$(printf '%s' "$want" | od -An -c | tr -s ' ')
  [ "$got" = "$want" ] || fail "launch $1: standard output ends in [$got], want [$want]"
  [ "$(cat "$d/win/status")" = 0 ] || fail "launch $1: exit status $(cat "$d/win/status")"
  same "launch $1" "$d/posix" "$d/win" TWOPHMAP.out TWOPHMAP.plp
}
msg="Gnuplot script launch was not successful :"
launch exit1 "$msg  1"$'\r\n' /bin/false "$helper_w 1"
grep -qxF "$helper_w 1 /c wgnuplot.exe TWOPHMAP.plt"$'\r' "$work/launch/exit1/win/interp.log" ||
  fail "launch exit1: interpreter command line «$(cat "$work/launch/exit1/win/interp.log" 2>/dev/null)»"
grep -qxF "files closed"$'\r' "$work/launch/exit1/win/interp.log" ||
  fail "launch exit1: the output files were not closed before the launch"
cmp -s "$work/launch/exit1/posix/stdout" "$work/launch/exit1/win/stdout" || fail "launch exit1: standard output differs"
launch exit1000 "$msg***"$'\r\n' /bin/false "$helper_w 1000"
launch exit0 "" /bin/true "$helper_w 0"
! grep -q "launch was not" "$work/launch/exit0/win/stdout" || fail "launch exit0: a message was written"
cmp -s "$work/launch/exit0/posix/stdout" "$work/launch/exit0/win/stdout" || fail "launch exit0: standard output differs"
launch missing "$msg -1"$'\r\n' /nonexistent/interp 'Z:\nonexistent\interp.exe'
cmp -s "$work/launch/missing/posix/stdout" "$work/launch/missing/win/stdout" || fail "launch missing: standard output differs"
long=$(printf 'C:\\%0300d' 0)
launch too_long "$msg -1"$'\r\n' "/$(printf '%0300d' 0)" "$long"
# Without COMSPEC: "cmd.exe", found first in the program's own directory.
d=$work/launch/no_comspec/win
mkdir -p "$d"
cp "$exe" "$d/twophmap.exe"
cp "$aux/helper.exe" "$d/cmd.exe"
run_win "$d" '0,0\n0,0\n' - "$(winpath "$d/twophmap.exe")"
grep -qxF 'cmd.exe /c wgnuplot.exe TWOPHMAP.plt'$'\r' "$d/interp.log" ||
  fail "launch without COMSPEC: interpreter command line «$(cat "$d/interp.log" 2>/dev/null)»"
! grep -q "launch was not" "$d/stdout" || fail "launch without COMSPEC: a launch failure was reported"

echo "== pow bits: glibc and the MinGW runtime"
(cd "$work" && "$aux/powfix_check" native.bin >native.txt && wine "$aux/powfix_check.exe" win.bin >win.txt) || fail "powfix_check did not run"
echo "   native:  $(cat "$work/native.txt")"
echo "   windows: $(cat "$work/win.txt")"
[ "$(cut -d' ' -f1-4 "$work/native.txt")" = "$(cut -d' ' -f1-4 "$work/win.txt" | tr -d '\r')" ] ||
  fail "pow_rounded gives different bits on the two platforms"
raw_diff=$( (cmp -l "$work/native.bin" "$work/win.bin" || true) | awk '{print int(($1 - 1) / 8)}' | uniq | wc -l)
echo "   raw std::pow results that differ between the two: $raw_diff"

if [ "$failures" -ne 0 ]; then
  echo "wine tests: $failures failure(s)"
  exit 1
fi
echo "wine tests: all passed"
