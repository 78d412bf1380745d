// Fuzz target: one FEN text. It is read by parse_fen and checked the way
// "position" checks it; a position that "position" would accept is then shown
// ("d"), counted ("perft 2"), evaluated ("eval") and searched to depth 2.
// Beside the sanitizers, two plain faults stop the run: incremental state
// that disagrees with the board after parse_fen, and a position that any of
// these leaves changed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/fen.h"
#include "board/position.h"
#include "harness.h"
#include "search/alpha_beta.h"
#include "uci/loop.h"

using namespace kelmstrad;

namespace {

// The fields a command must give back as it found them.
struct Snapshot {
  Piece board[128];
  uint8_t slot_square[32];
  uint32_t hash;
  uint32_t pawn_king_key;
  int16_t mg_score;
  int16_t eg_score;
  uint8_t phase;
  uint8_t halfmove_clock;
  Square ep_square;
  uint8_t castling;
  Side side;
  int32_t history_top;
};

// The current position's snapshot.
Snapshot take_snapshot() {
  Snapshot s;
  memset(&s, 0, sizeof(s));
  memcpy(s.board, position.board, sizeof(s.board));
  memcpy(s.slot_square, position.slot_square, sizeof(s.slot_square));
  s.hash = position.hash;
  s.pawn_king_key = position.pawn_king_key;
  s.mg_score = position.mg_score;
  s.eg_score = position.eg_score;
  s.phase = position.phase;
  s.halfmove_clock = position.halfmove_clock;
  s.ep_square = position.ep_square;
  s.castling = position.castling;
  s.side = position.side;
  s.history_top = position.history_top;
  return s;
}

// Aborts (a finding) when the position differs from the snapshot.
void expect_unchanged(const Snapshot& before, const char* what) {
  const Snapshot after = take_snapshot();
  if (memcmp(&before, &after, sizeof(before)) != 0) {
    fprintf(stderr, "fen_fuzz: \"%s\" changed the position\n", what);
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_engine_once();
  fuzz::reset_engine();
  const std::string fen(reinterpret_cast<const char*>(data), size);
  parse_fen(fen.c_str());
  if (unplayable_reason() == nullptr) {
    if (!position_is_ok()) {
      fprintf(stderr, "fen_fuzz: parse_fen left the position inconsistent\n");
      abort();
    }
    const Snapshot before = take_snapshot();
    process_line("d");
    expect_unchanged(before, "d");
    process_line("perft 2");
    expect_unchanged(before, "perft 2");
    process_line("eval");
    expect_unchanged(before, "eval");
    search_fixed_depth(2);
    expect_unchanged(before, "search depth 2");
  }
  parse_fen(START_FEN);
  return 0;
}
