#!/usr/bin/env bash
# The plain build: copies the repository's files into a clean folder, runs
# `make EXE=../kelmstrad-plain CXX=g++` there with a PATH on which cmake and
# python cannot run, and checks that the binary's bench lines equal those of
# the engine named by the first argument. Also checks that a make into a
# folder that cannot be written fails and leaves no binary there.
#   tests/plain_make_check.sh build/kelmstrad
set -euo pipefail
engine=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/src"
for tool in cmake ctest python python3; do
  printf '#!/bin/sh\necho "$0: not available" >&2\nexit 127\n' >"$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
(cd "$root" && git ls-files -co --exclude-standard -z | xargs -0 tar cf - --no-recursion) |
  tar xf - -C "$work/src"
plain_path="$work/bin:$(dirname "$(command -v g++)"):$(dirname "$(command -v make)"):/usr/bin:/bin"
(cd "$work/src" && PATH=$plain_path make -j2 EXE=../kelmstrad-plain CXX=g++ >"$work/make.log" 2>&1) || {
  cat "$work/make.log" >&2
  echo "plain_make_check: make EXE= failed" >&2
  exit 1
}
expected=$("$engine" bench | tail -n 2)
got=$("$work/kelmstrad-plain" bench | tail -n 2)
# The nps figure differs from run to run; the nodes and the cost must not.
strip() { sed -E 's/ [0-9]+ nps$//'; }
if [ "$(strip <<<"$expected")" != "$(strip <<<"$got")" ]; then
  printf 'plain_make_check: bench differs\nCMake build:\n%s\nplain build:\n%s\n' "$expected" "$got" >&2
  exit 1
fi
# A folder that cannot be written (here one that does not exist): make fails
# and no binary is left at EXE.
if (cd "$work/src" && PATH=$plain_path make EXE="$work/missing/kelmstrad" CXX=g++ >/dev/null 2>&1); then
  echo "plain_make_check: make into a missing folder succeeded" >&2
  exit 1
fi
if [ -e "$work/missing/kelmstrad" ]; then
  echo "plain_make_check: a binary was left at EXE" >&2
  exit 1
fi
echo "plain_make_check: bench lines equal ($(strip <<<"$got" | tr '\n' ' '))"
