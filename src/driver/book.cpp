#include "driver/book.h"

#include <cstdio>

#include "board/legal.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "driver/bisect.h"
#include "driver/polyglot.h"
#include "io/env.h"
#include "io/output.h"

namespace kelmstrad {

uint32_t random_state = 625341585u;

namespace {

uint8_t book_file_bytes[BOOK_FILE_MAX_BYTES];  // the BOOKFILE contents, when that file opens
const uint8_t* book_bytes = nullptr;           // the built-in-format table in use
long book_count = -1;                          // its entries; -1 until the first probe

// Returns the key of entry `index` of a built-in-format table.
uint16_t entry_key(const uint8_t* bytes, long index) {
  const uint8_t* p = bytes + index * BOOK_ENTRY_BYTES;
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// Returns the move of entry `index`, stored least significant byte first.
Move entry_move(const uint8_t* bytes, long index) {
  const uint8_t* p = bytes + index * BOOK_ENTRY_BYTES;
  return static_cast<Move>(p[2] | (p[3] << 8));
}

// Returns one xorshift32 step of x.
uint32_t xorshift32(uint32_t x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

// Returns the kind a generated move promotes to, 0 when it is no promotion.
int promotion_kind(Move move) {
  const Piece p = position.board[move_from(move)];
  const int to_rank = square_rank(move_to(move));
  if (piece_kind(p) != PAWN || (to_rank != 0 && to_rank != 7)) return 0;
  return promo_kinds[promo_index(move)];
}

// Chooses the table once: the BOOKFILE contents if that file can be read,
// else the compiled-in table. Says so when a named file cannot be used fully.
void choose_builtin_table() {
  const char* path = env_str("BOOKFILE");
  long count = 0;
  bool truncated = false;
  if (path != nullptr && load_book_file(path, book_file_bytes, &count, &truncated)) {
    book_bytes = book_file_bytes;
    book_count = count;
    if (truncated)
      uci_print(
          "info string book file %s is longer than %ld bytes; only its first %ld entries are "
          "used\n",
          path, BOOK_FILE_MAX_BYTES, BOOK_FILE_MAX_BYTES / BOOK_ENTRY_BYTES);
    return;
  }
  if (path != nullptr)
    uci_print("info string cannot read the book file %s; the compiled-in book is used\n", path);
  book_bytes = &builtin_book[0][0];
  book_count = BUILTIN_BOOK_ENTRIES;
}

}  // namespace

// PGBOOK, when set, is the only book; otherwise the built-in one.
Move probe_book() {
  if (env_present("PGBOOK")) return probe_polyglot_book();
  return probe_builtin_book();
}

// Bits 8-23 of the side-aware key with the en-passant file key folded in once more.
uint16_t book_key16() {
  uint32_t key = position.hash;
  if (position.side == BLACK) key ^= side_key;
  if (position.ep_square != NO_EP_SQUARE) key ^= ep_keys[square_file(position.ep_square)];
  return static_cast<uint16_t>(key >> 8);
}

// A file that opens but fails while being read (a folder, say) counts as unreadable.
bool load_book_file(const char* path, uint8_t* buffer, long* count, bool* truncated) {
  FILE* f = path != nullptr ? fopen(path, "rb") : nullptr;
  if (f == nullptr) return false;
  const size_t n = fread(buffer, 1, BOOK_FILE_MAX_BYTES, f);
  const bool failed = ferror(f) != 0;
  *truncated = !failed && n == static_cast<size_t>(BOOK_FILE_MAX_BYTES) && fgetc(f) != EOF;
  fclose(f);
  if (failed) return false;
  *count = static_cast<long>(n) / BOOK_ENTRY_BYTES;
  return true;
}

// The first entry of the run with this key, or -1.
long book_find(const uint8_t* bytes, long count, uint16_t key) {
  return first_with_key(count, key, [bytes](long i) { return entry_key(bytes, i); });
}

// The first entry of the run, or the second when the new random_state ends in two zero bits.
Move probe_builtin(const uint8_t* bytes, long count) {
  if (count < 1) return 0;
  const uint16_t key = book_key16();
  const long found = book_find(bytes, count, key);
  if (found < 0) return 0;
  random_state = xorshift32(random_state);
  long chosen = found;
  if (found + 1 < count && entry_key(bytes, found + 1) == key && (random_state & 3) == 0)
    chosen = found + 1;
  const Move move = entry_move(bytes, chosen);
  if (move == 0 || first_generated([move](Move m) { return m == move; }) == 0) return 0;
  return move_is_legal(move) ? move : 0;
}

Move probe_builtin_book() {
  if (book_count < 0) choose_builtin_table();
  return probe_builtin(book_bytes, book_count);
}

Move generated_move(Square from, Square to, int promo_kind) {
  return first_generated([from, to, promo_kind](Move m) {
    return move_from(m) == from && move_to(m) == to &&
           (promo_kind == 0 || promotion_kind(m) == promo_kind);
  });
}

bool move_is_legal(Move move) {
  if (!make_move(move)) return false;
  unmake_move();
  return true;
}

void print_book_key() {
  uint32_t key = position.hash;
  if (position.side == BLACK) key ^= side_key;
  uci_print("%06lx\n", static_cast<unsigned long>(key >> 8));
}

}  // namespace kelmstrad
