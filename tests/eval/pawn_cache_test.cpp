// The pawn cache against the direct computation: the file table, the term sums
// and the features agree for every term mask, on random placements (pawns on
// any rank) and along random games, whether the entry was just filled or hit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/legal.h"
#include "board/make.h"
#include "eval/pawns.h"
#include "eval_support.h"

namespace kelmstrad::test {
namespace {

struct Random {
  uint32_t state;
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

// A random legal-looking placement: one king each, pawns anywhere.
std::string random_placement(Random* rng) {
  char board[64] = {};
  const char* others = "PPPPNBRRQpppppnbrrq";
  const int count = rng->below(24);
  for (int i = 0; i < count; ++i) board[rng->below(64)] = others[rng->below(19)];
  board[rng->below(64)] = 'K';
  int black_king = rng->below(64);
  while (board[black_king] == 'K') black_king = rng->below(64);
  board[black_king] = 'k';
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const char c = board[rank * 8 + file];
      if (c == 0) {
        ++empty;
        continue;
      }
      if (empty > 0) fen += static_cast<char>('0' + empty);
      empty = 0;
      fen += c;
    }
    if (empty > 0) fen += static_cast<char>('0' + empty);
    if (rank > 0) fen += '/';
  }
  return fen + " w - - 0 1";
}

// Cached and direct results for every term mask; twice, so the second is a hit.
void expect_cache_equal() {
  for (int pass = 0; pass < 2; ++pass) {
    for (int terms = 0; terms < 32; ++terms) {
      PawnFileTable direct;
      build_pawn_file_table(&direct);
      const TermPair want = pawn_structure_terms(direct, terms);
      const EvalFeatures want_features = eval_features;
      memset(&eval_features, 0x55, sizeof(eval_features));
      memcpy(&eval_features.mobility, &want_features.mobility, sizeof(want_features.mobility));
      memcpy(&eval_features.pawn_extra, &want_features.pawn_extra,
             sizeof(want_features.pawn_extra));
      memcpy(&eval_features.shelter_counts, &want_features.shelter_counts,
             sizeof(want_features.shelter_counts));
      PawnFileTable cached;
      memset(&cached, 0x55, sizeof(cached));
      const TermPair got = cached_pawn_structure_terms(&cached, terms);
      ASSERT_EQ(got.mg, want.mg) << terms;
      ASSERT_EQ(got.eg, want.eg) << terms;
      ASSERT_EQ(memcmp(&cached, &direct, sizeof(cached)), 0) << terms;
      ASSERT_EQ(memcmp(&eval_features, &want_features, sizeof(want_features)), 0) << terms;
    }
  }
}

TEST(PawnCache, EqualsDirectPathOnRandomPlacements) {
  EvalSettingsGuard guard;
  pawn_cache_clear();
  Random rng{2024};
  for (int round = 0; round < 300; ++round) {
    const std::string fen = random_placement(&rng);
    SCOPED_TRACE(fen);
    set_fen(fen);
    expect_cache_equal();
  }
}

TEST(PawnCache, EqualsDirectPathAlongRandomGames) {
  EvalSettingsGuard guard;
  pawn_cache_clear();
  Random rng{77};
  for (int game = 0; game < 12; ++game) {
    set_fen(START_FEN);
    for (int ply = 0; ply < 120; ++ply) {
      SCOPED_TRACE(ply);
      expect_cache_equal();
      const std::vector<Move> moves = legal_moves();
      if (moves.empty()) break;
      make_move(moves[rng.below(static_cast<int>(moves.size()))]);
      if (position.history_top >= HISTORY_CAPACITY - 1) break;
    }
  }
  set_fen(START_FEN);
}

}  // namespace
}  // namespace kelmstrad::test
