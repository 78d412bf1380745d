#!/usr/bin/env python3
"""Writes the small hand-made book files of this folder (run it from anywhere).

Polyglot files (pg_*.bin) hold 16-byte big-endian entries: key, move, weight,
learn; the keys come from tools/make_builtin_book.py, which computes Polyglot
keys independently of the engine. Built-in-format files (bk_*.bin) hold 4-byte
entries: book key big-endian, then the engine's move least significant byte
first.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "tools"))
import make_builtin_book as tool  # noqa: E402

RANDOM64 = tool.polyglot_random64()
CASTLES = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R {} KQkq - 0 1"
PROMOTION = "n1n1k3/1P6/8/8/8/8/8/4K3 w - - 0 1"
PINNED = "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1"


def key(fen=tool.START_FEN):
    return tool.polyglot_key(tool.Board(fen), RANDOM64)


def field(text, promo=0):
    """A Polyglot move field from coordinates such as "e1h1"."""
    ff, fr, tf, tr = (ord(text[0]) - 97, int(text[1]) - 1, ord(text[2]) - 97, int(text[3]) - 1)
    return (promo << 12) | (fr << 9) | (ff << 6) | (tr << 3) | tf


def entry(k, move, weight):
    return k.to_bytes(8, "big") + move.to_bytes(2, "big") + weight.to_bytes(2, "big") + bytes(4)


def polyglot(name, entries, tail=b""):
    entries = sorted(entries, key=lambda e: e[0])  # stable: a run keeps its listed order
    with open(os.path.join(HERE, name), "wb") as handle:
        handle.write(b"".join(entry(*e) for e in entries) + tail)


def builtin(name, entries, tail=b""):
    with open(os.path.join(HERE, name), "wb") as handle:
        for k, move in entries:
            handle.write(k.to_bytes(2, "big") + move.to_bytes(2, "little"))
        handle.write(tail)


def main():
    start = key()
    # Start position: every weight 0.
    polyglot("pg_zero_weights.bin", [(start, field("e2e4"), 0), (start, field("d2d4"), 0)])
    # Start position: one entry d2d4, then 7 bytes that make no whole entry.
    polyglot("pg_trailing_bytes.bin", [(start, field("d2d4"), 5)], tail=bytes(range(1, 8)))
    # The first 15 bytes of a start-position entry only.
    with open(os.path.join(HERE, "pg_short.bin"), "wb") as handle:
        handle.write(entry(start, field("e2e4"), 9)[:15])
    # Start position: e2e5 (no such move); pinned knight: e2c3 (generated, illegal).
    polyglot("pg_illegal.bin", [(start, field("e2e5"), 10), (key(PINNED), field("e2c3"), 10)])
    # Both sides may castle both ways: White e1a1 then e1h1, Black e8h8 then e8a8.
    polyglot("pg_castling.bin", [
        (key(CASTLES.format("w")), field("e1a1"), 1), (key(CASTLES.format("w")), field("e1h1"), 1),
        (key(CASTLES.format("b")), field("e8h8"), 1), (key(CASTLES.format("b")), field("e8a8"), 1)])
    # b7 pawn with knights on a8 and c8: b7a8 knight, b7c8 rook, b7b8 bishop, b7b8 none,
    # b7a8 with promotion field 6 (read as queen), weight 1 each.
    k = key(PROMOTION)
    polyglot("pg_promotion.bin", [(k, field("b7a8", 1), 1), (k, field("b7c8", 3), 1),
                                  (k, field("b7b8", 2), 1), (k, field("b7b8"), 1),
                                  (k, field("b7a8", 6), 1)])
    # Runs around the start key: three entries with the key below it, the start
    # run e2e4 (weight 1), g1f3 (2), c2c4 (0), d2d4 (3), two entries above it.
    polyglot("pg_runs.bin", [(start - 1, field("a2a3"), 7)] * 3 + [
        (start, field("e2e4"), 1), (start, field("g1f3"), 2), (start, field("c2c4"), 0),
        (start, field("d2d4"), 3)] + [(start + 1, field("h2h3"), 7)] * 2)
    # Built-in format: the start key with d2d4 (from d2 = 0x13 to d4 = 0x33).
    builtin("bk_start_d4.bin", [(0x66FA, 0x3313)])
    # The same entry followed by two stray bytes.
    builtin("bk_odd_size.bin", [(0x66FA, 0x3313)], tail=b"\x01\x02")
    # No entry at all.
    builtin("bk_empty.bin", [])
    # The start key with e2e5 (from 0x14 to 0x44), a move that is not generated.
    builtin("bk_illegal.bin", [(0x66FA, 0x4414)])


if __name__ == "__main__":
    main()
