#include "driver/polyglot.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "board/move.h"
#include "driver/bisect.h"
#include "driver/book.h"
#include "io/env.h"
#include "io/output.h"

namespace kelmstrad {

uint16_t book_rng = 0;  // the book's 16-bit draw state, seeded on the first draw

namespace {

PolyglotBook pgbook_file;  // the book named by PGBOOK, read on the first probe

// Returns the big-endian number of `width` bytes at `p`.
uint64_t read_big_endian(const uint8_t* p, int width) {
  uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = (value << 8) | p[i];
  return value;
}

// Returns the Random64 entry of the en-passant file, or 0 when no pawn of the
// side to move stands beside the pawn that has just made the double step.
uint64_t en_passant_share() {
  const int ep = position.ep_square;
  if (ep == NO_EP_SQUARE) return 0;
  const int pawn_square = position.side == WHITE ? ep - 16 : ep + 16;
  const Piece own_pawn = static_cast<Piece>(position.side | PAWN);
  for (int beside : {pawn_square - 1, pawn_square + 1}) {
    if (beside >= 0 && beside < 128 && on_board(beside) && position.board[beside] == own_pawn)
      return polyglot_random64[POLYGLOT_EP_ENTRY + square_file(ep)];
  }
  return 0;
}

// Returns the piece kind a Polyglot promotion field asks for (0: none; 5-7 read as queen).
int polyglot_promotion_kind(int field) {
  if (field == 0) return 0;
  if (field == 1) return KNIGHT;
  if (field == 2) return BISHOP;
  if (field == 3) return ROOK;
  return QUEEN;
}

}  // namespace

// XOR of the Random64 entries of the pieces, rights, en-passant file and turn.
uint64_t polyglot_key() {
  uint64_t key = 0;
  for (int sq = 0; sq < 128; ++sq) {
    const Piece p = position.board[sq];
    if (!on_board(sq) || p == 0) continue;
    const int index = 2 * (piece_kind(p) - 1) + (piece_side(p) == WHITE ? 1 : 0);
    key ^= polyglot_random64[64 * index + 8 * square_rank(sq) + square_file(sq)];
  }
  for (int right = 0; right < 4; ++right)
    if (position.castling & (1 << right)) key ^= polyglot_random64[POLYGLOT_CASTLE_ENTRY + right];
  key ^= en_passant_share();
  if (position.side == WHITE) key ^= polyglot_random64[POLYGLOT_TURN_ENTRY];
  return key;
}

// Reads the file in one piece; the bytes stay allocated for the life of the process.
bool load_polyglot_book(const char* path, PolyglotBook* book) {
  book->bytes = nullptr;
  book->count = 0;
  FILE* f = path != nullptr ? fopen(path, "rb") : nullptr;
  if (f == nullptr) return false;
  // A folder opens but fails on the first read, before its size is trusted.
  const bool readable = fgetc(f) != EOF || ferror(f) == 0;
  long size = -1;
  if (readable && fseek(f, 0, SEEK_END) == 0) size = ftell(f);
  uint8_t* bytes = nullptr;
  bool whole = false;
  if (size >= 0 && fseek(f, 0, SEEK_SET) == 0) {
    bytes = static_cast<uint8_t*>(malloc(size > 0 ? static_cast<size_t>(size) : 1));
    whole = bytes != nullptr &&
            fread(bytes, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
  }
  fclose(f);
  if (!whole) {
    free(bytes);
    return false;
  }
  book->bytes = bytes;
  book->count = size / POLYGLOT_ENTRY_BYTES;
  return true;
}

PolyglotEntry polyglot_entry(const uint8_t* bytes, long index) {
  const uint8_t* p = bytes + index * POLYGLOT_ENTRY_BYTES;
  return {read_big_endian(p, 8), static_cast<uint16_t>(read_big_endian(p + 8, 2)),
          static_cast<uint16_t>(read_big_endian(p + 10, 2))};
}

// The first entry of the run with this key, or -1.
long polyglot_find(const uint8_t* bytes, long count, uint64_t key) {
  return first_with_key(count, key, [bytes](long i) { return polyglot_entry(bytes, i).key; });
}

uint16_t xorshift16(uint16_t x) {
  x = static_cast<uint16_t>(x ^ (x << 7));
  x = static_cast<uint16_t>(x ^ (x >> 9));
  x = static_cast<uint16_t>(x ^ (x << 8));
  return x;
}

// Seeds book_rng once; a zero state would make every draw the same.
void seed_book_rng(const char* seed_text) {
  if (book_rng != 0) return;
  if (seed_text != nullptr) {
    const uint16_t seed = static_cast<uint16_t>(strtol(seed_text, nullptr, 0));
    book_rng = seed != 0 ? seed : 1;
  } else {
    book_rng = static_cast<uint16_t>((random_state ^ (random_state >> 16)) | 1);
  }
}

// Rejection draw below the smallest all-ones mask covering total - 1. Both
// 16-bit steps reach the mask, so the draw matches the classic one (3 bits of
// the first step, 16 of the second) for sums up to 2^19, and above that every
// entry of the run stays reachable instead of only the first 2^19 weight units.
uint64_t polyglot_draw(uint64_t total, const char* fix_text) {
  if (fix_text != nullptr) return strtoul(fix_text, nullptr, 0) % total;
  uint64_t mask = total - 1;
  for (int shift = 1; shift < 64; shift *= 2) mask |= mask >> shift;
  for (;;) {
    const uint16_t t1 = xorshift16(book_rng);
    const uint16_t t2 = xorshift16(t1);
    book_rng = t2;
    const uint64_t c = ((static_cast<uint64_t>(t1) << 16) | t2) & mask;
    if (c < total) return c;
  }
}

// Castling comes as the king taking its rook and is turned into the king's two-square move.
Move polyglot_book_move(uint16_t field) {
  const int to_file = field & 7;
  const int to_rank = (field >> 3) & 7;
  const int from_file = (field >> 6) & 7;
  const int from_rank = (field >> 9) & 7;
  const Square from = static_cast<Square>(from_rank * 16 + from_file);
  Square to = static_cast<Square>(to_rank * 16 + to_file);
  if (piece_kind(position.board[from]) == KING && from_file == 4 && from_rank == to_rank &&
      (to_file == 0 || to_file == 7))
    to = static_cast<Square>(to_rank * 16 + (to_file == 7 ? 6 : 2));
  const Move move = generated_move(from, to, polyglot_promotion_kind((field >> 12) & 7));
  return move != 0 && move_is_legal(move) ? move : 0;
}

// The run of the position's key, its weight sum, the draw and the walk over the run.
Move probe_polyglot(const PolyglotBook& book, const char* seed_text, const char* fix_text) {
  if (book.count <= 0) return 0;
  const uint64_t key = polyglot_key();
  const long first = polyglot_find(book.bytes, book.count, key);
  if (first < 0) return 0;
  long end = first;
  uint64_t total = 0;
  while (end < book.count && polyglot_entry(book.bytes, end).key == key)
    total += polyglot_entry(book.bytes, end++).weight;
  if (total == 0) return 0;
  seed_book_rng(seed_text);
  int64_t left = static_cast<int64_t>(polyglot_draw(total, fix_text));
  long chosen = end - 1;
  for (long i = first; i < end - 1; ++i) {
    left -= polyglot_entry(book.bytes, i).weight;
    if (left < 0) {
      chosen = i;
      break;
    }
  }
  return polyglot_book_move(polyglot_entry(book.bytes, chosen).move);
}

// The PGBOOK file is tried once; a file that cannot be read leaves the process without a book.
Move probe_polyglot_book() {
  if (pgbook_file.count < 0) {
    const char* path = env_str("PGBOOK");
    if (!load_polyglot_book(path, &pgbook_file))
      uci_print("info string cannot read the Polyglot book %s\n", path != nullptr ? path : "");
  }
  return probe_polyglot(pgbook_file, env_str("PGSEED"), env_str("PGFIX"));
}

void print_polyglot_key() {
  uci_print("%016llx\n", static_cast<unsigned long long>(polyglot_key()));
}

}  // namespace kelmstrad
