#!/usr/bin/env bash
# The Windows engine checked from Linux under Wine, against the Linux build:
#   1. the platform layer's checks (platform_check.exe);
#   2. the transcript suite against kelmstrad.exe (cases marked skip-windows
#      are skipped with their reason);
#   3. bench: the "cost C" and "N nodes" lines equal the Linux build's;
#   4. the UCI compliance check (build/tools/uci_check) through Wine, on the
#      virtual and on the process clock;
#   5. 20 games at fixed nodes, the Windows engine against the Linux one, move
#      for move the games of the Linux engine against itself.
# Needs `make build` (the Linux engine and tools) and `make windows` done, and
# Wine (Debian's wine and wine64). Wine keeps its prefix in $WIN_BUILD/wine,
# started without a display; a first run creates it (some seconds).
#
# Variables: BUILD (default build), WIN_BUILD (default build-win),
# JOBS (cases and games at the same time, default 2).
set -euo pipefail
cd "$(dirname "$0")/../.."

BUILD=${BUILD:-build}
WIN_BUILD=${WIN_BUILD:-build-win}
JOBS=${JOBS:-2}
ENGINE=$PWD/$WIN_BUILD/kelmstrad.exe
LINUX_ENGINE=$PWD/$BUILD/kelmstrad
for program in "$ENGINE" "$WIN_BUILD/platform_check.exe" "$LINUX_ENGINE" "$BUILD/tools/match" \
  "$BUILD/tools/uci_check"; do
  if [ ! -f "$program" ]; then
    echo "run_under_wine: $program is missing (make build; make windows)" >&2
    exit 2
  fi
done
WINE=$(command -v wine || command -v wine64 || true)
if [ -z "$WINE" ]; then
  echo "run_under_wine: wine is missing (apt-get install wine wine64)" >&2
  exit 2
fi

export WINEPREFIX=$PWD/$WIN_BUILD/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
mkdir -p "$WINEPREFIX"
# One wine server serves the whole run (a program started just as a lingering
# server shuts down may fail to start); the prefix is made on the first run.
# At the end the server and whatever still runs under it are stopped.
wineserver -k 2>/dev/null || true
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
"$WINE" wineboot --init >/dev/null 2>&1 || true

echo "== platform checks (platform_check.exe)"
"$WINE" "$WIN_BUILD/platform_check.exe"

echo "== transcript suite against kelmstrad.exe"
python3 tests/uci/run_transcript.py --windows --jobs "$JOBS" --command "$WINE $ENGINE" tests/uci/cases \
  | grep -v '^ok '

echo "== bench: the same cost and nodes as the Linux build"
bench_lines() { "$@" bench 2>/dev/null | tr -d '\r' | sed -n -e 's/^\(cost [0-9]*\)$/\1/p' \
  -e 's/^\([0-9]* nodes\) .*/\1/p'; }
linux=$(bench_lines "$LINUX_ENGINE")
windows=$(bench_lines "$WINE" "$ENGINE")
paste <(echo "$linux") <(echo "$windows") | sed 's/^/linux: /; s/\t/   windows: /'
if [ -z "$linux" ] || [ "$linux" != "$windows" ]; then
  echo "run_under_wine: the Windows bench differs from the Linux bench" >&2
  exit 1
fi

echo "== UCI compliance check through Wine (virtual clock, then the process clock)"
"$BUILD/tools/uci_check" "$WINE" "$ENGINE"
"$BUILD/tools/uci_check" -option OwnBook=false -option VirtualClock=false "$WINE" "$ENGINE"

echo "== 20 games at 5000 nodes: Windows against Linux, then Linux against Linux"
games=$WIN_BUILD/games
mkdir -p "$games"
rm -f "$games/windows.pgn" "$games/linux.pgn"
common=(-each nodes=5000 option.OwnBook=false -openings file=tools/openings/balanced.txt
  -games 20 -concurrency "$JOBS" -strict both -maxmoves 200)
# A match's whole report (with the last lines of an engine at fault) is shown
# when it fails, its summary otherwise.
match() {
  local log=$games/$1.log
  shift
  if ! "$BUILD/tools/match" "$@" >"$log" 2>&1; then
    cat "$log"
    return 1
  fi
  grep '^Faults of' "$log"
}
match windows -engine name=windows "cmd=$WINE $ENGINE" -engine name=linux "cmd=$LINUX_ENGINE" \
  "${common[@]}" -pgnout "$games/windows.pgn" min
match linux -engine name=windows "cmd=$LINUX_ENGINE" -engine name=linux "cmd=$LINUX_ENGINE" \
  "${common[@]}" -pgnout "$games/linux.pgn" min
python3 tests/windows/same_games.py "$games/linux.pgn" "$games/windows.pgn" | tail -1

echo "run_under_wine: passed"
