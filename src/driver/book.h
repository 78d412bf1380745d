// Opening books: the entry point the think thread calls, and the built-in book.
//
// Exactly one book is consulted per search: the Polyglot file named by PGBOOK
// when that variable is set (see driver/polyglot.h), otherwise the built-in
// book. The built-in book is a table of 4-byte entries sorted by key: bytes
// 0-1 the book key (big-endian), bytes 2-3 the move in the engine's encoding,
// least significant byte first (byte 2 the from-square, byte 3 the to-square
// with the promotion bit). It is compiled in (`builtin_book`, written by
// tools/make_builtin_book.py) or read from the file named by BOOKFILE (at most
// 65536 bytes, trailing bytes of a partial entry ignored); a BOOKFILE that
// opens replaces the compiled-in table even when it holds no entry.
// Book key: bits 8-23 of hash XOR side_key (Black to move) XOR the en-passant
// file key (when an en-passant square is set). `hash` already holds that file
// key, so the two cancel and the book key ignores the en-passant square.
// Choice: the first entry of the key's run, or the second with probability
// 1/4 by one xorshift32 step of random_state; later entries are never chosen.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

extern uint32_t random_state;  // seeds the book's random draws

constexpr int BUILTIN_BOOK_ENTRIES = 347;
constexpr int BOOK_ENTRY_BYTES = 4;
constexpr long BOOK_FILE_MAX_BYTES = 65536;

// The compiled-in book, sorted by key (driver/builtin_book.cpp).
extern const uint8_t builtin_book[BUILTIN_BOOK_ENTRIES][BOOK_ENTRY_BYTES];

// Entry point for the think thread, called once per search before any
// iteration when OwnBook is true. Returns a legal move of the current position
// or 0 when the book has none; the position and the move stack are left as
// they were. It prints nothing itself except one "info string" when a book
// file cannot be used; on a move the caller prints "info string book" and the
// "bestmove" line and does not search. Loads the book on the first call.
Move probe_book();

// Returns the built-in book's key of the current position.
uint16_t book_key16();

// Reads at most 65536 bytes of a built-in-format book file into `buffer`;
// false when the file does not open. `truncated` tells whether bytes were left.
bool load_book_file(const char* path, uint8_t* buffer, long* count, bool* truncated);

// Returns the lowest index of a built-in-format table whose key equals `key`, or -1.
long book_find(const uint8_t* bytes, long count, uint16_t key);

// Probes a built-in-format table for the current position; advances
// random_state when the key is found. Returns the chosen move if it is
// generated here and legal, else 0.
Move probe_builtin(const uint8_t* bytes, long count);

// Probes the built-in book (BOOKFILE or the compiled-in table, chosen on the first call).
Move probe_builtin_book();

// Returns the first generated move (tactical, then quiet) from `from` to `to`
// that promotes to `promo_kind` (0: any move), or 0; the move stack is restored.
Move generated_move(Square from, Square to, int promo_kind);

// Returns true when make_move accepts the move; the move is taken back at once.
bool move_is_legal(Move move);

// "bookkey": prints bits 8-31 of hash XOR side_key (Black to move) as six hex digits.
void print_book_key();

}  // namespace kelmstrad
