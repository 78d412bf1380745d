#include "book_walk.h"

#include <cstdlib>
#include <random>
#include <set>

#include "board/fen.h"
#include "board/make.h"
#include "board/move.h"
#include "driver/polyglot.h"
#include "fail.h"

namespace kelmstrad::match {

namespace {

constexpr int TRIES_PER_LINE = 100;

// A book read for one walk: load_polyglot_book leaves its bytes for the caller
// to keep (the engine keeps its book for the process); the walk frees them.
struct WalkBook {
  PolyglotBook book;
  ~WalkBook() { free(const_cast<uint8_t*>(book.bytes)); }
};

// One walk from the start position; false when it leaves the book early.
bool walk_once(const PolyglotBook& book, int plies, std::mt19937_64& rng,
               std::vector<std::string>* moves) {
  moves->clear();
  parse_fen(START_FEN);
  for (int ply = 0; ply < plies; ++ply) {
    const uint64_t key = polyglot_key();
    const long first = polyglot_find(book.bytes, book.count, key);
    if (first < 0) return false;
    uint64_t total = 0;
    long end = first;
    for (; end < book.count && polyglot_entry(book.bytes, end).key == key; ++end)
      total += polyglot_entry(book.bytes, end).weight;
    if (total == 0) return false;
    // A 64-bit draw modulo a sum below 2^32: the bias is under 2^-32.
    uint64_t left = rng() % total;
    long chosen = first;
    while (left >= polyglot_entry(book.bytes, chosen).weight)
      left -= polyglot_entry(book.bytes, chosen++).weight;
    const Move move = polyglot_book_move(polyglot_entry(book.bytes, chosen).move);
    if (move == 0) return false;
    moves->push_back(move_to_text(move));
    if (!make_move(move)) return false;
  }
  return true;
}

}  // namespace

bool walk_book_lines(const std::string& file, int plies, int count, uint64_t seed,
                     std::vector<Opening>* lines, std::string* error) {
  WalkBook walk_book;
  const PolyglotBook& book = walk_book.book;
  if (!load_polyglot_book(file.c_str(), &walk_book.book) || book.count <= 0)
    return fail(error, "cannot read Polyglot book \"" + file + "\"");
  std::mt19937_64 rng(seed);
  std::set<std::vector<std::string>> seen;
  lines->clear();
  Opening line;
  GameState state;
  std::string why;
  for (int failures = 0; static_cast<int>(lines->size()) < count;) {
    if (walk_once(book, plies, rng, &line.moves) && seen.insert(line.moves).second &&
        opening_state(line, &state, &why)) {
      line.source = file + " line " + std::to_string(lines->size() + 1);
      lines->push_back(line);
    } else if (++failures > TRIES_PER_LINE * count) {
      parse_fen(START_FEN);
      return fail(error, "the book \"" + file + "\" gave only " + std::to_string(lines->size()) +
                             " distinct lines of " + std::to_string(plies) + " plies");
    }
  }
  parse_fen(START_FEN);
  return true;
}

}  // namespace kelmstrad::match
