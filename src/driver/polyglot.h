// Polyglot opening books (the book named by PGBOOK).
//
// File: 16-byte entries sorted by key, every field big-endian: key (64 bits),
// move (16), weight (16), learn (32, ignored). Trailing bytes that do not make
// a whole entry are ignored. The whole file is read on the first probe and kept.
// Move field: bits 0-2 to-file, 3-5 to-rank, 6-8 from-file, 9-11 from-rank,
// 12-14 promotion (0 none, 1 knight, 2 bishop, 3 rook, 4 queen). Castling is
// written as the king taking its own rook (e1h1, e1a1, e8h8, e8a8).
// Key: XOR of the published Random64 numbers: piece entry 64 * index + 8 * rank
// + file with index 2 * (kind - 1) + 1 for White and 2 * (kind - 1) for Black;
// entries 768-771 for the castling rights K, Q, k, q; 772 + file for the
// en-passant file, only when a pawn of the side to move stands beside the pawn
// that has just made the double step; 780 when White is to move.
// Choice: a move of the position's run is drawn with probability weight / sum
// of the run's weights, by a 16-bit xorshift generator `book_rng` (seeded from
// PGSEED or from random_state on first use), or fixed by PGFIX.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

constexpr int POLYGLOT_RANDOM_COUNT = 781;
constexpr int POLYGLOT_ENTRY_BYTES = 16;
constexpr int POLYGLOT_CASTLE_ENTRY = 768;
constexpr int POLYGLOT_EP_ENTRY = 772;
constexpr int POLYGLOT_TURN_ENTRY = 780;

// A Polyglot book held in memory. `count` is -1 until the file was tried,
// then the number of whole entries, or 0 when the file could not be read.
struct PolyglotBook {
  const uint8_t* bytes = nullptr;
  long count = -1;
};

// One decoded entry (the learn field is not kept).
struct PolyglotEntry {
  uint64_t key;
  uint16_t move;
  uint16_t weight;
};

extern const uint64_t polyglot_random64[POLYGLOT_RANDOM_COUNT];  // the published Random64
extern uint16_t book_rng;  // state of the book's draws; 0 until seeded

// Returns the Polyglot key of the current position.
uint64_t polyglot_key();

// Reads a whole book file into memory (kept for the life of the process);
// returns false, with count 0, when the file cannot be opened or read in full.
bool load_polyglot_book(const char* path, PolyglotBook* book);

// Returns entry `index` of an in-memory book.
PolyglotEntry polyglot_entry(const uint8_t* bytes, long index);

// Returns the lowest index whose key equals `key` (bisection), or -1.
long polyglot_find(const uint8_t* bytes, long count, uint64_t key);

// Returns one step of the 16-bit xorshift generator (7, 9, 8).
uint16_t xorshift16(uint16_t x);

// Seeds book_rng if it is still 0: from `seed_text` (strtol, base 0; low 16
// bits, 1 when those are 0), or from random_state when `seed_text` is null.
void seed_book_rng(const char* seed_text);

// Returns a draw in [0, total): strtoul(fix_text, base 0) mod total when
// `fix_text` is given (book_rng untouched), else from book_rng, which advances.
uint64_t polyglot_draw(uint64_t total, const char* fix_text);

// Returns the generated move of the current position that a Polyglot move
// field names (castling decoded, promotion piece matched) when make_move
// accepts it, else 0. The position and the move stack are left as they were.
Move polyglot_book_move(uint16_t field);

// Probes an in-memory book for the current position: the run of entries with
// its key, a weighted draw, the chosen entry's move if it is legal here; else 0.
Move probe_polyglot(const PolyglotBook& book, const char* seed_text, const char* fix_text);

// Probes the book named by PGBOOK (read on the first call, with PGSEED and
// PGFIX); returns the move or 0. Prints one "info string" when the file
// cannot be read.
Move probe_polyglot_book();

// "pgkey": prints the Polyglot key of the position as 16 hexadecimal digits.
void print_polyglot_key();

}  // namespace kelmstrad
