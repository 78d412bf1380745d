#!/bin/sh
# Training positions for the evaluation tuner, from games at fixed nodes.
#
#   tools/tune_gen.sh OUT [BATCHES]
#
# Each batch plays one match per pairing with the match runner: Kelmstrad
# against itself (the second side at 5/4 of the nodes) and against Glaurung (or the engines named), Kelmstrad at a
# fixed node count per move and the opponents at a fixed depth (so the games
# do not depend on the load of the host), the openings walked through a
# Polyglot book. The games are appended
# to OUT.games.pgn; at the end `tune pgn` writes the positions of all of them
# to OUT (book plies, positions in check, captures played and positions that
# are not quiet dropped; each line "<FEN> [result for White]").
#
# Settings (environment):
#   BUILD=build          folder holding kelmstrad, tools/match, tools/tune
#   NODES=10000          Kelmstrad's nodes per move
#   OPP_LIMIT=depth=4    the opponents' limit per move (a match engine key: nodes=N
#                        or depth=N; Glaurung 2.2 answers "bestmove (none)" in about
#                        half of its games under "go nodes", so it plays at a fixed depth)
#   GAMES=20             games per pairing and batch
#   CONCURRENCY=2        games at the same time
#   BOOK=/usr/share/games/gnuchess/book.bin   PLIES=8   SEED=1 (pairing k of batch b:
#                        -srand 1000 SEED + 10 b + k)
#   OPPONENTS="/usr/games/glaurung"  (a missing one is left out)
#   DEADLINE=HH:MM       start no batch after this time of day
set -eu
out=${1:?usage: tools/tune_gen.sh OUT [BATCHES]}
batches=${2:-1}
build=${BUILD:-build}
nodes=${NODES:-10000}
opp_limit=${OPP_LIMIT:-depth=4}
games=${GAMES:-20}
concurrency=${CONCURRENCY:-2}
book=${BOOK:-/usr/share/games/gnuchess/book.bin}
plies=${PLIES:-8}
seed=${SEED:-1}
opponents=${OPPONENTS:-/usr/games/glaurung}
pgn=$out.games.pgn
for tool in "$build/kelmstrad" "$build/tools/match" "$build/tools/tune"; do
  [ -x "$tool" ] || { echo "tune_gen: $tool is missing (make build)" >&2; exit 2; }
done
[ -r "$book" ] || { echo "tune_gen: cannot read the book $book" >&2; exit 2; }
kelmstrad="cmd=$build/kelmstrad option.OwnBook=false nodes=$nodes"

play() {  # play SEED ENGINE-WORDS...: one match of $games games against the named opponent
  s=$1
  shift
  "$build/tools/match" -engine $kelmstrad -engine "$@" -games "$games" \
    -concurrency "$concurrency" -openings book="$book" plies="$plies" -srand "$s" \
    -timeout 20000 -pgnout "$pgn" -event "tune_gen" | grep -E '^(Openings|Games|Faults)' || true
}

b=1
while [ "$b" -le "$batches" ]; do
  if [ -n "${DEADLINE:-}" ] && [ "$(date +%H:%M)" \> "$DEADLINE" ]; then
    echo "tune_gen: deadline $DEADLINE reached before batch $b"
    break
  fi
  echo "tune_gen: batch $b of $batches ($(date +%H:%M:%S))"
  k=0
  # Two identical deterministic sides would play each pair's second game as a
  # copy of the first: the second side searches a quarter more nodes.
  play $((seed * 1000 + b * 10)) "cmd=$build/kelmstrad" option.OwnBook=false "nodes=$((nodes + nodes / 4))"
  for engine in $opponents; do
    k=$((k + 1))
    [ -x "$engine" ] && play $((seed * 1000 + b * 10 + k)) "cmd=$engine" "$opp_limit"
  done
  b=$((b + 1))
done
"$build/tools/tune" pgn -pgn "$pgn" -o "$out"
