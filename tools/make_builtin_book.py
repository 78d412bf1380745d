#!/usr/bin/env python3
"""Builds the engine's compiled-in opening book from a readable list of lines.

Usage:
  tools/make_builtin_book.py [--lines FILE] [--out FILE] [--check POLYGLOT_BOOK] [--dump]

The line list (default tools/builtin_book_lines.txt) holds one line of play per
text line, in UCI coordinates from the start position ("e2e4 e7e5 g1f3 b8c6").
Every position met along a line gets the move the line plays from it as a book
move; a position keeps its moves in the order the list first names them, so the
first move named is the one the engine plays three times in four and the second
the one it plays once in four (later moves are never chosen). A move written in
parentheses, "(d2d4)", is played to reach the next position without becoming a
book move. "#" starts a comment. --out - writes no table.

The table is keyed by the engine's own 16-bit book key: bits 8-23 of the
position key XOR the side key for Black XOR the en-passant file key, with the
keys drawn by xorshift32 from 0x9E3779B9 exactly as the engine draws them at
start-up. The position key already holds the en-passant file key, so the book
key holds none: two positions that differ only in the en-passant square share
their book moves, and the tool merges them too. Two different positions whose
16-bit keys collide are refused, since the engine could not tell them apart, and
so is a position one book move away whose key is the key of a book position.

The tool checks that each move has a piece of the side to move on its from-
square and no own piece on its to-square; the engine's tests check that every
entry is legal where it stands. --check reads a Polyglot book and reports every
book move it does not list for its position (a second opinion that each move is
a played book move). --dump prints the table in readable form.
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING = 1, 2, 3, 4, 5, 6
BLACK = 8
NO_EP = 128
PROMO_INDEX = {"q": 0, "n": 1, "r": 2, "b": 3}
PROMO_KIND = {"q": QUEEN, "n": KNIGHT, "r": ROOK, "b": BISHOP}
CASTLE_MASK = {0: 13, 4: 12, 7: 14, 112: 7, 116: 3, 119: 11}


def draw_keys():
    """The engine's key tables: piece keys by code and square, castling, en passant, side."""
    state = 0x9E3779B9

    def step():
        nonlocal state
        x = state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        state = x
        return x

    piece = [[step() for _ in range(64)] for _ in range(16)]
    castle = [step() for _ in range(16)]
    ep = [step() for _ in range(8)]
    side = step()
    return piece, castle, ep, side


PIECE_KEYS, CASTLE_KEYS, EP_KEYS, SIDE_KEY = draw_keys()


def sq64(square):
    return (square + (square & 7)) >> 1


def square_of(text):
    """0x88 square of a coordinate such as "e4", or None."""
    if len(text) != 2 or text[0] not in "abcdefgh" or text[1] not in "12345678":
        return None
    return (ord(text[1]) - ord("1")) * 16 + (ord(text[0]) - ord("a"))


class Board:
    """Just enough of a chess position to follow book lines and key them."""

    def __init__(self, fen=START_FEN):
        fields = fen.split()
        self.board = [0] * 128
        rank, file = 7, 0
        for ch in fields[0]:
            if ch == "/":
                rank, file = rank - 1, 0
            elif ch.isdigit():
                file += int(ch)
            else:
                kind = "pnbrqk".index(ch.lower()) + 1
                self.board[rank * 16 + file] = kind | (BLACK if ch.islower() else 0)
                file += 1
        self.side = BLACK if fields[1] == "b" else 0
        self.castling = sum(v for c, v in zip("KQkq", (1, 2, 4, 8)) if c in fields[2])
        self.ep = NO_EP if fields[3] == "-" else square_of(fields[3])

    def copy(self):
        other = Board.__new__(Board)
        other.board, other.side = list(self.board), self.side
        other.castling, other.ep = self.castling, self.ep
        return other

    def hash(self):
        """The engine's `hash`: pieces, castling byte, en-passant file; never the side."""
        h = 0
        for sq in range(128):
            if not sq & 0x88 and self.board[sq]:
                h ^= PIECE_KEYS[self.board[sq]][sq64(sq)]
        h ^= CASTLE_KEYS[self.castling]
        if self.ep != NO_EP:
            h ^= EP_KEYS[self.ep & 7]
        return h

    def book_key16(self):
        k = self.hash()
        if self.side == BLACK:
            k ^= SIDE_KEY
        if self.ep != NO_EP:
            k ^= EP_KEYS[self.ep & 7]
        return (k >> 8) & 0xFFFF

    def identity(self):
        """What the book key sees: everything but the en-passant square."""
        return (tuple(self.board), self.side, self.castling)

    def encode(self, text):
        """The engine's 16-bit move for UCI text, after a plausibility check; raises ValueError."""
        frm, to = square_of(text[0:2]), square_of(text[2:4])
        if frm is None or to is None or len(text) not in (4, 5):
            raise ValueError(f"not a move: {text}")
        piece = self.board[frm]
        if not piece or (piece & 8) != self.side:
            raise ValueError(f"{text}: no piece of the side to move on {text[0:2]}")
        target = self.board[to]
        if target and (target & 8) == self.side:
            raise ValueError(f"{text}: own piece on {text[2:4]}")
        promo = 0
        if (piece & 7) == PAWN and to >> 4 in (0, 7):
            if len(text) != 5 or text[4] not in PROMO_INDEX:
                raise ValueError(f"{text}: promotion needs a letter q, n, r or b")
            promo = PROMO_INDEX[text[4]]
        elif len(text) == 5:
            raise ValueError(f"{text}: not a promotion")
        return frm | (to << 8) | ((promo & 1) << 7) | ((promo >> 1) << 15)

    def play(self, text):
        """Plays a move given as UCI text the way the engine's make does; returns its code."""
        move = self.encode(text)
        frm, to = move & 0x7F, (move >> 8) & 0x7F
        piece = self.board[frm]
        kind = piece & 7
        if kind == PAWN and to == self.ep:
            self.board[to - 16 if self.side == 0 else to + 16] = 0
        self.board[frm] = 0
        if kind == PAWN and to >> 4 in (0, 7):
            piece = self.side | PROMO_KIND[text[4]]
        self.board[to] = piece
        if kind == KING and abs(to - frm) == 2:
            rook_from, rook_to = (frm + 3, frm + 1) if to > frm else (frm - 4, frm - 1)
            self.board[rook_to] = self.board[rook_from]
            self.board[rook_from] = 0
        self.castling &= CASTLE_MASK.get(frm, 15) & CASTLE_MASK.get(to, 15)
        self.ep = (frm + to) // 2 if kind == PAWN and abs(to - frm) == 32 else NO_EP
        self.side ^= BLACK
        return move


def polyglot_random64():
    """The 781 Random64 numbers of the Polyglot format, from tests/data."""
    path = os.path.join(ROOT, "tests", "data", "polyglot-random64.txt")
    with open(path, encoding="ascii") as handle:
        return [int(line, 16) for line in handle if line.strip() and not line.startswith("#")]


def polyglot_key(board, random64):
    """The Polyglot key of a position (en passant only when a capture is possible)."""
    key = 0
    for sq in range(128):
        p = board.board[sq]
        if sq & 0x88 or not p:
            continue
        index = 2 * ((p & 7) - 1) + (0 if p & 8 else 1)
        key ^= random64[64 * index + 8 * (sq >> 4) + (sq & 7)]
    for bit, entry in ((1, 768), (2, 769), (4, 770), (8, 771)):
        if board.castling & bit:
            key ^= random64[entry]
    if board.ep != NO_EP:
        pawn_sq = board.ep - 16 if board.side == 0 else board.ep + 16
        own_pawn = PAWN | board.side
        if any(not s & 0x88 and board.board[s] == own_pawn for s in (pawn_sq - 1, pawn_sq + 1)):
            key ^= random64[772 + (board.ep & 7)]
    if board.side == 0:
        key ^= random64[780]
    return key


def read_polyglot(path):
    """A Polyglot book as a dict: key -> [(move text, weight)]."""
    with open(path, "rb") as handle:
        data = handle.read()
    book = {}
    for i in range(0, len(data) - 15, 16):
        key = int.from_bytes(data[i:i + 8], "big")
        move = int.from_bytes(data[i + 8:i + 10], "big")
        weight = int.from_bytes(data[i + 10:i + 12], "big")
        text = ("abcdefgh"[(move >> 6) & 7] + "12345678"[(move >> 9) & 7] +
                "abcdefgh"[move & 7] + "12345678"[(move >> 3) & 7])
        promo = (move >> 12) & 7
        if promo:
            text += " nbrq"[promo]
        book.setdefault(key, []).append((text, weight))
    return book


def polyglot_text(board, text):
    """A move as a Polyglot book writes it: castling as the king taking its own rook."""
    frm = square_of(text[0:2])
    if board.board[frm] & 7 == KING and text in ("e1g1", "e1c1", "e8g8", "e8c8"):
        return text[0:2] + ("h" if text[2] == "g" else "a") + text[3]
    return text


def read_lines(path):
    """(line number, [(move text, is a book move)]) for every line of play."""
    lines = []
    with open(path, encoding="utf-8") as handle:
        for number, raw in enumerate(handle, 1):
            moves = []
            for word in raw.split("#", 1)[0].split():
                quiet = word.startswith("(") and word.endswith(")")
                moves.append((word.strip("()"), not quiet))
            if moves:
                lines.append((number, moves))
    return lines


def build(lines):
    """Book positions in first-met order: identity -> key, path, board and [(text, move)]."""
    positions = {}
    for number, moves in lines:
        board = Board()
        path = []
        for text, is_book_move in moves:
            before = board.copy()
            try:
                move = board.play(text)
            except ValueError as error:
                raise SystemExit(f"line {number}: {error}")
            if is_book_move:
                entry = positions.setdefault(before.identity(), {
                    "key": before.book_key16(), "path": list(path), "board": before, "moves": []})
                if text not in [t for t, _ in entry["moves"]]:
                    entry["moves"].append((text, move))
            path.append(text)
    return positions


def check_collisions(positions):
    """Refuses two book positions with one key, and a position one book move away
    from the book whose key is a book key (the engine would look up the wrong moves)."""
    seen = {}
    for ident, entry in positions.items():
        other = seen.setdefault(entry["key"], ident)
        if other != ident:
            a = " ".join(positions[other]["path"]) or "(start)"
            b = " ".join(entry["path"]) or "(start)"
            raise SystemExit(f"key {entry['key']:04x} is shared by '{a}' and '{b}'")
    for entry in positions.values():
        for text, _ in entry["moves"]:
            child = entry["board"].copy()
            child.play(text)
            key = child.book_key16()
            if child.identity() not in positions and key in seen:
                a = " ".join(entry["path"] + [text])
                b = " ".join(positions[seen[key]]["path"]) or "(start)"
                raise SystemExit(f"key {key:04x} of '{a}', out of the book, is the key of '{b}'")


def table_rows(positions):
    """(key, move, path, text) rows sorted by key, each position's moves in list order."""
    rows = []
    for entry in sorted(positions.values(), key=lambda e: e["key"]):
        for text, move in entry["moves"]:
            rows.append((entry["key"], move, entry["path"], text))
    return rows


def run_lengths(positions):
    counts = {}
    for entry in positions.values():
        n = len(entry["moves"])
        counts[n] = counts.get(n, 0) + 1
    return dict(sorted(counts.items()))


def write_table(rows, path):
    out = [
        "// The compiled-in opening book, written by tools/make_builtin_book.py from",
        "// tools/builtin_book_lines.txt: regenerate it rather than edit it.",
        "// Each row: the book key (big-endian), then the move, least significant byte",
        "// first; the comment names the moves that lead to the position.",
        '#include "driver/book.h"',
        "",
        "namespace kelmstrad {",
        "",
        f"static_assert(BUILTIN_BOOK_ENTRIES == {len(rows)}, \"the table holds {len(rows)} entries\");",
        "",
        "// Sorted by book key; within a key the preferred move comes first.",
        "const uint8_t builtin_book[BUILTIN_BOOK_ENTRIES][BOOK_ENTRY_BYTES] = {",
    ]
    for key, move, line, text in rows:
        values = f"0x{key >> 8:02X}, 0x{key & 0xFF:02X}, 0x{move & 0xFF:02X}, 0x{move >> 8:02X}"
        where = " ".join(line) if line else "start"
        row = f"    {{{values}}},  // "
        while len(row) + len(where) + len(text) + 2 > 100:
            line = line[1:]
            where = "... " + " ".join(line)
        out.append(f"{row}{where}: {text}")
    out += ["};", "", "}  // namespace kelmstrad"]
    with open(path, "w", encoding="utf-8") as handle:
        handle.write("\n".join(out) + "\n")


def check_with_polyglot(positions, book_path):
    """Prints the book moves a Polyglot book does not list; returns their number."""
    random64 = polyglot_random64()
    book = read_polyglot(book_path)
    problems = 0
    for entry in positions.values():
        board = entry["board"]
        listed = dict(book.get(polyglot_key(board, random64), []))
        for text, _ in entry["moves"]:
            if not listed.get(polyglot_text(board, text)):
                problems += 1
                where = " ".join(entry["path"]) or "(start)"
                print(f"not in the Polyglot book: {where}: {text}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--lines", default=os.path.join(HERE, "builtin_book_lines.txt"))
    parser.add_argument("--out", default=os.path.join(ROOT, "src", "driver", "builtin_book.cpp"))
    parser.add_argument("--check", metavar="POLYGLOT_BOOK")
    parser.add_argument("--dump", action="store_true")
    args = parser.parse_args()
    positions = build(read_lines(args.lines))
    check_collisions(positions)
    rows = table_rows(positions)
    print(f"{len(rows)} entries, {len(positions)} keys, keys by number of moves "
          f"{run_lengths(positions)}")
    if args.dump:
        for key, move, line, text in rows:
            print(f"{key:04x} {move:04x} {text:6} {' '.join(line) or '(start)'}")
    if args.check and check_with_polyglot(positions, args.check):
        return 1
    if args.out != "-":
        write_table(rows, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
