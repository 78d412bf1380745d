#!/usr/bin/env bash
# A network for the engine from nothing: builds the engine and the data
# generator, plays the self-play games, trains the network and writes it, with
# a provenance file beside it. The same settings and seed give the same data
# and the same network.
#
#   tools/make_network_from_scratch.sh OUT          (or: make network NETWORK=OUT)
#
# Writes OUT (the network, engine text format), OUT's .png (training and
# held-out loss per epoch), OUT.provenance (settings, commands, commit, counts
# and losses) and the data in the folder DATA, one file of CHUNK games per seed
# (chunk_SEED.bin, chunk_SEED+1.bin, ...). A chunk is written through a
# temporary name, and one that exists is used as it is: hours of games can be
# stopped and resumed, and training repeated without playing again.
#
# Settings (environment):
#   BUILD=build        folder of the CMake build (configured here if it is not yet)
#   DATA=OUT.data      the folder of the packed positions
#   GAMES=100000       self-play games          NODES=5000     nodes per move
#   CHUNK=500          games per data file (GAMES is rounded up to whole chunks)
#   RANDOM_PLIES=4     random plies after the opening line
#   MAXPLIES=400       a game still running after this many plies is drawn
#   OPENINGS=tools/openings/book_walk8.txt      JOBS=2 (processes playing at once)
#   WIDTH=128          hidden units per view    EPOCHS=10      LAMBDA=0.75
#   LR=0.001           BATCH=1024               NNSCALE=64 (the NNSCALE it plays with)
#   LR_DECAY=1         the learning rate's factor after each epoch
#   RESIDUAL=          set: train the correction added to the hand-made
#                      evaluation (play it with NNRES set), under PARAMS
#   SEED=1             the seed of the training and of the first chunk
# The engine's environment switches apply to the games, as in play (NNUE set:
# the games are played with that network).
set -euo pipefail
out=${1:?usage: tools/make_network_from_scratch.sh OUT}
# OUT and DATA are taken from where the script is called; BUILD and OPENINGS
# from the repository's top, where it runs.
case $out in /*) ;; *) out=$PWD/$out ;; esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-build}
data=${DATA:-$out.data}
case $data in /*) ;; *) data=$PWD/$data ;; esac
games=${GAMES:-100000}
chunk=${CHUNK:-500}
nodes=${NODES:-5000}
random_plies=${RANDOM_PLIES:-4}
maxplies=${MAXPLIES:-400}
openings=${OPENINGS:-tools/openings/book_walk8.txt}
jobs=${JOBS:-2}
width=${WIDTH:-128}
epochs=${EPOCHS:-10}
lambda=${LAMBDA:-0.75}
lr=${LR:-0.001}
lr_decay=${LR_DECAY:-1}
residual=${RESIDUAL:+--residual}
batch=${BATCH:-1024}
nnscale=${NNSCALE:-64}
seed=${SEED:-1}
provenance=$out.provenance
log=$out.log

mkdir -p "$(dirname "$out")" "$data"
cd "$root"
# Step 1. The engine and the generator, optimised.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" -j "$jobs" --target kelmstrad datagen

# Step 2. The self-play positions, chunk by chunk (a chunk already written is kept).
chunks=$(((games + chunk - 1) / chunk))
datagen_command="$build/tools/datagen -out $data/chunk_S.bin -games $chunk -nodes $nodes -random $random_plies -maxplies $maxplies -openings $openings -jobs $jobs -seed S, for S = $seed .. $((seed + chunks - 1))"
files=()
: >"$log"
for ((k = 0; k < chunks; ++k)); do
  s=$((seed + k))
  file=$data/chunk_$s.bin
  files+=("$file")
  if [ -f "$file" ]; then
    echo "make_network_from_scratch: chunk $((k + 1))/$chunks: using $file" >&2
    continue
  fi
  echo "make_network_from_scratch: chunk $((k + 1))/$chunks (seed $s)" >&2
  "$build/tools/datagen" -out "$file.tmp" -games "$chunk" -nodes "$nodes" -random "$random_plies" \
    -maxplies "$maxplies" -openings "$openings" -jobs "$jobs" -seed "$s" 2>&1 | tee -a "$log"
  mv "$file.tmp" "$file"
done

# Step 3. Training and export (through a temporary name, by the trainer).
train_command="/usr/bin/python3 tools/train_network.py ${files[*]} $out --width $width --epochs $epochs --lambda $lambda --lr $lr --lr-decay $lr_decay --batch $batch --nnscale $nnscale --seed $seed --engine $build/kelmstrad $residual"
$train_command 2>&1 | tee -a "$log"

# Step 4. Where the network came from.
{
  echo "# $out: written by tools/make_network_from_scratch.sh on $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "commit $(git rev-parse HEAD 2>/dev/null || echo unknown)"
  echo "settings GAMES=$games CHUNK=$chunk NODES=$nodes RANDOM_PLIES=$random_plies MAXPLIES=$maxplies OPENINGS=$openings JOBS=$jobs WIDTH=$width EPOCHS=$epochs LAMBDA=$lambda LR=$lr LR_DECAY=$lr_decay RESIDUAL=${RESIDUAL:-} BATCH=$batch NNSCALE=$nnscale SEED=$seed"
  echo "environment NNUE=${NNUE:-} NNRES=${NNRES:-} NNBLEND=${NNBLEND:-} PARAMS=${PARAMS:-}"
  echo "data $data: $chunks chunks, $(cat "${files[@]}" | wc -c) bytes"
  echo "generate: $datagen_command"
  echo "train: $train_command"
  echo "# the generator's and the trainer's summary lines:"
  tr '\r' '\n' <"$log" | grep -v -e '^ *$' -e '^epoch [0-9]*/' | tail -n 20
} >"$provenance"
echo "make_network_from_scratch: wrote $out and $provenance" >&2
