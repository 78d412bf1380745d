#!/usr/bin/env python3
"""Compares the move lists of two PGN files game by game (by round).

usage: same_games.py A.pgn B.pgn

Prints one line per round and fails (status 1) when a round is missing from
either file or its moves differ; tags, comments and results are not compared.
"""
import re
import sys


def games(path):
    """Round number -> the moves of that game as one list of SAN words."""
    found = {}
    with open(path, encoding="utf-8") as handle:
        text = handle.read()
    for block in re.split(r"\n(?=\[Event )", text.strip()):
        round_tag = re.search(r'^\[Round "(\d+)"\]', block, re.M)
        movetext = re.sub(r"^\[.*\]\s*$", "", block, flags=re.M)
        movetext = re.sub(r"\{[^}]*\}", " ", movetext)
        words = [w for w in movetext.split()
                 if not re.fullmatch(r"\d+\.+|1-0|0-1|1/2-1/2|\*", w)]
        if round_tag:
            found[int(round_tag.group(1))] = words
    return found


def main():
    first, second = games(sys.argv[1]), games(sys.argv[2])
    failed = not first
    for number in sorted(set(first) | set(second)):
        a, b = first.get(number), second.get(number)
        if a is None or b is None:
            print(f"round {number}: missing from {sys.argv[1] if a is None else sys.argv[2]}")
            failed = True
        elif a != b:
            at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
            print(f"round {number}: the moves differ from ply {at + 1} ({' '.join(a[at:at + 3])} | "
                  f"{' '.join(b[at:at + 3])})")
            failed = True
        else:
            print(f"round {number}: {len(a)} plies, identical")
    print(f"{len(first)} and {len(second)} games: " + ("DIFFERENT" if failed else "identical move lists"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
