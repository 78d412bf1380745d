#!/usr/bin/env bash
# CI smoke test of the engine in play: the UCI compliance check (default
# settings, no book, no book on the real clock), then 20 games on the virtual clock, 10
# games on the real clock and 10 paced to real time (RealSpeed) against Debian's
# stockfish at a low "Skill Level".
# Fails on any illegal move, crash, stall or time loss of our engine (the match
# runner's -strict first); the score is printed, not judged.
#
# Variables: BUILD (build folder, default build), ENGINE (our engine, default
# $BUILD/kelmstrad), OPPONENT (default: stockfish from PATH or /usr/games),
# SMOKE_OUT (PGN folder, default $BUILD/smoke), CONCURRENCY (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BUILD:-build}
ENGINE=${ENGINE:-$BUILD/kelmstrad}
MATCH=$BUILD/tools/match
CHECK=$BUILD/tools/uci_check
OPPONENT=${OPPONENT:-$(command -v stockfish || echo /usr/games/stockfish)}
OUT=${SMOKE_OUT:-$BUILD/smoke}
CONCURRENCY=${CONCURRENCY:-2}

for program in "$ENGINE" "$MATCH" "$CHECK" "$OPPONENT"; do
  if [ ! -x "$program" ]; then
    echo "smoke_match: $program is missing (build first; install stockfish)" >&2
    exit 2
  fi
done
mkdir -p "$OUT"
rm -f "$OUT/virtual.pgn" "$OUT/real.pgn" "$OUT/realspeed.pgn"

# With the book on, the start positions are answered from it; without it every
# step goes through the search.
echo "== UCI compliance check, default settings"
"$CHECK" "$ENGINE"
echo "== UCI compliance check, OwnBook false"
"$CHECK" -option OwnBook=false "$ENGINE"
echo "== UCI compliance check, OwnBook false, VirtualClock false"
"$CHECK" -option OwnBook=false -option VirtualClock=false "$ENGINE"

# Stockfish weakened and limited by nodes, so its moves cost milliseconds and
# do not depend on the machine's load.
opponent=(-engine "cmd=$OPPONENT" name=Stockfish "option.Skill Level=1" option.Threads=1
  option.Hash=16 nodes=5000)
common=(-openings file=tools/openings/balanced.txt -concurrency "$CONCURRENCY" -strict first
  -timeout 10000 -maxmoves 200)

echo "== 20 games, virtual clock (tc 60+0.6)"
"$MATCH" -engine "cmd=$ENGINE" name=Kelmstrad tc=60+0.6 "${opponent[@]}" -games 20 \
  -event "Smoke, virtual clock" -pgnout "$OUT/virtual.pgn" "${common[@]}"

# A margin of 100 ms absorbs the scheduling of a busy CI machine; the engine
# itself never plans to use more than a third of its clock on one move.
echo "== 10 games, VirtualClock false (tc 2+0.05)"
"$MATCH" -engine "cmd=$ENGINE" name=Kelmstrad option.VirtualClock=false tc=2+0.05 timemargin=100 \
  "${opponent[@]}" -games 10 -event "Smoke, real clock" -pgnout "$OUT/real.pgn" "${common[@]}"

# RealSpeed paces the virtual clock to real time: the engine then thinks as
# slowly as the machine its cost table describes, and its hard limit, tested at
# every node of that clock, must hold against the real clock of the match.
echo "== 10 games, RealSpeed true (tc 5+0.05)"
"$MATCH" -engine "cmd=$ENGINE" name=Kelmstrad option.RealSpeed=true tc=5+0.05 timemargin=100 \
  "${opponent[@]}" -games 10 -event "Smoke, RealSpeed" -pgnout "$OUT/realspeed.pgn" "${common[@]}"

echo "smoke_match: passed (games in $OUT)"
