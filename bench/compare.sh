#!/bin/sh
# Compares the real-clock speed of two engine builds on a noisy machine.
#
#   bench/compare.sh OLD NEW [runs] [depth]
#
# Runs "OLD bench DEPTH" and "NEW bench DEPTH" alternately RUNS times (default 5,
# depth default 8), so that a change in the machine's load falls on both builds
# alike, then prints each build's nodes-per-second readings, their medians and
# the ratio NEW/OLD of the medians. It also checks that both builds searched the
# same number of nodes and charged the same cost (a speed-up must not change the
# search); a difference is reported and the script exits with status 2.
set -eu

if [ $# -lt 2 ]; then
    echo "usage: $0 OLD NEW [runs] [depth]" >&2
    exit 1
fi
old=$1
new=$2
runs=${3:-5}
depth=${4:-8}
for exe in "$old" "$new"; do
    if [ ! -x "$exe" ]; then
        echo "$0: $exe is not an executable" >&2
        exit 1
    fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One bench run; appends "nodes cost nps" to the build's record file.
run_one() {
    record=$tmp/$2
    "$1" bench "$depth" > "$tmp/out" 2>&1
    cost=$(awk '$1 == "cost" { print $2 }' "$tmp/out")
    line=$(awk '$2 == "nodes" && $4 == "nps" { print $1, $3 }' "$tmp/out")
    if [ -z "$cost" ] || [ -z "$line" ]; then
        echo "$0: no bench result from $1" >&2
        exit 1
    fi
    set -- $line
    echo "$1 $cost $2" >> "$record"
}

i=1
while [ "$i" -le "$runs" ]; do
    run_one "$old" old
    run_one "$new" new
    echo "run $i/$runs: old $(tail -n 1 "$tmp/old" | cut -d' ' -f3) nps," \
         "new $(tail -n 1 "$tmp/new" | cut -d' ' -f3) nps"
    i=$((i + 1))
done

# The median of the third column of a record file.
median() {
    cut -d' ' -f3 "$1" | sort -n | awk '{ v[NR] = $1 }
        END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

old_median=$(median "$tmp/old")
new_median=$(median "$tmp/new")
echo "old $old: median $old_median nps"
echo "new $new: median $new_median nps"
awk -v o="$old_median" -v n="$new_median" 'BEGIN { printf "ratio new/old: %.3f\n", n / o }'

old_sig=$(cut -d' ' -f1,2 "$tmp/old" | sort -u)
new_sig=$(cut -d' ' -f1,2 "$tmp/new" | sort -u)
if [ "$old_sig" != "$new_sig" ]; then
    echo "signatures differ: old (nodes cost) $old_sig, new $new_sig"
    exit 2
fi
echo "same signature: $old_sig (nodes cost)"
