#!/usr/bin/env bash
# Builds the two fuzz targets with clang and runs each for a bounded time
# from its seed corpus. Fails on any crash, sanitizer report, leak or hang
# (an input that runs longer than the per-input time-out).
#
#   tests/fuzz/run.sh [seconds per target, default 60] [per-input time-out, default 25]
#
# FUZZ_ASSERTS=1 in the environment runs the targets with the Debug ASSERTs
# on (position_is_ok after every make and unmake), built in build-fuzz-checked.
#
# The seeds are copied to a scratch corpus under build-fuzz/, so the run never
# changes tests/fuzz/; a failing input is left in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/../.."

SECONDS_PER_TARGET=${1:-60}
INPUT_TIMEOUT=${2:-25}
FUZZ_ASSERTS=${FUZZ_ASSERTS:-0}
if [ "$FUZZ_ASSERTS" = 1 ]; then
  FUZZ_BUILD=${FUZZ_BUILD:-build-fuzz-checked}
else
  FUZZ_BUILD=${FUZZ_BUILD:-build-fuzz}
fi

# clang and its libFuzzer runtime, installed from Debian when missing.
fuzzer_links() {
  local probe
  probe=$(mktemp -d)
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$probe/p.cpp"
  local cxx
  cxx=$(command -v clang++-14 || command -v clang++ || true)
  [ -n "$cxx" ] && "$cxx" -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1
  local status=$?
  rm -rf "$probe"
  return $status
}
if ! fuzzer_links; then
  as_root=()
  if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
  "${as_root[@]}" apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y clang-14 libclang-rt-14-dev
  fuzzer_links || { echo "run.sh: clang cannot link a libFuzzer target" >&2; exit 1; }
fi

make -f tests/fuzz/Makefile -j2 FUZZ_BUILD="$FUZZ_BUILD" FUZZ_ASSERTS="$FUZZ_ASSERTS"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Longest input of each target: a FEN well past the 255 characters that
# "position" keeps; command streams long enough for a game of over 951 moves,
# where "position ... moves" compacts the history.
declare -A MAX_LEN=([fen]=1024 [commands]=16384)

status=0
for target in fen commands; do
  corpus="$FUZZ_BUILD/corpus/$target"
  artifacts="$FUZZ_BUILD/artifacts/$target/"
  log="$FUZZ_BUILD/$target.log"
  rm -rf "$corpus"
  mkdir -p "$corpus" "$artifacts"
  cp tests/fuzz/corpus_"$target"/* "$corpus"/
  echo "== ${target}_fuzz: ${SECONDS_PER_TARGET} s"
  if "$FUZZ_BUILD/${target}_fuzz" "$corpus" -dict=tests/fuzz/"$target".dict \
      -max_len="${MAX_LEN[$target]}" -max_total_time="$SECONDS_PER_TARGET" -timeout="$INPUT_TIMEOUT" -rss_limit_mb=2048 \
      -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$artifacts" >"$log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
  else
    status=1
    echo "== ${target}_fuzz FAILED (log: $log, input in $artifacts):" >&2
    grep -v ' Uses: ' "$log" | tail -60 >&2
  fi
done
exit $status
